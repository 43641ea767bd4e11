// velnor-panel: the boards in a browser. Serves the page and its JSON API on
// 127.0.0.1 (or --listen), prints the address with its token, opens it in
// the default browser, and runs until Ctrl-C or SIGTERM; an update running
// then is stopped after its request in flight and the board's update reset.
#include "board_api.h"
#include "errors.h"
#include "interrupt.h"
#include "panel_platform.h"
#include "panel_server.h"
#include "panel_token.h"
#include "platform.h"
#include "velnor_log.h"
#include "virtual_options.h"

#include <CLI/CLI.hpp>

#include <atomic>
#include <iostream>
#include <thread>

namespace {

using namespace velnorctl;

// "127.0.0.1:8080", "[::1]:8080", "0.0.0.0:0" as host and port.
std::pair<std::string, int> parse_listen(const std::string& text) {
    const size_t colon = text.rfind(':');
    const std::string usage =
        "--listen takes ADDRESS:PORT (127.0.0.1:8080, [::1]:0), not '" + text + "'";
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) {
        throw tool_error_t(exit_code_t::usage, usage);
    }
    const std::string host = text.substr(0, colon);
    const std::string port = text.substr(colon + 1);
    if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(port) > 65535 ||
        (host.find(':') != std::string::npos && (host.front() != '[' || host.back() != ']'))) {
        throw tool_error_t(exit_code_t::usage, usage);
    }
    return {host, std::stoi(port)};
}

} // namespace

int velnorctl::run_tool(const std::vector<std::string>& arguments) {
    set_program_name("velnor-panel");
    CLI::App app{"Show and set the Velnor boards in a browser.", "velnor-panel"};
    app.set_version_flag("--version", std::string("velnor-panel ") + VELNOR_PANEL_VERSION);
    std::string listen = "127.0.0.1:0";
    bool no_browser = false;
    std::string log_dir;
    app.add_option("--listen", listen,
                   "Serve on ADDRESS:PORT (default 127.0.0.1 on a free port); on another "
                   "address than this machine's loopback the token is the only way in");
    app.add_flag("--no-browser", no_browser, "Print the address only; open no browser");
    app.add_option("--log-dir", log_dir,
                   "Folder for the library's log, Velnor.log, where failures are detailed "
                   "(default: a folder of this process's own in the temporary folder)");
    virtual_options_t virtual_options;
    virtual_options.add_to(app);
    try {
        std::vector<const char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(argument.c_str());
        }
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError& error) {
        return app.exit(error);
    }

    // Stop requests arrive on the thread that watches for them alone, never
    // in the middle of the server's own system calls.
    platform::hold_stop_requests();
    int result = 0;
    try {
        use_log_folder(log_dir);
        virtual_options.apply();
        velnor_panel::panel_settings_t settings;
        std::tie(settings.host, settings.port) = parse_listen(listen);
        settings.token = velnor_panel::new_token();
        settings.update.pace = virtual_options.update_pace();
        velnor_panel::panel_server_t server(settings);
        server.bind();
        std::cout << "Velnor panel: " << server.address() << std::endl;
        if (!no_browser) {
            const std::string trouble = velnor_panel::open_in_browser(server.address());
            if (!trouble.empty()) {
                std::cerr << "velnor-panel: cannot open a browser (" << trouble
                          << "); open the address above\n";
            }
        }
        // Ctrl-C, SIGTERM and their kin stop the server, not the process:
        // the updates running are stopped and reset first.
        const interrupt_guard_t guard;
        std::atomic<bool> served{false};
        std::thread stopper([&] {
            platform::take_stop_requests_here();
            while (!served && interrupt_guard_t::pending() == exit_code_t::ok) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            if (served) {
                return;
            }
            const std::string why =
                std::string("the panel was stopped by ") + interrupt_guard_t::pending_name();
            if (server.stop(why) > 0) {
                result = static_cast<int>(interrupt_guard_t::pending());
            }
            // A stop that came before the server began to listen is repeated.
            while (!served) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                server.stop(why);
            }
        });
        server.serve();
        served = true;
        stopper.join();
    } catch (...) {
        result = static_cast<int>(report_current_failure());
    }
    remove_unused_log_folder(false);
    return result;
}
