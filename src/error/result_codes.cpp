#include "error/result_codes.h"

namespace velnor {

const char* rc_name(int value) noexcept {
    return vl_rc_name(value);
}

} // namespace velnor
