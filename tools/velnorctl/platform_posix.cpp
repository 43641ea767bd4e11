// The tool's system calls on Linux and other POSIX systems.
#include "errors.h"
#include "platform.h"
#include "terminal.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

namespace velnorctl {

namespace {

volatile std::sig_atomic_t caught = 0;
struct sigaction previous_int {};
struct sigaction previous_term {};

extern "C" void on_signal(int number) {
    caught = static_cast<int>(number == SIGINT ? platform::stop_request_t::sigint
                                               : platform::stop_request_t::sigterm);
}

} // namespace

unsigned long platform::process_id() {
    return static_cast<unsigned long>(getpid());
}

void platform::point_temporary_folder_at(const std::filesystem::path& path) {
    if (setenv("TMPDIR", path.c_str(), 1) != 0) {
        throw tool_error_t(exit_code_t::file, "cannot set TMPDIR to the log folder");
    }
}

void platform::start_catching_stop_requests() {
    caught = static_cast<int>(stop_request_t::none);
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previous_int);
    sigaction(SIGTERM, &action, &previous_term);
}

void platform::stop_catching_stop_requests() {
    sigaction(SIGINT, &previous_int, nullptr);
    sigaction(SIGTERM, &previous_term, nullptr);
}

platform::stop_request_t platform::caught_stop_request() {
    return static_cast<stop_request_t>(caught);
}

void platform::stop_request_handled() {}

bool platform::simulation_library_loaded() {
    return false;
}

bool stdin_is_terminal() {
    return isatty(STDIN_FILENO) != 0;
}

bool stdout_is_terminal() {
    return isatty(STDOUT_FILENO) != 0;
}

bool protect_closed_stdout() {
    if (fcntl(STDOUT_FILENO, F_GETFD) != -1) {
        return false;
    }
    const int null = open("/dev/null", O_WRONLY);
    if (null != -1 && null != STDOUT_FILENO) {
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    return true;
}

} // namespace velnorctl

int main(int argc, char** argv) {
    // A reader that goes away (velnorctl ... | head -1) makes the next write
    // fail instead of ending the process: an update in progress is then
    // reset and the exit code says standard output could not be written.
    std::signal(SIGPIPE, SIG_IGN);
    return velnorctl::run_tool(std::vector<std::string>(argv, argv + argc));
}
