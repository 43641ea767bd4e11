// What the trace writer asks of the host itself (never through the seam: the
// recording build must not record itself): the process and thread it runs
// in, and the thread's error value kept across its own file calls.
#pragma once

#include <cstdint>

namespace velnor::os {

std::uint32_t current_process_id();
std::uint32_t current_thread_id();

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
