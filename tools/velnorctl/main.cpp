// velnorctl: brings up and services Velnor boards through the public API.
#include "board_values.h"
#include "command_line.h"
#include "commands.h"
#include "errors.h"
#include "platform.h"
#include "session.h"
#include "shell.h"
#include "terminal.h"
#include "text_escape.h"
#include "velnor_log.h"
#include "virtual_options.h"

#ifdef VELNORCTL_VIRTUAL
#include "virtual_platform.h"
#endif

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr const char* exit_codes_text =
    R"(Global options come before the command: velnorctl --board 1 info.

Exit codes:
  0    success
  1    a library or system call failed (the export, its result code and the log line are printed)
  2    the command line or a value could not be understood
  3    no board at that index or with that serial, or several boards with that serial
  4    a file could not be read or written (standard output included), or the image is malformed
  5    the firmware update did not finish (board state, time-out, --verify)
  6    a call left the --sim-replay trace, or the run ended with records of it left
       (virtual builds; the divergence or the next record is printed)
  129  SIGHUP stopped a firmware update (the board's update was reset) or a watch
  130  SIGINT, Ctrl-C or Ctrl-Break stopped a firmware update (the board's update was
       reset) or a watch
  143  SIGTERM, the console closing, logoff or shutdown stopped a firmware update (the
       board's update was reset) or a watch
A process killed outright (SIGKILL, Task Manager; under Wine also SIGTERM and SIGHUP)
cannot reset the board: the next update says the board is in the middle of one, and
'firmware reset' abandons it.)";

#ifdef VELNORCTL_VIRTUAL
constexpr bool virtual_build = true;
#else
constexpr bool virtual_build = false;
#endif

// What the tool works on: real boards, unless it was built for the virtual
// platform or the Velnor.dll it loaded is the simulation build.
std::string platform_text() {
    if (virtual_build) {
        return "for the virtual platform (virtual boards, no hardware)";
    }
    if (velnorctl::platform::simulation_library_loaded()) {
        return "for the virtual platform (the simulation build of Velnor.dll: virtual boards, no "
               "hardware)";
    }
    return "for real boards (through the board's Windows driver)";
}

size_t parse_board_index(const std::string& text) {
    try {
        return static_cast<size_t>(velnorctl::parse_number(text, 0xFFFFFFFFu, "--board"));
    } catch (const velnorctl::tool_error_t&) {
        throw velnorctl::tool_error_t(velnorctl::exit_code_t::usage,
                                      "--board '" + velnorctl::printable(text) +
                                          "' is not a board index (0, 1, 2, ...)");
    }
}

// The command's own exit code, or 4 when what it printed could not be written.
int finish(velnorctl::exit_code_t result) {
    std::cout.flush();
    velnorctl::remove_unused_log_folder(result == velnorctl::exit_code_t::ok);
    if (!std::cout && result == velnorctl::exit_code_t::ok) {
        std::cerr << "velnorctl: cannot write to standard output\n";
        return static_cast<int>(velnorctl::exit_code_t::file);
    }
    return static_cast<int>(result);
}

// The command's exit code, or the replay's when the run left a --sim-replay
// trace. The board is closed first, as the recorded run closed it at its end.
velnorctl::exit_code_t judged(velnorctl::session_t& session, velnorctl::exit_code_t result) {
#ifdef VELNORCTL_VIRTUAL
    if (velnorctl::replaying_trace()) {
        session = velnorctl::session_t{};
        return static_cast<velnorctl::exit_code_t>(
            velnorctl::replay_verdict(static_cast<int>(result)));
    }
#else
    static_cast<void>(session);
#endif
    return result;
}

} // namespace

int velnorctl::run_tool(const std::vector<std::string>& arguments) {
    if (protect_closed_stdout()) {
        std::cout.setstate(std::ios::badbit); // nothing reaches it; the exit says so
    }
    CLI::App app{"Bring up and service Velnor synchronisation boards.", "velnorctl"};
    app.set_version_flag("--version",
                         std::string("velnorctl ") + VELNORCTL_VERSION + " " + platform_text());
    app.footer(exit_codes_text);
    app.require_subcommand(1);

    std::string index_text;
    std::string serial;
    std::string log_dir;
    CLI::Option* index_option =
        app.add_option("--board", index_text, "Work on the board at this index (default 0)");
    CLI::Option* serial_option =
        app.add_option("--serial", serial,
                       "Work on the board with this serial number (an error when several "
                       "boards have it)")
            ->excludes(index_option);
    app.add_option("--log-dir", log_dir,
                   "Folder for the library's log, Velnor.log, where failures are detailed "
                   "(default: a folder of this process's own in the temporary folder)");
    virtual_options_t virtual_options;
    virtual_options.add_to(app);

    session_t session;
    action_t chosen;
    add_board_commands(app, session, chosen);
    add_trace_commands(app, chosen);
    add_watch_command(app, chosen);
    add_record_command(app, chosen);
    app.add_subcommand("shell", "Read commands from standard input, one per line, on one board")
        ->callback([&] {
            chosen = [&] {
                const exit_code_t result = run_shell(session, std::cin, stdin_is_terminal());
                if (result != exit_code_t::ok) {
                    throw reported_failure_t(result);
                }
            };
        });

    try {
        std::vector<const char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(argument.c_str());
        }
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError& error) {
        return static_cast<int>(report_parse_error(app, error));
    }
    try {
        use_log_folder(log_dir);
        virtual_options.apply();
        session.update_pace = virtual_options.update_pace();
        selection_t selection;
        if (index_option->count() > 0) {
            selection.index = parse_board_index(index_text);
        }
        if (serial_option->count() > 0) {
            selection.serial = serial;
        }
        session.select(selection);
        chosen();
        return finish(judged(session, exit_code_t::ok));
    } catch (const std::filesystem::filesystem_error& error) {
        // A file the system could not name or reach: a file problem.
        std::cerr << "velnorctl: " << message_context() << printable(error.what()) << '\n';
        return finish(judged(session, exit_code_t::file));
    } catch (...) {
        return finish(judged(session, report_current_failure()));
    }
}
