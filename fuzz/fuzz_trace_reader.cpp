// The trace reader and the replay over any bytes: a file cut anywhere, with
// any length, option or record field changed, is refused or read in part,
// never read out of bounds. Whatever is read is then replayed against calls
// made from its own records and from records of the wrong kind.
//
// Input: the bytes of a file given to vlsim_load_trace.
#include "replay.h"
#include "trace_reader.h"

#include <velnor_trace_format.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velnor::sim::trace_t trace;
    std::string error;
    if (!velnor::sim::read_trace(data, size, trace, error) ||
        !velnor::sim::check_replayable(trace).empty()) {
        return 0;
    }
    const std::vector<velnor::sim::trace_record_t> records = trace.records;
    velnor::sim::replay_t replay(std::move(trace));
    std::uint64_t fresh = 4;
    std::vector<std::uint64_t> given;
    for (const auto& record : records) {
        velnor::sim::replay_call_t call;
        call.kind = static_cast<std::uint8_t>(record.kind ^ (record.sequence & 1 ? 0 : 1));
        call.flags = record.flags;
        /* The handles the replay gave, in turn, and the recorded ones. */
        call.handle = !given.empty() && (record.sequence & 2) != 0
                          ? given[record.sequence % given.size()]
                          : record.handle;
        call.in = record.in;
        for (std::size_t i = 0; i < 4; ++i) {
            call.p[i] = record.p[i];
            call.match_p[i] = true;
        }
        velnor::sim::replay_deadline_t deadline;
        if (const auto* answer = replay.next(call, deadline)) {
            if (answer->kind == VLTR_CREATE_FILE && answer->result != 0) {
                given.push_back(replay.open_handle(*answer, fresh += 4));
            }
        }
    }
    return static_cast<int>(
        (replay.divergence().size() + replay.next_record_text().size() + replay.records_left()) &
        0);
}
