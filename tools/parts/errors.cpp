#include "errors.h"

#include "output.h"
#include "velnor_log.h"

#include <exception>
#include <iostream>

namespace velnorctl {

namespace {

std::string describe(const std::string& function, vl_rc rc) {
    return function + " failed: " + vl_rc_name(rc) + " (" + std::to_string(rc) + ")";
}

std::string& context_text() {
    static std::string text;
    return text;
}

std::string& program_name_text() {
    static std::string name = "velnorctl";
    return name;
}

} // namespace

library_failure_t::library_failure_t(std::string function, vl_rc rc, std::string log_line)
    : std::runtime_error(describe(function, rc)), function_(std::move(function)), rc_(rc),
      log_line_(std::move(log_line)) {}

uint64_t log_mark() {
    return velnor_log_size();
}

void check(const char* function, vl_rc rc, uint64_t log_mark) {
    if (rc != VL_RC_SUCCESS) {
        // Read at once: a later failing call (the update's reset, say) adds its own line.
        throw library_failure_t(function, rc, log_line_since(log_mark, function));
    }
}

std::unique_lock<std::recursive_mutex> lock_library_calls() {
    static std::recursive_mutex calls;
    return std::unique_lock<std::recursive_mutex>(calls);
}

void set_program_name(std::string name) {
    program_name_text() = std::move(name);
}

const std::string& program_name() {
    return program_name_text();
}

void set_message_context(std::string context) {
    context_text() = std::move(context);
}

const std::string& message_context() {
    return context_text();
}

exit_code_t report_current_failure() noexcept {
    const std::string prefix = program_name() + ": " + message_context();
    try {
        throw;
    } catch (const library_failure_t& failure) {
        const std::string log =
            velnor_log_path().empty() ? "Velnor.log" : printable(velnor_log_path().u8string());
        std::cerr << prefix << failure.what() << '\n';
        const log_trouble_t trouble = failure.log_line().empty() ? log_trouble() : log_trouble_t{};
        if (trouble.unwritable) {
            // Said once; the later failures of the run have no line for the same reason.
            if (!trouble.first_report.empty()) {
                std::cerr << prefix << trouble.first_report << '\n';
            }
        } else if (failure.log_line().empty()) {
            std::cerr << log << ": (no line from " << failure.function() << ")\n";
        } else {
            std::cerr << log << ": " << printable(failure.log_line()) << '\n';
        }
        if (!failure.advice().empty()) {
            std::cerr << prefix << failure.advice() << '\n';
        }
        const bool board_missing =
            failure.function() == "vl_device_open" && failure.rc() == VL_RC_INVALID_DEVICE;
        return board_missing ? exit_code_t::no_board : exit_code_t::library;
    } catch (const reported_failure_t& reported) {
        return reported.exit();
    } catch (const tool_error_t& error) {
        std::cerr << prefix << error.what() << '\n';
        return error.exit();
    } catch (const std::exception& error) {
        std::cerr << prefix << printable(error.what()) << '\n';
        return exit_code_t::library;
    } catch (...) {
        std::cerr << prefix << "unexpected failure\n";
        return exit_code_t::library;
    }
}

} // namespace velnorctl
