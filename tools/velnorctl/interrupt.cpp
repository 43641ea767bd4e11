#include "interrupt.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace velnorctl {

namespace {

// What came: 0 nothing, else the index into the names below.
enum caught_t : int { none = 0, sigint, sigterm, ctrl_c, ctrl_break, console_closed };

const char* const caught_names[] = {"",       "SIGINT",     "SIGTERM",
                                    "Ctrl-C", "Ctrl-Break", "the console closing"};

#ifdef _WIN32
std::atomic<int> caught{none};
std::atomic<bool> reset_done{false};

BOOL WINAPI on_console_event(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
        caught.store(ctrl_c);
        return TRUE;
    case CTRL_BREAK_EVENT:
        caught.store(ctrl_break);
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        // Windows ends the process when this returns: give the update the
        // few seconds the system allows to send its reset first.
        caught.store(console_closed);
        for (int waited = 0; waited < 4500 && !reset_done.load(); waited += 10) {
            Sleep(10);
        }
        return TRUE;
    default:
        return FALSE;
    }
}
#else
volatile std::sig_atomic_t caught = none;
struct sigaction previous_int {};
struct sigaction previous_term {};

extern "C" void on_signal(int number) {
    caught = number == SIGINT ? sigint : sigterm;
}
#endif

} // namespace

interrupt_guard_t::interrupt_guard_t() {
#ifdef _WIN32
    caught.store(none);
    reset_done.store(false);
    SetConsoleCtrlHandler(on_console_event, TRUE);
#else
    caught = none;
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previous_int);
    sigaction(SIGTERM, &action, &previous_term);
#endif
}

interrupt_guard_t::~interrupt_guard_t() {
#ifdef _WIN32
    handled();
    SetConsoleCtrlHandler(on_console_event, FALSE);
#else
    sigaction(SIGINT, &previous_int, nullptr);
    sigaction(SIGTERM, &previous_term, nullptr);
#endif
}

exit_code_t interrupt_guard_t::pending() {
#ifdef _WIN32
    const int seen = caught.load();
#else
    const int seen = caught;
#endif
    switch (seen) {
    case none:
        return exit_code_t::ok;
    case sigterm:
    case console_closed:
        return exit_code_t::terminated;
    default:
        return exit_code_t::interrupted;
    }
}

const char* interrupt_guard_t::pending_name() {
#ifdef _WIN32
    return caught_names[caught.load()];
#else
    return caught_names[caught];
#endif
}

void interrupt_guard_t::handled() {
#ifdef _WIN32
    reset_done.store(true);
#endif
}

} // namespace velnorctl
