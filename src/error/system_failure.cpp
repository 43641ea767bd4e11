#include "error/system_failure.h"

namespace velnor {

system_failure_t::system_failure_t(DWORD error, const char* message)
    : std::system_error(static_cast<int>(error), std::system_category(), message),
      text_(std::string(message) + ": " + os::error_text(error)) {}

void raise_last_error(const char* message) {
    const DWORD error = os::GetLastError();
    throw system_failure_t(error, message);
}

} // namespace velnor
