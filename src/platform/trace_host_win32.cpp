// The trace writer's host calls on Windows.
#include "platform/trace_host.h"

#include "platform/win_types.h"

namespace velnor::os {

std::uint32_t current_process_id() {
    return ::GetCurrentProcessId();
}

std::uint32_t current_thread_id() {
    return ::GetCurrentThreadId();
}

host_error_keeper_t::host_error_keeper_t() : saved_(::GetLastError()) {}

host_error_keeper_t::~host_error_keeper_t() {
    ::SetLastError(saved_);
}

} // namespace velnor::os
