#include "result_names.h"

namespace velnorctl {

const char* rc_name(vl_rc rc) noexcept {
    switch (static_cast<vl_rc_code>(rc)) {
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

} // namespace velnorctl
