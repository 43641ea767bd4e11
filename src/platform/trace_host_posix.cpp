// The trace writer's host calls on a POSIX host.
#include "platform/trace_host.h"

#include <cerrno>
#include <chrono>
#include <limits>
#include <pthread.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace velnor::os {

std::uint32_t current_process_id() {
    return static_cast<std::uint32_t>(::getpid());
}

std::uint32_t current_thread_id() {
    return static_cast<std::uint32_t>(::syscall(SYS_gettid));
}

std::uint32_t random_name_digits() {
    std::uint32_t value = 0;
    if (::getrandom(&value, sizeof value, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof value)) {
        return value;
    }
    // No entropy yet (early boot): the clock still differs from run to run,
    // and the file is made exclusively whatever its name.
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return static_cast<std::uint32_t>(now) ^ static_cast<std::uint32_t>(now >> 32);
}

std::uint64_t file_size_limit() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return std::numeric_limits<std::uint64_t>::max();
    }
    return static_cast<std::uint64_t>(limit.rlim_cur);
}

std::error_code file_too_large() {
    return {EFBIG, std::system_category()};
}

bool on_fork(void (*prepare)(), void (*parent)(), void (*child)()) {
    return ::pthread_atfork(prepare, parent, child) == 0;
}

host_error_keeper_t::host_error_keeper_t() : saved_(static_cast<std::uint32_t>(errno)) {}

host_error_keeper_t::~host_error_keeper_t() {
    errno = static_cast<int>(saved_);
}

} // namespace velnor::os
