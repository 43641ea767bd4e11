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

struct Board {
    int id = 0;
    std::wstring path;
    vlbm_board model{};
};

struct OpenHandle {
    int board_id = 0;
};

struct LoggedRequest {
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
class RequestLog {
public:
    /* The slot for a new request, overwriting the oldest when full. */
    LoggedRequest& append() {
        if (ring_.empty()) {
            ring_.resize(request_log_capacity);
        }
        LoggedRequest& slot = ring_[(start_ + size_) % request_log_capacity];
        if (size_ < request_log_capacity) {
            ++size_;
        } else {
            start_ = (start_ + 1) % request_log_capacity;
        }
        slot = LoggedRequest{};
        return slot;
    }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const LoggedRequest& operator[](std::size_t i) const {
        return ring_[(start_ + i) % request_log_capacity];
    }
    const LoggedRequest& back() const { return (*this)[size_ - 1]; }
    void clear() {
        start_ = 0;
        size_ = 0;
    }

private:
    std::vector<LoggedRequest> ring_;
    std::size_t start_ = 0;
    std::size_t size_ = 0;
};

enum class StatusSwitch { none, without_payload, with_payload };

struct RequestSwitches {
    StatusSwitch status_mode = StatusSwitch::none;
    std::int32_t status = 0;
    std::optional<std::uint32_t> reply_length;
};

struct Faults {
    std::array<std::optional<std::uint32_t>, VLSIM_CALL_KIND_COUNT> next{};
    std::map<std::uint64_t, std::uint32_t> at_call; /* absolute call number -> value */
    bool next_open_null = false;
    bool arrival = false;
    std::optional<vlsim_board_config> arrival_config; /* none: the defaults at arrival */
    std::vector<wchar_t> raw_list;
    bool raw_for_size = false;
    bool raw_for_fetch = false;
    std::array<RequestSwitches, VLBM_REQUEST_COUNT> requests{};
};

struct Platform {
    Platform();

    /* Boards by id; a removed board leaves an empty slot so ids are never reused. */
    std::vector<std::unique_ptr<Board>> boards;
    std::size_t board_count = 0;
    /* Characters of the interface list without its final NUL: sum of (path length + 1). */
    std::size_t list_chars = 0;
    std::unordered_map<std::wstring, int> board_by_path;

    std::unordered_map<std::uintptr_t, OpenHandle> handles;

    std::array<std::uint64_t, VLSIM_CALL_KIND_COUNT> calls{};
    std::uint64_t total_calls = 0;

    std::optional<vlsim_open_record> last_open;
    RequestLog requests;
    /* Reused by every request, as the I/O manager's system buffer. */
    std::vector<std::uint8_t> system_buffer;

    Faults faults;

    std::mutex mutex;

    void reset();
    int add_board(const vlsim_board_config* config);
    int remove_board(int id);
    Board* find_board(int id);
    int next_board_id() const { return static_cast<int>(boards.size()); }

    /* Counts a call of that kind and consumes the fault switches aimed at it. */
    std::optional<std::uint32_t> enter_call(vlsim_call kind);
};

/* The state, built with one default board on first use. */
Platform& platform();

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
