// The ways a command of velnorctl or a request of velnor-panel fails, and
// the exit code each one gives.
#pragma once

#include <velnor.h>

#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>

namespace velnorctl {

// Exit codes of the tool (documented in docs/usage.md and in --help).
enum class exit_code_t : int {
    ok = 0,
    library = 1,       // a library or system call failed
    usage = 2,         // the command line or a value could not be understood
    no_board = 3,      // no board at that index or with that serial, or several with it
    file = 4,          // a file could not be read or written, or an image is malformed
    update = 5,        // the firmware update did not finish (board state, timeout, --verify)
    replay = 6,        // a call left the --sim-replay trace (virtual builds)
    hung_up = 129,     // SIGHUP stopped a firmware update or a watch
    interrupted = 130, // SIGINT (Ctrl-C, Ctrl-Break) stopped a firmware update or a watch
    terminated = 143,  // SIGTERM (console closing, logoff, shutdown) stopped an update or watch
};

// A failure the tool itself detected; the message is printed as it stands.
class tool_error_t : public std::runtime_error {
public:
    tool_error_t(exit_code_t exit, const std::string& message)
        : std::runtime_error(message), exit_(exit) {}
    exit_code_t exit() const noexcept { return exit_; }

private:
    exit_code_t exit_;
};

// A failed library call: the export's name, its result code and the line the
// library wrote for it to its log (empty when none was found), and what the
// tool can add about it (what the board's state means, the way out).
class library_failure_t : public std::runtime_error {
public:
    library_failure_t(std::string function, vl_rc rc, std::string log_line);
    const std::string& function() const noexcept { return function_; }
    vl_rc rc() const noexcept { return rc_; }
    const std::string& log_line() const noexcept { return log_line_; }
    const std::string& advice() const noexcept { return advice_; }
    void set_advice(std::string advice) { advice_ = std::move(advice); }

private:
    std::string function_;
    vl_rc rc_;
    std::string log_line_;
    std::string advice_;
};

// A failure that has already been printed; only its exit code remains.
class reported_failure_t : public std::runtime_error {
public:
    explicit reported_failure_t(exit_code_t exit) : std::runtime_error("reported"), exit_(exit) {}
    exit_code_t exit() const noexcept { return exit_; }

private:
    exit_code_t exit_;
};

// Throws library_failure_t when rc is not VL_RC_SUCCESS; log_mark is the
// size the library's log had before the call (see log_mark()).
void check(const char* function, vl_rc rc, uint64_t log_mark);

// Held from the log mark before a call to the reading of its log line: the
// panel calls the library from several threads, and a failure must find the
// line its own call wrote, not a line another thread's call wrote meanwhile.
std::unique_lock<std::recursive_mutex> lock_library_calls();

// Calls a library export and throws library_failure_t naming it when it
// fails, with the log line that call wrote.
#define VLCTL_CALL(function, ...)                                                                  \
    do {                                                                                           \
        const auto vlctl_lock_ = ::velnorctl::lock_library_calls();                                \
        const uint64_t vlctl_mark_ = ::velnorctl::log_mark();                                      \
        ::velnorctl::check(#function, function(__VA_ARGS__), vlctl_mark_);                         \
    } while (0)

// The current size of the library's log; lines after it are newer.
uint64_t log_mark();

// The program's name that begins every message ("velnorctl", the default, or
// "velnor-panel") and names the folders it makes.
void set_program_name(std::string name);
const std::string& program_name();

// Text put after "velnorctl: " in every message, e.g. "line 3: " in a shell.
void set_message_context(std::string context);
const std::string& message_context();

// Prints the failure in flight to standard error and returns its exit code.
// Call only from a catch block.
exit_code_t report_current_failure() noexcept;

} // namespace velnorctl
