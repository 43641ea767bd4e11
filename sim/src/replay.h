/*
 * replay.h - the virtual platform answering from a trace: each board (an
 * interface of the trace) has its records in order, and every platform call
 * must match the next record of its board; the record then gives the call's
 * result, outputs and last error.
 */
#ifndef VELNOR_SIM_REPLAY_H
#define VELNOR_SIM_REPLAY_H

#include "trace_reader.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace velnor::sim {

/* What a call that leaves the trace answers: the configuration manager's
 * CR_FAILURE, or ERROR_NOT_SUPPORTED as the thread's last error. */
inline constexpr std::uint32_t replay_cr_failure = 0x13;
inline constexpr std::uint32_t replay_error = 50; /* ERROR_NOT_SUPPORTED */

/* One platform call as the replay sees it, for matching and for the
 * divergence text. */
struct replay_call_t {
    std::uint8_t kind = 0;
    std::uint8_t flags = 0;
    std::uint64_t handle = 0;
    std::uint32_t p[4] = {};
    bool match_p[4] = {};
    std::vector<std::uint8_t> in;
};

class replay_t {
public:
    explicit replay_t(trace_t trace);

    /* The record answering the call, or null when the call leaves the trace
     * (the divergence text then says why). Path: CreateFileW's path bytes. */
    const trace_record_t* next(const replay_call_t& call);

    /* The board (interface) of a handle the replay gave out; 0 when unknown. */
    std::uint32_t interface_of(std::uint64_t handle) const;
    void opened(std::uint64_t handle, std::uint32_t interface_id) {
        handles_[handle] = interface_id;
    }
    void closed(std::uint64_t handle) { handles_.erase(handle); }

    const std::string& divergence() const { return divergence_; }
    void set_pacing(bool on) { pacing_ = on; }

    /* The board paths (UTF-16LE) in the order the trace first opens them. */
    const std::vector<std::vector<std::uint8_t>>& board_paths() const { return board_paths_; }
    /* Board i's path as the platform's wide text (UTF-16 or UTF-32, as wchar_t is). */
    std::wstring board_path(std::size_t i) const;

private:
    std::uint32_t interface_for(const replay_call_t& call) const;
    void diverge(std::string text);
    void pace(const trace_record_t& record);

    trace_t trace_;
    std::vector<std::vector<std::size_t>> queues_; /* record indices per interface */
    std::vector<std::size_t> cursors_;
    std::map<std::vector<std::uint8_t>, std::uint32_t> interface_by_path_;
    std::vector<std::vector<std::uint8_t>> board_paths_;
    std::map<std::uint64_t, std::uint32_t> handles_;
    std::string divergence_;
    bool pacing_ = false;
    bool started_ = false;
    std::chrono::steady_clock::time_point start_{};
    std::uint64_t first_time_ns_ = 0;
};

} // namespace velnor::sim

#endif /* VELNOR_SIM_REPLAY_H */
