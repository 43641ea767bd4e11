// Ctrl-C and its kin during a firmware update or a watch. While an
// interrupt_guard_t lives, SIGINT, SIGTERM and SIGHUP (on Windows Ctrl-C,
// Ctrl-Break, the console closing, logoff and shutdown) no longer end the
// process: they are recorded. The update looks at the record after each
// request, resets the board's update and leaves with the signal's exit code;
// a watch looks between its waits for events, stops the watch and leaves
// with the same code.
#pragma once

#include "errors.h"

namespace velnorctl {

class interrupt_guard_t {
public:
    interrupt_guard_t();
    ~interrupt_guard_t();
    interrupt_guard_t(const interrupt_guard_t&) = delete;
    interrupt_guard_t& operator=(const interrupt_guard_t&) = delete;

    // exit_code_t::interrupted, terminated or hung_up once a signal came,
    // else ok.
    static exit_code_t pending();

    // The signal's name for messages: "SIGINT", "SIGTERM", "Ctrl-C", ...
    static const char* pending_name();
};

} // namespace velnorctl
