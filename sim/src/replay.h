/*
 * replay.h - the virtual platform answering from a trace. Calls are matched
 * per handle: the configuration manager's calls in their recorded order, an
 * open of a path against that path's next recorded open, and the calls on a
 * handle the replay gave out against the records of the recorded handle that
 * open gave, in order. Handles (and so threads that each have their own)
 * replay independently of one another. The record then gives the call's
 * result, outputs and last error.
 */
#ifndef VELNOR_SIM_REPLAY_H
#define VELNOR_SIM_REPLAY_H

#include "trace_boards.h"
#include "trace_reader.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
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

/* When a paced answer may return; none: at once. The caller sleeps until
 * then after it has let go of the platform's lock. */
using replay_deadline_t = std::optional<std::chrono::steady_clock::time_point>;

/* Sleeps until the deadline, if there is one. */
void wait_for(const replay_deadline_t& deadline);

/* Checks a trace before it is replayed: the refusal text, or empty. A list
 * size that does not agree with the fetch recorded after it is refused; a
 * time stamp that runs backwards or lies more than a year after the first
 * record's ends the trace there, as damage. */
std::string check_replayable(trace_t& trace);

class replay_t {
public:
    explicit replay_t(trace_t trace);

    /* The record answering the call, or null when the call leaves the trace
     * (the divergence text then says why). With pacing on, deadline is when
     * the answer may return. A successful open's record gives the handle in
     * `handle`, the value the caller gets. */
    const trace_record_t* next(const replay_call_t& call, replay_deadline_t& deadline);

    /* The value the replay gives for a record's successful open: a fresh
     * value, its calls then matched against that record's handle. */
    std::uint64_t open_handle(const trace_record_t& record, std::uint64_t fresh);

    const std::string& divergence() const { return divergence_; }
    void set_pacing(bool on) { pacing_ = on; }

    /* Records not replayed yet (GetLastError's are not counted: they are
     * answered from the last error), and the first of them in file order in
     * the words of `trace show`; empty when none is left. */
    std::size_t records_left() const { return left_; }
    std::string next_record_text() const;

    /* The trace's boards, by their number (velnor::sim::trace_boards). */
    const std::vector<trace_board_t>& boards() const { return boards_; }
    /* A board's path as the platform's wide text (UTF-16 or UTF-32, as wchar_t is). */
    static std::wstring wide_path(const std::vector<std::uint8_t>& utf16);

private:
    struct queue_t {
        std::vector<std::size_t> records; /* indices into trace_.records, in file order */
        std::size_t cursor = 0;
        std::uint32_t thread = 0;       /* the thread that opened the handle; 0: none */
        std::uint32_t interface_id = 0; /* the board the handle is on */
    };

    queue_t* queue_for(const replay_call_t& call, std::string& where);
    void consume(std::size_t index);
    /* Why a call found no record: the records ran out, or the trace's damage. */
    std::string ran_out(bool had_records) const;
    void diverge(std::string text);
    replay_deadline_t pace(const trace_record_t& record);
    std::string board_words(std::uint32_t interface_id) const;

    trace_t trace_;
    std::vector<trace_board_t> boards_;
    std::vector<std::optional<std::uint32_t>> board_numbers_; /* by interface */
    queue_t configuration_manager_;
    std::map<std::vector<std::uint8_t>, queue_t> opens_; /* by path */
    std::vector<queue_t> sessions_;                      /* one per successful open */
    std::map<std::size_t, std::size_t> session_of_open_; /* open record -> session */
    std::map<std::uint64_t, queue_t> strays_;            /* handles no recorded open gave */
    std::map<std::uint64_t, std::size_t> live_;          /* handle given out -> session */
    std::vector<bool> consumed_;
    std::size_t first_left_ = 0;
    std::size_t left_ = 0;
    std::string divergence_;
    bool pacing_ = false;
    bool started_ = false;
    std::chrono::steady_clock::time_point start_{};
    std::uint64_t first_time_ns_ = 0;
};

} // namespace velnor::sim

#endif /* VELNOR_SIM_REPLAY_H */
