// The one log line of a trace that stopped. The recording seam sits below
// the log room, so the log room supplies this; only the recording build
// links it.
#pragma once

#include <string_view>
#include <system_error>

namespace velnor::os {

void log_trace_stopped(const std::error_code& error, std::string_view text) noexcept;

} // namespace velnor::os
