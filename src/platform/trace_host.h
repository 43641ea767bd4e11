// What the trace writer asks of the host itself (never through the seam: the
// recording build must not record itself): the process and thread it runs
// in, random digits for a file's name, the process's file-size limit, fork
// handlers, and the thread's error value kept across its own file calls.
#pragma once

#include <cstdint>
#include <system_error>

namespace velnor::os {

std::uint32_t current_process_id();
std::uint32_t current_thread_id();

// 32 bits from the system's random source (getrandom, rand_s), for a name
// no other process draws.
std::uint32_t random_name_digits();

// The most bytes the process may write to a file (RLIMIT_FSIZE on POSIX;
// no limit on Windows), and the system's error for a write past it.
std::uint64_t file_size_limit();
std::error_code file_too_large();

// Runs prepare before a fork() and parent or child after it, in the process
// named (POSIX; Windows has no fork and nothing is registered). Returns
// false when the handlers cannot be registered.
bool on_fork(void (*prepare)(), void (*parent)(), void (*child)());

// Keeps the thread's host error value (errno, or Windows' last error) across
// the trace's own file calls, so an application sees what the call left.
class host_error_keeper_t {
public:
    host_error_keeper_t();
    ~host_error_keeper_t();
    host_error_keeper_t(const host_error_keeper_t&) = delete;
    host_error_keeper_t& operator=(const host_error_keeper_t&) = delete;

private:
    std::uint32_t saved_;
};

} // namespace velnor::os
