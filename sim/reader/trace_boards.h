/*
 * trace_boards.h - the boards of a trace, numbered as the recorded program
 * numbered them: a board's number is its path's position in the interface
 * list (the last CM_Get_Device_Interface_ListW that succeeded before the
 * path's first open, split on its NULs). Paths that no such list named
 * follow the highest listed number, in the order the trace first opens them.
 * `trace show` and the replay's boards both take their numbers from here.
 */
#ifndef VELNOR_SIM_TRACE_BOARDS_H
#define VELNOR_SIM_TRACE_BOARDS_H

#include "trace_reader.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace velnor::sim {

struct trace_board_t {
    std::uint32_t number = 0;       /* the recorded program's index of the board */
    std::uint32_t interface_id = 0; /* the trace's interface of its path */
    std::vector<std::uint8_t> path; /* UTF-16LE, as CreateFileW was given it */
};

/* The boards, by number; each path (interface) once. */
std::vector<trace_board_t> trace_boards(const trace_t& trace);

/* The board number of each interface, by interface id; none for the
 * configuration manager's. */
std::vector<std::optional<std::uint32_t>> trace_board_numbers(const trace_t& trace);

} // namespace velnor::sim

#endif /* VELNOR_SIM_TRACE_BOARDS_H */
