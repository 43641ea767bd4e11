// trace_session_replay TRACE RESULTS: the virtual platform replays TRACE, the
// end-to-end trace session runs against it and its results go to RESULTS.
// Exit status 0 when the session stayed on the trace to its end, 1 when it
// left it (the divergence on standard error) or ended with records of it
// left, 2 for a refused trace.
#include "trace_session.h"

#include <velnor_sim.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: trace_session_replay TRACE RESULTS\n");
        return 2;
    }
    if (vlsim_load_trace(argv[1]) != 0) {
        std::fprintf(stderr, "trace_session_replay: %s\n", vlsim_trace_divergence());
        return 2;
    }
    const std::string results = velnor_e2e::run_trace_session();
    if (!velnor_e2e::write_results(argv[2], results)) {
        std::fprintf(stderr, "trace_session_replay: cannot write %s\n", argv[2]);
        return 1;
    }
    const std::string divergence = vlsim_trace_divergence();
    if (!divergence.empty()) {
        std::fprintf(stderr, "trace_session_replay: the session left the trace: %s\n",
                     divergence.c_str());
        return 1;
    }
    // On track is not enough: the session must have replayed the trace whole.
    const long long left = vlsim_trace_records_left();
    if (left != 0) {
        std::fprintf(stderr,
                     "trace_session_replay: the session ended with %lld records left; "
                     "the next is %s\n",
                     left, vlsim_trace_next_record());
        return 1;
    }
    return 0;
}
