// velnorctl: brings up and services Velnor boards through the public API.
#include "commands.h"
#include "errors.h"
#include "session.h"
#include "shell.h"
#include "terminal.h"

#ifdef VELNORCTL_VIRTUAL
#include "virtual_platform.h"
#endif

#include <CLI/CLI.hpp>

#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr const char* exit_codes_text = R"(Exit codes:
  0  success
  1  a library call failed (the export, its result code and the Velnor.log line are printed)
  2  the command line or a value could not be understood
  3  no board at that index or with that serial
  4  a file could not be read or written, or the image is malformed
  5  the firmware update did not finish (board state, time-out, --verify))";

} // namespace

int main(int argc, char** argv) {
    using namespace velnorctl;
    CLI::App app{"Bring up and service Velnor synchronisation boards.", "velnorctl"};
    app.set_version_flag("--version", std::string("velnorctl ") + VELNORCTL_VERSION);
    app.footer(exit_codes_text);
    app.require_subcommand(1);

    selection_t selection;
    size_t index = 0;
    std::string serial;
    CLI::Option* index_option =
        app.add_option("--board", index, "Work on the board at this index (default 0)");
    CLI::Option* serial_option =
        app.add_option("--serial", serial, "Work on the board with this serial number")
            ->excludes(index_option);
#ifdef VELNORCTL_VIRTUAL
    int boards = 1;
    CLI::Option* boards_option =
        app.add_option("--boards", boards, "Number of virtual boards present (default 1)")
            ->check(CLI::Range(0, 64));
    std::vector<std::string> faults;
    app.add_option("--sim-fault", faults, "Fault switch of the virtual driver (testing)")
        ->group("");
#endif

    session_t session;
    action_t chosen;
    add_board_commands(app, session, chosen);
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
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? 0 : static_cast<int>(exit_code_t::usage);
    }
    try {
#ifdef VELNORCTL_VIRTUAL
        if (boards_option->count() > 0) {
            use_virtual_boards(boards);
        }
        for (const std::string& fault : faults) {
            apply_virtual_fault(fault);
        }
#endif
        if (index_option->count() > 0) {
            selection.index = index;
        }
        if (serial_option->count() > 0) {
            selection.serial = serial;
        }
        session.select(selection);
        chosen();
        return 0;
    } catch (...) {
        return static_cast<int>(report_current_failure());
    }
}
