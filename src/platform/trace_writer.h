// The recording build's trace: every platform call as one pcapng record in
// Velnor-trace-<pid>.pcapng, in the temporary directory the log uses.
#pragma once

#include "platform/os.h"
#include "platform/trace_host.h"

#include <velnor_trace_format.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velnor::os {

// One call as the recording seam saw it; data points at bytes the caller
// keeps alive until record() returns.
struct trace_call_t {
    vltr_kind kind = VLTR_LIST_SIZE;
    std::uint8_t flags = 0;
    std::uint64_t handle = 0;
    std::uint32_t result = 0;
    std::uint32_t last_error = 0;
    std::uint32_t p[4] = {};
    const std::uint8_t* in = nullptr;
    std::uint32_t in_size = 0;
    const std::uint8_t* out = nullptr;
    std::uint32_t out_size = 0;
    // CreateFileW: the path in UTF-8, naming the board's interface.
    const std::string* path = nullptr;
};

class trace_writer_t {
public:
    // The process's writer; the file is made at the first record.
    static trace_writer_t& instance();

    // Appends one record, whole, before it returns. A trace that
    // cannot be written stops (one line in the log says why); the call it
    // records is not affected.
    void record(const trace_call_t& call) noexcept;

private:
    trace_writer_t() = default;

    bool start();
    void stop(const std::error_code& error, const std::string& why);
    std::uint32_t interface_for(const trace_call_t& call);
    void append_interface(const std::string& name);
    void append_record(const trace_call_t& call, std::uint32_t interface_id);

    std::mutex mutex_;
    enum class state_t { fresh, running, stopped } state_ = state_t::fresh;
    std::optional<owned_file_t> file_;
    std::string path_text_;
    std::chrono::steady_clock::time_point start_{};
    std::uint64_t start_wall_ns_ = 0;
    std::uint64_t sequence_ = 0;
    std::map<std::string, std::uint32_t> interface_by_path_;
    std::map<std::uint64_t, std::uint32_t> interface_by_handle_;
    std::uint32_t interface_count_ = 0;
    std::vector<std::uint8_t> block_; // the bytes of the next write, reused
};

} // namespace velnor::os
