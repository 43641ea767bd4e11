#include "platform_state.h"
#include "trace_file.h"

#include <memory>

using namespace velnor::sim;

extern "C" VLSIM_API int vlsim_load_trace(const char* path) {
    std::string error;
    trace_t trace;
    const bool loaded = path != nullptr &&
                        load_trace_file(path, trace, error) == trace_load_t::loaded &&
                        (error = check_replayable(trace)).empty();
    platform_t& p = platform();
    std::lock_guard<std::mutex> lock(p.mutex);
    if (!loaded) {
        p.trace_refusal = std::string("trace ") + (path != nullptr ? path : "(null)") +
                          " refused: " + (path != nullptr ? error : "no path");
        return -1;
    }
    const bool pacing = p.trace_pacing;
    p.reset();
    p.trace_pacing = pacing;
    p.trace_refusal.clear();
    p.replay = std::make_unique<replay_t>(std::move(trace));
    p.replay->set_pacing(pacing);
    for (const trace_board_t& board : p.replay->boards()) {
        p.notify(VLSIM_BOARD_ARRIVED, replay_t::wide_path(board.path));
    }
    return 0;
}

extern "C" VLSIM_API const char* vlsim_trace_divergence(void) {
    thread_local std::string copy;
    platform_t& p = platform();
    std::lock_guard<std::mutex> lock(p.mutex);
    /* A refusal is the news until the next load or reset, even over a replay
     * that goes on. */
    copy = !p.trace_refusal.empty() ? p.trace_refusal
           : p.replay               ? p.replay->divergence()
                                    : std::string();
    return copy.c_str();
}

extern "C" VLSIM_API int64_t vlsim_trace_records_left(void) {
    platform_t& p = platform();
    std::lock_guard<std::mutex> lock(p.mutex);
    return p.replay ? static_cast<int64_t>(p.replay->records_left()) : -1;
}

extern "C" VLSIM_API const char* vlsim_trace_next_record(void) {
    thread_local std::string copy;
    platform_t& p = platform();
    std::lock_guard<std::mutex> lock(p.mutex);
    copy = p.replay ? p.replay->next_record_text() : std::string();
    return copy.c_str();
}

extern "C" VLSIM_API void vlsim_set_trace_pacing(int on) {
    platform_t& p = platform();
    std::lock_guard<std::mutex> lock(p.mutex);
    p.trace_pacing = on != 0;
    if (p.replay) {
        p.replay->set_pacing(p.trace_pacing);
    }
}
