#include "platform_state.h"

#include <algorithm>
#include <cstring>

using namespace velnor::sim;

namespace {

using lock_t = std::lock_guard<std::mutex>;

void copy_record(const logged_request_t& from, vlsim_request_record* to) {
    std::memset(to, 0, sizeof *to);
    to->handle = from.handle;
    to->code = from.code;
    to->in_length = from.in_length;
    std::memcpy(to->in, from.in.data(), from.in_logged);
    to->in_was_null = from.in_was_null ? 1 : 0;
    to->out_length = from.out_length;
    to->bytes_returned = from.bytes_returned;
    to->succeeded = from.succeeded ? 1 : 0;
    to->error = from.error;
}

bool valid_kind(vlsim_call kind) {
    return kind >= 0 && kind < VLSIM_CALL_KIND_COUNT;
}

} // namespace

/* ---- Boards ---- */

extern "C" VLSIM_API void vlsim_reset(void) {
    platform_t& p = platform();
    lock_t lock(p.mutex);
    p.reset();
}

extern "C" VLSIM_API void vlsim_default_board_config(vlsim_board_config* config) {
    if (config == nullptr) {
        return;
    }
    platform_t& p = platform();
    lock_t lock(p.mutex);
    default_config(p.next_board_id(), config);
}

extern "C" VLSIM_API int vlsim_add_board(const vlsim_board_config* config) {
    platform_t& p = platform();
    lock_t lock(p.mutex);
    return p.add_board(config);
}

extern "C" VLSIM_API int vlsim_remove_board(int id) {
    platform_t& p = platform();
    lock_t lock(p.mutex);
    return p.remove_board(id);
}

extern "C" VLSIM_API size_t vlsim_board_count(void) {
    platform_t& p = platform();
    lock_t lock(p.mutex);
    /* During a replay the trace's boards are the ones present. */
    return p.replay ? p.replay->boards().size() : p.board_count;
}

extern "C" VLSIM_API int vlsim_board_path(int id, wchar_t* buffer, size_t size) {
    platform_t& p = platform();
    lock_t lock(p.mutex);
    std::wstring path;
    if (p.replay) {
        /* The trace's board with that number (the recorded program's index). */
        const auto& boards = p.replay->boards();
        const auto found = std::find_if(boards.begin(), boards.end(), [id](const auto& board) {
            return id >= 0 && board.number == static_cast<std::uint32_t>(id);
        });
        if (found == boards.end()) {
            return -1;
        }
        path = replay_t::wide_path(found->path);
    } else {
        const board_t* board = p.find_board(id);
        if (board == nullptr) {
            return -1;
        }
        path = board->path;
    }
    if (buffer != nullptr && size != 0) {
        const std::size_t keep = std::min(path.size(), size - 1);
        std::copy_n(path.begin(), keep, buffer);
        buffer[keep] = L'\0';
    }
    return static_cast<int>(path.size());
}

extern "C" VLSIM_API int vlsim_fire_trigger(int id) {
    platform_t& p = platform();
    lock_t lock(p.mutex);
    board_t* board = p.find_board(id);
    if (board == nullptr) {
        return -1;
    }
    vlbm_fire_trigger(&board->model);
    return 0;
}

extern "C" VLSIM_API int vlsim_read_register(int id, uint32_t address, uint8_t* value) {
    platform_t& p = platform();
    lock_t lock(p.mutex);
    board_t* board = p.find_board(id);
    if (board == nullptr || value == nullptr) {
        return -1;
    }
    std::uint8_t in[4];
    for (int i = 0; i < 4; ++i) {
        in[i] = static_cast<std::uint8_t>(address >> (8 * i));
    }
    std::uint8_t reply[5] = {};
    std::uint32_t produced = 0;
    if (vlbm_request(&board->model, VLB_REQ_REG_READ, in, sizeof in, reply, sizeof reply,
                     &produced) != VLBM_DONE ||
        produced != sizeof reply || reply[0] != 0 || reply[1] != 0 || reply[2] != 0 ||
        reply[3] != 0) {
        return -1;
    }
    *value = reply[4];
    return 0;
}

/* ---- Watching ---- */

extern "C" VLSIM_API uint64_t vlsim_call_count(vlsim_call kind) {
    if (!valid_kind(kind)) {
        return 0;
    }
    platform_t& p = platform();
    lock_t lock(p.mutex);
    return p.calls[static_cast<std::size_t>(kind)];
}

