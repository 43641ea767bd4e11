// Names of the library's result codes, as velnor.h documents them. The
// library exports its functions only, so the tool keeps its own copy.
#pragma once

#include <velnor.h>

namespace velnorctl {

// "success", "invalid_frequency", ...; "invalid_rc" for any other value.
const char* rc_name(vl_rc rc) noexcept;

} // namespace velnorctl
