// The trace's file on the host's own file calls (never the seam: the
// recording build must not record itself). Opened the way the log is kept
// safe: never following a link, never waiting on a FIFO, a regular file only,
// and no folder made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

namespace velnor::os {

class trace_file_t {
public:
    trace_file_t() = default;
    ~trace_file_t();
    trace_file_t(const trace_file_t&) = delete;
    trace_file_t& operator=(const trace_file_t&) = delete;

    // Opens (creating or emptying) a regular file. On failure the error and
    // a short reason ("cannot open", "not a regular file", ...).
    std::error_code open(const std::filesystem::path& path, std::string& reason);

    // Writes the bytes with one system write; a short write is an error.
    std::error_code write(const std::uint8_t* data, std::size_t size);

    void close() noexcept;
    bool is_open() const { return handle_ != invalid; }

private:
    static constexpr std::intptr_t invalid = -1;
    std::intptr_t handle_ = invalid; // a file descriptor, or a Windows HANDLE's value
};

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
