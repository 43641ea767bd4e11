#include "replay.h"

#include <velnor_trace_format.h>

#include <cstdio>
#include <thread>

namespace velnor::sim {
namespace {

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

std::string path_text(const std::vector<std::uint8_t>& utf16) {
    std::string text;
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
        const auto unit = static_cast<unsigned>(utf16[i] | (utf16[i + 1] << 8));
        text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
    return text;
}

/* Input bytes in hex, the first 16 of them. */
std::string input_text(const std::vector<std::uint8_t>& in) {
    if (in.empty()) {
        return "without input";
    }
    std::string text = "input ";
    char digits[3];
    for (std::size_t i = 0; i < in.size() && i < 16; ++i) {
        std::snprintf(digits, sizeof digits, "%02x", in[i]);
        text += digits;
    }
    if (in.size() > 16) {
        text += "... (" + std::to_string(in.size()) + " bytes)";
    }
    return text;
}

/* A call or a record in short: what it was and what it carried. */
std::string describe(std::uint8_t kind, const std::uint32_t* p,
                     const std::vector<std::uint8_t>& in) {
    std::string text = trace_kind_name(kind);
    switch (kind) {
    case VLTR_IO_CONTROL:
        text += " " + hex(p[0]) + " " + input_text(in) + ", reply capacity " + std::to_string(p[2]);
        break;
    case VLTR_CREATE_FILE:
        text += " of " + path_text(in);
        break;
    case VLTR_LIST_FETCH:
        text += " into " + std::to_string(p[1]) + " characters";
        break;
    default:
        break;
    }
    return text;
}

std::string interface_name(const trace_t& trace, std::uint32_t id) {
    return id < trace.interfaces.size() ? trace.interfaces[id] : std::to_string(id);
}

bool matches(const trace_record_t& record, const replay_call_t& call) {
    if (record.kind != call.kind || record.flags != call.flags || record.in != call.in) {
        return false;
    }
    if ((call.kind == VLTR_CLOSE_HANDLE || call.kind == VLTR_IO_CONTROL) &&
        record.handle != call.handle) {
        return false;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        if (call.match_p[i] && record.p[i] != call.p[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

replay_t::replay_t(trace_t trace) : trace_(std::move(trace)) {
    queues_.resize(trace_.interfaces.size());
    cursors_.assign(trace_.interfaces.size(), 0);
    for (std::size_t i = 0; i < trace_.records.size(); ++i) {
        const trace_record_t& record = trace_.records[i];
        /* GetLastError is answered from the last error the replayed call left. */
        if (record.kind == VLTR_GET_LAST_ERROR) {
            continue;
        }
        queues_[record.interface_id].push_back(i);
        if (record.kind == VLTR_CREATE_FILE && record.interface_id != 0 &&
            interface_by_path_.emplace(record.in, record.interface_id).second) {
            board_paths_.push_back(record.in);
        }
    }
}

std::wstring replay_t::board_path(std::size_t i) const {
    std::wstring path;
    const std::vector<std::uint8_t>& utf16 = board_paths_.at(i);
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

std::uint32_t replay_t::interface_of(std::uint64_t handle) const {
    const auto found = handles_.find(handle);
    return found != handles_.end() ? found->second : VLTR_CONFIGURATION_MANAGER_INTERFACE;
}

std::uint32_t replay_t::interface_for(const replay_call_t& call) const {
    switch (call.kind) {
    case VLTR_CREATE_FILE: {
        const auto found = interface_by_path_.find(call.in);
        return found != interface_by_path_.end() ? found->second
                                                 : VLTR_CONFIGURATION_MANAGER_INTERFACE;
    }
    case VLTR_CLOSE_HANDLE:
    case VLTR_IO_CONTROL:
        return interface_of(call.handle);
    default:
        return VLTR_CONFIGURATION_MANAGER_INTERFACE;
    }
}

const trace_record_t* replay_t::next(const replay_call_t& call) {
    const std::uint32_t id = interface_for(call);
    const std::string came = describe(call.kind, call.p, call.in);
    const std::string board = interface_name(trace_, id);
    if (id >= queues_.size() || cursors_[id] >= queues_[id].size()) {
        diverge(board + ": the trace has no record left; came " + came);
        return nullptr;
    }
    const trace_record_t& record = trace_.records[queues_[id][cursors_[id]]];
    if (!matches(record, call)) {
        diverge(board + ": expected record " + std::to_string(record.sequence) + ", " +
                describe(record.kind, record.p, record.in) + "; came " + came);
        return nullptr;
    }
    ++cursors_[id];
    pace(record);
    return &record;
}

void replay_t::diverge(std::string text) {
    /* The first divergence is the cause; what follows it is its consequence. */
    if (divergence_.empty()) {
        divergence_ = std::move(text);
    }
}

void replay_t::pace(const trace_record_t& record) {
    const auto now = std::chrono::steady_clock::now();
    if (!started_) {
        started_ = true;
        start_ = now;
        first_time_ns_ = record.time_ns;
    }
    if (pacing_ && record.time_ns > first_time_ns_) {
        std::this_thread::sleep_until(start_ +
                                      std::chrono::nanoseconds(record.time_ns - first_time_ns_));
    }
}

} // namespace velnor::sim
