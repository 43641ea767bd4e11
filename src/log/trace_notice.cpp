// The recording build's lines about its trace, in the library's log.
#include "platform/trace_notice.h"

#include "log/logger.h"

namespace velnor::os {

void log_trace_stopped(const std::error_code& error, std::string_view text) noexcept {
    log_failure("trace", error, text);
}

void log_trace_notice(std::string_view text) noexcept {
    log_failure("trace", std::error_code(), text);
}

} // namespace velnor::os
