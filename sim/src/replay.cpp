#include "replay.h"

#include "trace_words.h"

#include <velnor_trace_format.h>

#include <thread>

namespace velnor::sim {
namespace {

/* How far apart two paced answers may be: check_replayable ends a trace at a
 * time stamp past it, and pacing never waits longer. */
constexpr std::uint64_t pace_limit_ns = 366ull * 24 * 3600 * 1000000000ull;

bool matches(const trace_record_t& record, const replay_call_t& call) {
    if (record.kind != call.kind || record.flags != call.flags || record.in != call.in) {
        return false;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        if (call.match_p[i] && record.p[i] != call.p[i]) {
            return false;
        }
    }
    return true;
}

bool on_handle(std::uint32_t kind) {
    return kind == VLTR_CLOSE_HANDLE || kind == VLTR_IO_CONTROL;
}

} // namespace

void wait_for(const replay_deadline_t& deadline) {
    if (deadline) {
        std::this_thread::sleep_until(*deadline);
    }
}

replay_t::replay_t(trace_t trace)
    : trace_(std::move(trace)), boards_(trace_boards(trace_)),
      board_numbers_(trace_board_numbers(trace_)), consumed_(trace_.records.size(), false) {
    /* The handle each open gave, while its close is not recorded yet:
     * (interface, handle) -> session. */
    std::map<std::pair<std::uint32_t, std::uint64_t>, std::size_t> open;
    for (std::size_t i = 0; i < trace_.records.size(); ++i) {
        const trace_record_t& record = trace_.records[i];
        /* GetLastError is answered from the last error the replayed call left. */
        if (record.kind == VLTR_GET_LAST_ERROR) {
            consumed_[i] = true;
            continue;
        }
        ++left_;
        const bool on_board = record.interface_id != VLTR_CONFIGURATION_MANAGER_INTERFACE;
        if (record.kind == VLTR_CREATE_FILE && on_board) {
            opens_[record.in].records.push_back(i);
            if (record.result != 0) {
                session_of_open_[i] = sessions_.size();
                open[{record.interface_id, record.handle}] = sessions_.size();
                sessions_.push_back(queue_t{{}, 0, record.thread, record.interface_id});
            }
        } else if (on_handle(record.kind)) {
            const auto found = open.find({record.interface_id, record.handle});
            if (!on_board || found == open.end()) {
                strays_[record.handle].records.push_back(i);
                continue;
            }
            sessions_[found->second].records.push_back(i);
            if (record.kind == VLTR_CLOSE_HANDLE && record.result != 0) {
                open.erase(found);
            }
        } else {
            configuration_manager_.records.push_back(i);
        }
    }
    while (first_left_ < consumed_.size() && consumed_[first_left_]) {
        ++first_left_;
    }
}

std::wstring replay_t::wide_path(const std::vector<std::uint8_t>& utf16) {
    std::wstring path;
    for (std::size_t at = 0; at + 1 < utf16.size(); at += 2) {
        std::uint32_t unit = static_cast<std::uint32_t>(utf16[at] | (utf16[at + 1] << 8));
        /* A surrogate pair is one character where wchar_t holds every code point. */
        if (sizeof(wchar_t) == 4 && unit >= 0xD800 && unit < 0xDC00 && at + 3 < utf16.size()) {
            const auto low = static_cast<std::uint32_t>(utf16[at + 2] | (utf16[at + 3] << 8));
            if (low >= 0xDC00 && low < 0xE000) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                at += 2;
            }
        }
        path.push_back(static_cast<wchar_t>(unit));
    }
    return path;
}

std::string replay_t::board_words(std::uint32_t interface_id) const {
    if (interface_id < board_numbers_.size() && board_numbers_[interface_id]) {
        return "board " + std::to_string(*board_numbers_[interface_id]);
    }
    return VLTR_CONFIGURATION_MANAGER_NAME;
}

