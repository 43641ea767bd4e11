#include "api/result_codes.h"

namespace velnor {

namespace {
// A switch without default: -Wswitch-enum names any code left out.
const char* name_of(vl_rc_code code) noexcept {
    switch (code) {
    case VL_RC_SUCCESS:
        return "success";
    case VL_RC_INTERNAL_ERROR:
        return "internal_error";
    case VL_RC_AD9516_COMMUNICATION_ERROR:
        return "ad9516_communication_error";
    case VL_RC_INVALID_DEVICE:
        return "invalid_device";
    case VL_RC_NULL_PARAMETER:
        return "null_parameter";
    case VL_RC_FAILED:
        return "failed";
    case VL_RC_NO_MEMORY:
        return "no_memory";
    case VL_RC_INVALID_DEVICE_TYPE:
        return "invalid_device_type";
    case VL_RC_UPDATE_INVALID_STATUS:
        return "update_invalid_status";
    case VL_RC_INVALID_DATA:
        return "invalid_data";
    case VL_RC_TIMEOUT:
        return "timeout";
    case VL_RC_PLL_NOT_LOCKED:
        return "pll_not_locked";
    case VL_RC_INVALID_FREQUENCY:
        return "invalid_frequency";
    }
    return "invalid_rc";
}
} // namespace

const char* rc_name(int value) noexcept {
    for (vl_rc code : named_result_codes) {
        if (code == value) {
            return name_of(static_cast<vl_rc_code>(code));
        }
    }
    return "invalid_rc";
}

} // namespace velnor
