#include "errors.h"

#include "velnor_log.h"
#include <velnor.h>

#include <exception>
#include <iostream>

namespace velnorctl {

namespace {

std::string describe(const std::string& function, vl_rc rc) {
    return function + " failed: " + vl_rc_name(rc) + " (" + std::to_string(rc) + ")";
}

} // namespace

library_failure_t::library_failure_t(std::string function, vl_rc rc, std::string log_line)
    : std::runtime_error(describe(function, rc)), function_(std::move(function)), rc_(rc),
      log_line_(std::move(log_line)) {}

void check(const char* function, vl_rc rc) {
    if (rc != VL_RC_SUCCESS) {
        // Read at once: a later failing call (the update's reset, say) adds its own line.
        throw library_failure_t(function, rc, last_log_line_of(function));
    }
}

exit_code_t report_current_failure() noexcept {
    try {
        throw;
    } catch (const library_failure_t& failure) {
        std::cerr << "velnorctl: " << failure.what() << '\n';
        if (failure.log_line().empty()) {
            std::cerr << "Velnor.log: (no line from " << failure.function() << ")\n";
        } else {
            std::cerr << "Velnor.log: " << failure.log_line() << '\n';
        }
        const bool board_missing =
            failure.function() == "vl_device_open" && failure.rc() == VL_RC_INVALID_DEVICE;
        return board_missing ? exit_code_t::no_board : exit_code_t::library;
    } catch (const reported_failure_t& reported) {
        return reported.exit();
    } catch (const tool_error_t& error) {
        std::cerr << "velnorctl: " << error.what() << '\n';
        return error.exit();
    } catch (const std::exception& error) {
        std::cerr << "velnorctl: " << error.what() << '\n';
        return exit_code_t::library;
    } catch (...) {
        std::cerr << "velnorctl: unexpected failure\n";
        return exit_code_t::library;
    }
}

} // namespace velnorctl
