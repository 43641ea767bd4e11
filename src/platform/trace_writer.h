// The recording build's trace: every platform call as one pcapng record in
// Velnor-trace-<pid>-<UTC yyyymmdd-hhmmss>-<8 hex digits>.pcapng, a file of
// its own made new in the temporary directory the log uses.
#pragma once

#include "platform/os.h"
#include "platform/trace_blocks.h"
#include "platform/trace_host.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velnor::os {

class trace_writer_t {
public:
    // Where a file's random digits come from: the system's random source,
    // unless a test fixes them.
    using digits_source_t = std::uint32_t (*)();

    // The process's writer; the file is made at the first record. It follows
    // the process through fork(): a child's first record starts a file of
    // its own.
    static trace_writer_t& instance();

    explicit trace_writer_t(digits_source_t digits = random_name_digits) noexcept;
    trace_writer_t(const trace_writer_t&) = delete;
    trace_writer_t& operator=(const trace_writer_t&) = delete;

    // Appends one record, whole, before it returns. A trace that cannot be
    // written, or would grow past its bound, stops (one line in the log says
    // why); the call it records is not affected.
    void record(const trace_call_t& call) noexcept;

    // Makes a call (make fills in call's result and last error) and records
    // it as one step: no other record comes between. For CloseHandle: an
    // open in another thread that gets the same handle value is recorded
    // after the close, so the value names the new file from there on.
    void record_in_order(trace_call_t& call, const std::function<void(trace_call_t&)>& make);

    // The file's path as the log names it ("" before the first record).
    std::string path_text() const;

private:
    enum class state_t { fresh, running, forked, stopped };

    void commit(const trace_call_t& call, std::vector<std::uint8_t>& packet);
    bool ready();
    bool start();
    bool create_file();
    void stop(const std::error_code& error, const std::string& why);
    bool within_bound(std::uint64_t bytes, std::uint64_t sequence);
    std::uint32_t interface_for(const trace_call_t& call);
    std::uint32_t interface_of(const std::string& path);

    static void before_fork() noexcept;
    static void after_fork_in_parent() noexcept;
    static void after_fork_in_child() noexcept;

    const digits_source_t digits_;
    mutable std::mutex mutex_;
    std::atomic<state_t> state_{state_t::fresh};
    std::optional<owned_file_t> file_;
    std::string path_text_;
    std::uint64_t size_ = 0;  // bytes in the file
    std::uint64_t bound_ = 0; // the most it may hold
    std::uint64_t file_number_ = 0;
    std::chrono::steady_clock::time_point start_{};
    std::uint64_t start_wall_ns_ = 0;
    std::uint64_t sequence_ = 0;
    // The path each open handle was opened from, across files; the
    // interface each path has in this file.
    std::map<std::uint64_t, std::string> path_by_handle_;
    std::map<std::string, std::uint32_t, std::less<>> interface_by_path_;
    std::uint32_t interface_count_ = 0;
    std::vector<std::uint8_t> interfaces_; // blocks to write before the next record
};

} // namespace velnor::os
