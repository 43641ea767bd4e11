// A failed system call, raised in the system category with the system's
// error value; its text is the call's message, ": ", and the system's own
// words for the value.
#pragma once

#include "platform/os.h"

#include <string>
#include <system_error>

namespace velnor {

class system_failure_t : public std::system_error {
public:
    system_failure_t(DWORD error, const char* message);
    const char* what() const noexcept override { return text_.c_str(); }

private:
    std::string text_;
};

// Raises the calling thread's last error; read first, before anything can change it.
[[noreturn]] void raise_last_error(const char* message);

} // namespace velnor
