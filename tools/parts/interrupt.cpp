#include "interrupt.h"

#include "platform.h"

namespace velnorctl {

namespace {

using platform::stop_request_t;

} // namespace

interrupt_guard_t::interrupt_guard_t() {
    platform::start_catching_stop_requests();
}

interrupt_guard_t::~interrupt_guard_t() {
    platform::stop_catching_stop_requests();
}

exit_code_t interrupt_guard_t::pending() {
    switch (platform::caught_stop_request()) {
    case stop_request_t::none:
        return exit_code_t::ok;
    case stop_request_t::sigterm:
    case stop_request_t::console_closed:
    case stop_request_t::logoff:
    case stop_request_t::shutdown:
        return exit_code_t::terminated;
    case stop_request_t::sighup:
        return exit_code_t::hung_up;
    case stop_request_t::sigint:
    case stop_request_t::ctrl_c:
    case stop_request_t::ctrl_break:
        return exit_code_t::interrupted;
    }
    return exit_code_t::interrupted;
}

const char* interrupt_guard_t::pending_name() {
    switch (platform::caught_stop_request()) {
    case stop_request_t::sigint:
        return "SIGINT";
    case stop_request_t::sigterm:
        return "SIGTERM";
    case stop_request_t::sighup:
        return "SIGHUP";
    case stop_request_t::ctrl_c:
        return "Ctrl-C";
    case stop_request_t::ctrl_break:
        return "Ctrl-Break";
    case stop_request_t::console_closed:
        return "the console closing";
    case stop_request_t::logoff:
        return "the user logging off";
    case stop_request_t::shutdown:
        return "the system shutting down";
    case stop_request_t::none:
        return "";
    }
    return "";
}

} // namespace velnorctl