extern "C" VLSIM_API size_t vlsim_open_handle_count(void) {
    platform_t& p = platform();
    lock_t lock(p.mutex);
    return p.handles.size();
}

extern "C" VLSIM_API int vlsim_last_open(vlsim_open_record* record) {
    platform_t& p = platform();
    lock_t lock(p.mutex);
    if (!p.last_open || record == nullptr) {
        return -1;
    }
    *record = *p.last_open;
    return 0;
}

extern "C" VLSIM_API size_t vlsim_request_count(void) {
    platform_t& p = platform();
    lock_t lock(p.mutex);
    return p.requests.size();
}

extern "C" VLSIM_API int vlsim_request_at(size_t i, vlsim_request_record* record) {
    platform_t& p = platform();
    lock_t lock(p.mutex);
    if (i >= p.requests.size() || record == nullptr) {
        return -1;
    }
    copy_record(p.requests[i], record);
    return 0;
}

extern "C" VLSIM_API int vlsim_last_request(vlsim_request_record* record) {
    platform_t& p = platform();
    lock_t lock(p.mutex);
    if (p.requests.empty() || record == nullptr) {
        return -1;
    }
    copy_record(p.requests.back(), record);
    return 0;
}

extern "C" VLSIM_API void vlsim_clear_requests(void) {
    platform_t& p = platform();
    lock_t lock(p.mutex);
    p.requests.clear();
}

/* ---- Fault switches ---- */

extern "C" VLSIM_API void vlsim_fail_next(vlsim_call kind, uint32_t value) {
    if (!valid_kind(kind)) {
        return;
    }
    platform_t& p = platform();
    lock_t lock(p.mutex);
    p.faults.next[static_cast<std::size_t>(kind)] = value;
}

extern "C" VLSIM_API void vlsim_fail_call_at(uint64_t n, uint32_t value) {
    if (n == 0) {
        return;
    }
    platform_t& p = platform();
    lock_t lock(p.mutex);
    p.faults.at_call[p.total_calls + n] = value;
}

extern "C" VLSIM_API void vlsim_next_open_returns_null(void) {
    platform_t& p = platform();
    lock_t lock(p.mutex);
    p.faults.next_open_null = true;
}

extern "C" VLSIM_API void vlsim_add_board_before_next_fetch(const vlsim_board_config* config) {
    platform_t& p = platform();
    lock_t lock(p.mutex);
    p.faults.arrival = true;
    p.faults.arrival_config.reset();
    if (config != nullptr) {
        p.faults.arrival_config = *config;
    }
}

extern "C" VLSIM_API void vlsim_set_next_list_raw(const wchar_t* chars, uint32_t length) {
    platform_t& p = platform();
    lock_t lock(p.mutex);
    if (chars != nullptr) {
        p.faults.raw_list.assign(chars, chars + length);
    } else {
        p.faults.raw_list.assign(length, L'\0');
    }
    p.faults.raw_for_size = true;
    p.faults.raw_for_fetch = true;
}

extern "C" VLSIM_API void vlsim_set_request_status(uint32_t fn, int32_t status) {
    if (fn >= VLB_REQUEST_COUNT) {
        return;
    }
    platform_t& p = platform();
    lock_t lock(p.mutex);
    p.faults.requests[fn].status_mode = status_switch_t::without_payload;
    p.faults.requests[fn].status = status;
}

extern "C" VLSIM_API void vlsim_set_request_status_with_payload(uint32_t fn, int32_t status) {
    if (fn >= VLB_REQUEST_COUNT) {
        return;
    }
    platform_t& p = platform();
    lock_t lock(p.mutex);
    p.faults.requests[fn].status_mode = status_switch_t::with_payload;
    p.faults.requests[fn].status = status;
}

extern "C" VLSIM_API void vlsim_set_request_reply_length(uint32_t fn, uint32_t n) {
    if (fn >= VLB_REQUEST_COUNT) {
        return;
    }
    platform_t& p = platform();
    lock_t lock(p.mutex);
    p.faults.requests[fn].reply_length = n;
}

extern "C" VLSIM_API void vlsim_clear_request_faults(uint32_t fn) {
    if (fn >= VLB_REQUEST_COUNT) {
        return;
    }
    platform_t& p = platform();
    lock_t lock(p.mutex);
    p.faults.requests[fn] = request_switches_t{};
}

extern "C" VLSIM_API void vlsim_clear_faults(void) {
    platform_t& p = platform();
    lock_t lock(p.mutex);
    p.faults = faults_t{};
}
