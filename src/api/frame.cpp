#include "api/frame.h"

#include <fmt/format.h>

namespace velnor {

vl_rc result_of(const std::error_code& code) noexcept {
    return code.category() == velnor_category() ? code.value() : VL_RC_FAILED;
}

vl_rc report_out_of_memory(const char* function) noexcept {
    log_failure(function, make_error_code(VL_RC_NO_MEMORY), "Out of memory: no_memory");
    return VL_RC_NO_MEMORY;
}

vl_rc report_unexpected(const char* function, const char* what) noexcept {
    try {
        log_failure(function, make_error_code(VL_RC_INTERNAL_ERROR),
                    fmt::format("Unexpected exception ({}): internal_error", what));
    } catch (...) {
        log_failure(function, make_error_code(VL_RC_INTERNAL_ERROR),
                    "Unexpected exception: internal_error");
    }
    return VL_RC_INTERNAL_ERROR;
}

} // namespace velnor
