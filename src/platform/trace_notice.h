// The log lines of the trace writer: why a trace stopped, and where a forked
// child's trace went on. The recording seam sits below the log room, so the
// log room supplies these; only the recording build links them.
#pragma once

#include <string_view>
#include <system_error>

namespace velnor::os {

void log_trace_stopped(const std::error_code& error, std::string_view text) noexcept;

// A line that is no failure of the trace (its error value 0).
void log_trace_notice(std::string_view text) noexcept;

} // namespace velnor::os
