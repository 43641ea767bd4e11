// trace_session RESULTS: runs the end-to-end trace session on the boards the
// library finds and writes its results to RESULTS. Run beside the recording
// Velnor.dll, it leaves the session's trace in the temporary directory.
#include "trace_session.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: trace_session RESULTS\n");
        return 2;
    }
    if (!velnor_e2e::write_results(argv[1], velnor_e2e::run_trace_session())) {
        std::fprintf(stderr, "trace_session: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
