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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velnor::sim::trace_t trace;
    std::string error;
    if (!velnor::sim::read_trace(data, size, trace, error)) {
        return 0;
    }
    const std::vector<velnor::sim::trace_record_t> records = trace.records;
    velnor::sim::replay_t replay(std::move(trace));
    for (const auto& record : records) {
        velnor::sim::replay_call_t call;
        call.kind = static_cast<std::uint8_t>(record.kind ^ (record.sequence & 1 ? 0 : 1));
        call.flags = record.flags;
        call.handle = record.handle;
        call.in = record.in;
        for (std::size_t i = 0; i < 4; ++i) {
            call.p[i] = record.p[i];
            call.match_p[i] = true;
        }
        if (const auto* answer = replay.next(call)) {
            if (answer->kind == VLTR_CREATE_FILE && answer->result != 0) {
                replay.opened(answer->handle, answer->interface_id);
            } else if (answer->kind == VLTR_CLOSE_HANDLE) {
                replay.closed(answer->handle);
            }
        }
    }
    return static_cast<int>(replay.divergence().size() & 0);
}