replay_t::queue_t* replay_t::queue_for(const replay_call_t& call, std::string& where) {
    if (call.kind == VLTR_CREATE_FILE && (call.flags & VLTR_FLAG_FIRST_NULL) == 0) {
        const auto found = opens_.find(call.in);
        if (found == opens_.end()) {
            where = "no board";
            return nullptr;
        }
        where = board_words(trace_.records[found->second.records.front()].interface_id);
        return &found->second;
    }
    if (on_handle(call.kind)) {
        if (const auto live = live_.find(call.handle); live != live_.end()) {
            queue_t& session = sessions_[live->second];
            where = board_words(session.interface_id) + ", handle of thread " +
                    std::to_string(session.thread);
            return &session;
        }
        where = "handle " + trace_hex(call.handle) + " (no recorded open gave it)";
        const auto stray = strays_.find(call.handle);
        return stray != strays_.end() ? &stray->second : nullptr;
    }
    where = VLTR_CONFIGURATION_MANAGER_NAME;
    return &configuration_manager_;
}

const trace_record_t* replay_t::next(const replay_call_t& call, replay_deadline_t& deadline) {
    deadline.reset();
    std::string where;
    queue_t* queue = queue_for(call, where);
    const std::string came = trace_call_words(call.kind, call.p, call.in);
    if (queue == nullptr || queue->cursor >= queue->records.size()) {
        diverge(where + ": " + ran_out(queue != nullptr) + "; came " + came);
        return nullptr;
    }
    const std::size_t index = queue->records[queue->cursor];
    const trace_record_t& record = trace_.records[index];
    if (!matches(record, call)) {
        diverge(where + ": expected record " + std::to_string(record.sequence) + ", " +
                trace_call_words(record.kind, record.p, record.in) + "; came " + came);
        return nullptr;
    }
    ++queue->cursor;
    consume(index);
    if (record.kind == VLTR_CLOSE_HANDLE && record.result != 0) {
        live_.erase(call.handle);
    }
    deadline = pace(record);
    return &record;
}

std::string replay_t::ran_out(bool had_records) const {
    if (trace_.damage.empty()) {
        return had_records ? "the trace has no record left" : "the trace has no record of it";
    }
    return (trace_.records.empty() ? std::string("the trace is damaged before its first record")
                                   : "the trace is damaged after record " +
                                         std::to_string(trace_.records.back().sequence)) +
           ": " + trace_.damage;
}

std::uint64_t replay_t::open_handle(const trace_record_t& record, std::uint64_t fresh) {
    const auto index = static_cast<std::size_t>(&record - trace_.records.data());
    const auto session = session_of_open_.find(index);
    if (session != session_of_open_.end()) {
        live_[fresh] = session->second;
    }
    return fresh;
}

void replay_t::consume(std::size_t index) {
    consumed_[index] = true;
    --left_;
    while (first_left_ < consumed_.size() && consumed_[first_left_]) {
        ++first_left_;
    }
}

std::string replay_t::next_record_text() const {
    if (first_left_ >= trace_.records.size()) {
        return "";
    }
    const trace_record_t& record = trace_.records[first_left_];
    return "record " + std::to_string(record.sequence) + ", " +
           trace_call_words(record.kind, record.p, record.in) + " (" +
           board_words(record.interface_id) + ", thread " + std::to_string(record.thread) + ")";
}

void replay_t::diverge(std::string text) {
    /* The first divergence is the cause; what follows it is its consequence. */
    if (divergence_.empty()) {
        divergence_ = std::move(text);
    }
}

replay_deadline_t replay_t::pace(const trace_record_t& record) {
    const auto now = std::chrono::steady_clock::now();
    if (!started_) {
        started_ = true;
        start_ = now;
        first_time_ns_ = record.time_ns;
    }
    /* A time stamp before the first answer's is paced as that one (at once). */
    if (!pacing_ || record.time_ns <= first_time_ns_) {
        return std::nullopt;
    }
    const std::uint64_t after = record.time_ns - first_time_ns_;
    return start_ + std::chrono::nanoseconds(after < pace_limit_ns ? after : pace_limit_ns);
}

} // namespace velnor::sim
