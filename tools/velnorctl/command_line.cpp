#include "command_line.h"

#include "text_escape.h"

#include <algorithm>
#include <iostream>

namespace velnorctl {

namespace {

size_t edit_distance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The innermost command the line reached.
CLI::App* deepest(CLI::App* app) {
    for (;;) {
        const std::vector<CLI::App*> chosen = app->get_subcommands();
        if (chosen.empty()) {
            return app;
        }
        app = chosen.front();
    }
}

std::vector<std::string> command_names(const CLI::App* app) {
    std::vector<std::string> names;
    for (const CLI::App* sub : app->get_subcommands([](const CLI::App*) { return true; })) {
        names.push_back(sub->get_name());
    }
    return names;
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

} // namespace

std::string nearest_name(const std::string& word, const std::vector<std::string>& names) {
    std::string best;
    size_t best_distance = 0;
    for (const std::string& name : names) {
        const size_t distance = edit_distance(word, name);
        if (best.empty() || distance < best_distance) {
            best = name;
            best_distance = distance;
        }
    }
    return best;
}

exit_code_t report_parse_error(CLI::App& app, const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) {
        app.exit(error); // --help, --version
        return exit_code_t::ok;
    }
    const std::string prefix = "velnorctl: " + message_context();
    CLI::App* reached = deepest(&app);
    const std::string where = reached == &app ? "" : reached->get_name() + " ";
    const std::string kind = error.get_name();
    const bool about_the_command = kind == "RequiredError" || kind == "ExtrasError";
    if (about_the_command && reached->get_require_subcommand_min() > 0 &&
        reached->get_subcommands().empty()) {
        const std::vector<std::string> names = command_names(reached);
        const std::vector<std::string> left = reached->remaining();
        if (!left.empty() && !left.front().empty() && left.front()[0] != '-') {
            std::cerr << prefix << "unknown " << where << "command '" << printable(left.front())
                      << "'; the nearest is '" << nearest_name(left.front(), names) << "'\n";
        } else {
            std::cerr << prefix
                      << (where.empty() ? "a command is needed" : where + "needs a command") << ": "
                      << joined(names) << '\n';
        }
        return exit_code_t::usage;
    }
    std::cerr << prefix << printable(error.what()) << "\n"
              << "Run with --help for more information.\n";
    return exit_code_t::usage;
}

} // namespace velnorctl
