#include "shell.h"

#include "command_line.h"
#include "commands.h"
#include "shell_words.h"

#include <algorithm>
#include <iostream>
#include <string>

namespace velnorctl {

namespace {

// Runs one line's words; returns its exit code.
exit_code_t run_line(session_t& session, std::vector<std::string> words) {
    CLI::App app{"Board commands; 'quit' or 'exit' ends the session, # starts a comment",
                 "velnorctl"};
    app.require_subcommand(1);
    action_t chosen;
    add_board_commands(app, session, chosen);
    if (words.front() == "shell") {
        std::cerr << "velnorctl: " << message_context() << "already in the shell\n";
        return exit_code_t::usage;
    }
    if (words.size() == 1 && words.front() == "help") {
        std::cout << app.help();
        return exit_code_t::ok;
    }
    std::reverse(words.begin(), words.end()); // CLI11 takes the words last first
    try {
        app.parse(words);
    } catch (const CLI::ParseError& error) {
        return report_parse_error(app, error);
    }
    try {
        chosen();
        return exit_code_t::ok;
    } catch (...) {
        return report_current_failure();
    }
}

// SIGTERM and SIGHUP end the session; after Ctrl-C (SIGINT) the update is
// abandoned and the session goes on, so its state can be looked at.
bool ends_the_session(exit_code_t result) {
    return result == exit_code_t::terminated || result == exit_code_t::hung_up;
}

} // namespace

exit_code_t run_shell(session_t& session, std::istream& in, bool interactive) {
    exit_code_t last_failure = exit_code_t::ok;
    std::string line;
    for (unsigned long number = 1;; ++number) {
        if (interactive) {
            std::cout << "velnor> " << std::flush;
        }
        if (!std::getline(in, line)) {
            break;
        }
        set_message_context(interactive ? "" : "line " + std::to_string(number) + ": ");
        const std::optional<std::vector<std::string>> words = split_words(line);
        exit_code_t result = exit_code_t::ok;
        if (!words) {
            std::cerr << "velnorctl: " << message_context() << "unterminated quote\n";
            result = exit_code_t::usage;
        } else if (words->empty()) {
            continue;
        } else if (words->size() == 1 && (words->front() == "quit" || words->front() == "exit")) {
            break;
        } else {
            result = run_line(session, *words);
        }
        if (result != exit_code_t::ok) {
            last_failure = result;
        }
        if (ends_the_session(result)) {
            break;
        }
    }
    set_message_context("");
    if (interactive) {
        std::cout << '\n';
    }
    return last_failure;
}

} // namespace velnorctl
