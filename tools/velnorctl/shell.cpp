#include "shell.h"

#include "commands.h"

#include <iostream>
#include <string>

namespace velnorctl {

namespace {

std::string trimmed(const std::string& line) {
    const size_t first = line.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    return line.substr(first, line.find_last_not_of(" \t\r\n") - first + 1);
}

// Runs one line; returns its exit code.
Exit run_line(Session& session, const std::string& line) {
    CLI::App app{"Board commands; 'quit' ends the session", ""};
    app.require_subcommand(1);
    Action chosen;
    add_board_commands(app, session, chosen);
    if (line == "help") {
        std::cout << app.help();
        return Exit::ok;
    }
    try {
        app.parse(line, false);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? Exit::ok : Exit::usage;
    }
    try {
        chosen();
        return Exit::ok;
    } catch (...) {
        return report_current_failure();
    }
}

} // namespace

Exit run_shell(Session& session, std::istream& in, bool interactive) {
    Exit last_failure = Exit::ok;
    std::string line;
    for (;;) {
        if (interactive) {
            std::cout << "velnor> " << std::flush;
        }
        if (!std::getline(in, line)) {
            break;
        }
        line = trimmed(line);
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (line == "quit" || line == "exit") {
            break;
        }
        const Exit result = run_line(session, line);
        if (result != Exit::ok) {
            last_failure = result;
        }
    }
    if (interactive) {
        std::cout << '\n';
    }
    return last_failure;
}

} // namespace velnorctl
