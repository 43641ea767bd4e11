// The real backend's calls, compiled a second time for the recording build
// under the name velnor::os_forwarded (see VELNOR_OS_NAMESPACE in os.h), so
// that the recording seam in velnor::os can forward to them.
#pragma once

#include "platform/win_types.h"

#include <string>

namespace velnor::os_forwarded {

#include "platform/os_calls.h"

} // namespace velnor::os_forwarded
