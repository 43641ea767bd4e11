// The recording build's one line when its trace stops, in the library's log.
#include "platform/trace_notice.h"

#include "log/logger.h"

namespace velnor::os {

void log_trace_stopped(const std::error_code& error, std::string_view text) noexcept {
    log_failure("trace", error, text);
}

} // namespace velnor::os
