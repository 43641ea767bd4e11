// The trace writer's host calls on a POSIX host.
#include "platform/trace_host.h"

#include <cerrno>
#include <sys/syscall.h>
#include <unistd.h>

namespace velnor::os {

std::uint32_t current_process_id() {
    return static_cast<std::uint32_t>(::getpid());
}

std::uint32_t current_thread_id() {
    return static_cast<std::uint32_t>(::syscall(SYS_gettid));
}

host_error_keeper_t::host_error_keeper_t() : saved_(static_cast<std::uint32_t>(errno)) {}

host_error_keeper_t::~host_error_keeper_t() {
    errno = static_cast<int>(saved_);
}

} // namespace velnor::os
