// The ways a velnorctl command fails, and the exit code each one gives.
#pragma once

#include <velnor.h>

#include <stdexcept>
#include <string>

namespace velnorctl {

// Exit codes of the tool (documented in docs/usage.md and in --help).
enum class exit_code_t : int {
    ok = 0,
    library = 1,  // a library call failed
    usage = 2,    // the command line or a value could not be understood
    no_board = 3, // no board at that index or with that serial
    file = 4,     // a file could not be read or written, or an image is malformed
    update = 5,   // the firmware update did not finish (board state, timeout, --verify)
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
// library wrote for it to Velnor.log (empty when none was found).
class library_failure_t : public std::runtime_error {
public:
    library_failure_t(std::string function, vl_rc rc, std::string log_line);
    const std::string& function() const noexcept { return function_; }
    vl_rc rc() const noexcept { return rc_; }
    const std::string& log_line() const noexcept { return log_line_; }

private:
    std::string function_;
    vl_rc rc_;
    std::string log_line_;
};

// A failure that has already been printed; only its exit code remains.
class reported_failure_t : public std::runtime_error {
public:
    explicit reported_failure_t(exit_code_t exit) : std::runtime_error("reported"), exit_(exit) {}
    exit_code_t exit() const noexcept { return exit_; }

private:
    exit_code_t exit_;
};

// Throws library_failure_t when rc is not VL_RC_SUCCESS.
void check(const char* function, vl_rc rc);

// Calls a library export and throws library_failure_t naming it when it fails.
#define VLCTL_CALL(function, ...) ::velnorctl::check(#function, function(__VA_ARGS__))

// Prints the failure in flight to standard error and returns its exit code.
// Call only from a catch block.
exit_code_t report_current_failure() noexcept;

} // namespace velnorctl
