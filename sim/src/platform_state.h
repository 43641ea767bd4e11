/*
 * platform_state.h - the virtual platform's process-wide state: boards,
 * handles, counters, fault switches and the request log, all guarded by one
 * mutex, plus the calling thread's last error.
 *
 * Every exported call takes the lock through platform(), works on the state
 * and releases the lock before it returns; nothing here calls back out.
 */
#ifndef VELNOR_SIM_PLATFORM_STATE_H
#define VELNOR_SIM_PLATFORM_STATE_H

#include "board_model.h"
#include "replay.h"
#include "velnor_board_protocol.h"
#include "velnor_sim.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace velnor::sim {

/* The newest requests the log keeps; vlsim_call_count still counts every one. */
inline constexpr std::size_t request_log_capacity = 4096;

struct board_t {
    int id = 0;
    std::wstring path;
    vlbm_board model{};
};

struct open_handle_t {
    int board_id = 0;
};

struct logged_request_t {
    void* handle = nullptr;
    std::uint32_t code = 0;
    std::uint32_t in_length = 0;
    std::uint32_t in_logged = 0; /* bytes kept in `in` */
    std::array<std::uint8_t, VLSIM_LOGGED_INPUT_MAX> in{};
    bool in_was_null = false;
    std::uint32_t out_length = 0;
    std::uint32_t bytes_returned = 0;
    bool succeeded = false;
    std::uint32_t error = 0;
};

/* The newest requests in a ring whose storage is made once, so that logging a
 * request allocates nothing (tests count the library's allocations around
 * requests). */
class request_log_t {
public:
    /* The slot for a new request, overwriting the oldest when full. */
    logged_request_t& append() {
        if (ring_.empty()) {
            ring_.resize(request_log_capacity);
        }
        logged_request_t& slot = ring_[(start_ + size_) % request_log_capacity];
        if (size_ < request_log_capacity) {
            ++size_;
        } else {
            start_ = (start_ + 1) % request_log_capacity;
        }
        slot = logged_request_t{};
        return slot;
    }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const logged_request_t& operator[](std::size_t i) const {
        return ring_[(start_ + i) % request_log_capacity];
    }
    const logged_request_t& back() const { return (*this)[size_ - 1]; }
    void clear() {
        start_ = 0;
        size_ = 0;
    }

private:
    std::vector<logged_request_t> ring_;
    std::size_t start_ = 0;
    std::size_t size_ = 0;
};

enum class status_switch_t { none, without_payload, with_payload };

struct request_switches_t {
    status_switch_t status_mode = status_switch_t::none;
    std::int32_t status = 0;
    std::optional<std::uint32_t> reply_length;
};

struct faults_t {
    std::array<std::optional<std::uint32_t>, VLSIM_CALL_KIND_COUNT> next{};
    std::map<std::uint64_t, std::uint32_t> at_call; /* absolute call number -> value */
    bool next_open_null = false;
    bool arrival = false;
    std::optional<vlsim_board_config> arrival_config; /* none: the defaults at arrival */
    std::vector<wchar_t> raw_list;
    bool raw_for_size = false;
    bool raw_for_fetch = false;
    std::array<request_switches_t, VLB_REQUEST_COUNT> requests{};
    std::optional<std::uint32_t> listen_failure;
};

struct listener_t {
    vlsim_board_listener call = nullptr;
    void* context = nullptr;
};

struct platform_t {
    platform_t();

    /* Boards by id; a removed board leaves an empty slot so ids are never reused. */
    std::vector<std::unique_ptr<board_t>> boards;
    std::size_t board_count = 0;
    /* Characters of the interface list without its final NUL: sum of (path length + 1). */
    std::size_t list_chars = 0;
    std::unordered_map<std::wstring, int> board_by_path;

    std::unordered_map<std::uintptr_t, open_handle_t> handles;

    std::array<std::uint64_t, VLSIM_CALL_KIND_COUNT> calls{};
    std::uint64_t total_calls = 0;

    std::optional<vlsim_open_record> last_open;
    request_log_t requests;
    /* Reused by every request, as the I/O manager's system buffer. */
    std::vector<std::uint8_t> system_buffer;

    faults_t faults;

    /* While a trace is loaded, the calls are answered from it. */
    std::unique_ptr<replay_t> replay;
    bool trace_pacing = false;
    std::string trace_refusal; /* why the last vlsim_load_trace refused its file */

    /* Told of every change of the boards present; kept across reset. */
    std::map<std::uint64_t, listener_t> listeners;
    std::uint64_t last_listener = 0;

    std::mutex mutex;

    void reset();
    /* The interface paths present now: the boards, or during a replay the trace's. */
    std::vector<std::wstring> present_paths() const;
    void notify(vlsim_board_event event, const std::wstring& path) const;
    int add_board(const vlsim_board_config* config);
    int remove_board(int id);
    board_t* find_board(int id);
    int next_board_id() const { return static_cast<int>(boards.size()); }

    /* Counts a call of that kind and consumes the fault switches aimed at it. */
    std::optional<std::uint32_t> enter_call(vlsim_call kind);
};

/* The state, built with one default board on first use. */
platform_t& platform();

std::wstring board_path(int id);
void default_config(int id, vlsim_board_config* config);

void set_last_error(std::uint32_t error);

/* Handle values: never 0, never INVALID_HANDLE_VALUE and never reused in a process. */
std::uintptr_t new_handle_value();

inline void* invalid_handle_value() {
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));
}

} // namespace velnor::sim

#endif /* VELNOR_SIM_PLATFORM_STATE_H */
