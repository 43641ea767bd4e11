// The library's result codes. Their names live in velnor.h (vl_rc_name), the
// one table that the error category, the tools and the documentation read.
#pragma once

#include <velnor.h>

#include <cstddef>

namespace velnor {

// The name of a result code ("success", "invalid_frequency", ...), or
// "invalid_rc" for a value outside the table. Static storage.
const char* rc_name(int value) noexcept;

// Every named code, in table order, for tools and tests that walk them.
inline constexpr vl_rc named_result_codes[] = {VL_RC_SUCCESS,
                                               VL_RC_INTERNAL_ERROR,
                                               VL_RC_AD9516_COMMUNICATION_ERROR,
                                               VL_RC_INVALID_DEVICE,
                                               VL_RC_NULL_PARAMETER,
                                               VL_RC_FAILED,
                                               VL_RC_NO_MEMORY,
                                               VL_RC_INVALID_DEVICE_TYPE,
                                               VL_RC_UPDATE_INVALID_STATUS,
                                               VL_RC_INVALID_DATA,
                                               VL_RC_TIMEOUT,
                                               VL_RC_PLL_NOT_LOCKED,
                                               VL_RC_INVALID_FREQUENCY};

} // namespace velnor
