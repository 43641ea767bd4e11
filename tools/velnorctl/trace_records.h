// A trace's records in the words of `velnorctl trace show`: the call, the
// board, the request by the board protocol's name, the input in short and
// the result (a driver's status word by the library's result names). The
// words are the trace reader's (trace_words.h), which the replay's
// divergence texts use too.
#pragma once

#include "output.h"

#include <trace_reader.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velnorctl {

struct record_view_t {
    std::string call;                     // "DeviceIoControl", ...
    std::optional<uint32_t> board;        // the trace's board; none: the configuration manager
    std::optional<std::string> request;   // "set_led", or the control code in hex
    std::optional<uint32_t> control_code; // DeviceIoControl's
    std::string input;                    // "blink", "0x230 = 0x55", "-" when none
    std::string result;                   // "success (0)", "CR_SUCCESS, 61 characters", ...
    std::optional<int32_t> status;        // the reply's status word
};

// board_numbers: velnor::sim::trace_board_numbers of the record's trace.
record_view_t view_record(const velnor::sim::trace_record_t& record,
                          const std::vector<std::optional<uint32_t>>& board_numbers);

// The table's rows (a header, then one per record) and the JSON document of
// a whole trace. Times are since the first record.
std::vector<std::vector<std::string>> trace_rows(const velnor::sim::trace_t& trace);
json_t trace_json(const std::string& file, const velnor::sim::trace_t& trace);

// "board 0  PATH" lines naming the trace's boards by the recorded program's
// index (velnor::sim::trace_boards).
std::vector<std::string> trace_board_lines(const velnor::sim::trace_t& trace);

} // namespace velnorctl
