// The trace writer's host calls on Windows.
#define _CRT_RAND_S // rand_s, from the system's random source
#include <stdlib.h>

#include "platform/trace_host.h"

#include "platform/win_types.h"

#include <limits>

namespace velnor::os {

std::uint32_t current_process_id() {
    return ::GetCurrentProcessId();
}

std::uint32_t current_thread_id() {
    return ::GetCurrentThreadId();
}

std::uint32_t random_name_digits() {
    unsigned int value = 0;
    if (::rand_s(&value) == 0) {
        return value;
    }
    // The file is made exclusively whatever its name.
    return static_cast<std::uint32_t>(::GetTickCount64()) ^ ::GetCurrentThreadId();
}

std::uint64_t file_size_limit() {
    return std::numeric_limits<std::uint64_t>::max();
}

std::error_code file_too_large() {
    return {static_cast<int>(ERROR_FILE_TOO_LARGE), std::system_category()};
}

bool on_fork(void (*)(), void (*)(), void (*)()) {
    return true;
}

host_error_keeper_t::host_error_keeper_t() : saved_(::GetLastError()) {}

host_error_keeper_t::~host_error_keeper_t() {
    ::SetLastError(saved_);
}

} // namespace velnor::os
