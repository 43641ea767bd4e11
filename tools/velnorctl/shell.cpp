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
exit_code_t run_line(session_t& session, const std::string& line) {
    CLI::App app{"Board commands; 'quit' ends the session", ""};
    app.require_subcommand(1);
    action_t chosen;
    add_board_commands(app, session, chosen);
    if (line == "help") {
        std::cout << app.help();
        return exit_code_t::ok;
    }
    try {
        app.parse(line, false);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? exit_code_t::ok : exit_code_t::usage;
    }
    try {
        chosen();
        return exit_code_t::ok;
    } catch (...) {
        return report_current_failure();
    }
}

} // namespace

exit_code_t run_shell(session_t& session, std::istream& in, bool interactive) {
    exit_code_t last_failure = exit_code_t::ok;
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
        const exit_code_t result = run_line(session, line);
        if (result != exit_code_t::ok) {
            last_failure = result;
        }
    }
    if (interactive) {
        std::cout << '\n';
    }
    return last_failure;
}

} // namespace velnorctl
