#include "replay.h"

#include <velnor_trace_format.h>

namespace velnor::sim {
namespace {

/* The longest interface list (characters) a size record may give when no
 * fetch of the same thread follows it: more than any machine's boards make,
 * and little to allocate. */
constexpr std::uint32_t unfetched_list_limit = 65536;

/* A time stamp more than this after the first record's is damage. */
constexpr std::uint64_t time_stamp_limit_ns = 365ull * 24 * 3600 * 1000000000ull;

bool is_list_call(const trace_record_t& record) {
    return record.kind == VLTR_LIST_SIZE || record.kind == VLTR_LIST_FETCH;
}

/* The list size a successful size record hands out must be the buffer length
 * of the fetch the same thread made next: the recording library fetches
 * into exactly that many characters. */
std::string check_list_sizes(const trace_t& trace) {
    const auto& records = trace.records;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const trace_record_t& size = records[i];
        if (size.kind != VLTR_LIST_SIZE || size.result != 0 ||
            (size.flags & VLTR_FLAG_FIRST_NULL) != 0) {
            continue;
        }
        const trace_record_t* fetch = nullptr;
        for (std::size_t j = i + 1; j < records.size() && fetch == nullptr; ++j) {
            if (records[j].thread == size.thread && is_list_call(records[j])) {
                fetch = &records[j];
            }
        }
        const std::string head = "record " + std::to_string(size.sequence) + "'s list size (" +
                                 std::to_string(size.p[1]) + " characters)";
        if (fetch != nullptr && fetch->kind == VLTR_LIST_FETCH) {
            if (fetch->p[1] != size.p[1]) {
                return head + " does not agree with the fetch recorded after it (record " +
                       std::to_string(fetch->sequence) + ", " + std::to_string(fetch->p[1]) +
                       " characters)";
            }
        } else if (size.p[1] > unfetched_list_limit) {
            return head + " is larger than any list and no fetch of it is recorded";
        }
    }
    return "";
}

/* Ends the trace at a time stamp more than a year after the first record's
 * (damage: pacing would wait for it). One that runs backwards is paced as
 * the one before it, at once. */
void check_time_stamps(trace_t& trace) {
    if (trace.records.empty()) {
        return;
    }
    const std::uint64_t first = trace.records.front().time_ns;
    for (std::size_t i = 1; i < trace.records.size(); ++i) {
        const std::uint64_t time = trace.records[i].time_ns;
        if (time > first && time - first > time_stamp_limit_ns) {
            trace.damage = "record " + std::to_string(trace.records[i].sequence) +
                           "'s time stamp lies more than a year after the first record's";
            trace.cut_short = false;
            trace.records.resize(i);
            return;
        }
    }
}

} // namespace

std::string check_replayable(trace_t& trace) {
    check_time_stamps(trace);
    return check_list_sizes(trace);
}

} // namespace velnor::sim
