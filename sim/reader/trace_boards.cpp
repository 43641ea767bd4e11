#include "trace_boards.h"

#include <velnor_trace_format.h>

#include <algorithm>
#include <set>

namespace velnor::sim {
namespace {

using path_t = std::vector<std::uint8_t>;

/* The paths of a fetched list: UTF-16LE strings, each ended by a NUL, the
 * list by an empty one. */
std::vector<path_t> split_list(const std::vector<std::uint8_t>& utf16) {
    std::vector<path_t> paths;
    path_t path;
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
        if (utf16[i] == 0 && utf16[i + 1] == 0) {
            if (path.empty()) {
                break;
            }
            paths.push_back(std::move(path));
            path.clear();
        } else {
            path.push_back(utf16[i]);
            path.push_back(utf16[i + 1]);
        }
    }
    return paths;
}

} // namespace

std::vector<trace_board_t> trace_boards(const trace_t& trace) {
    std::vector<trace_board_t> listed;
    std::vector<trace_board_t> unlisted;
    std::vector<bool> seen(trace.interfaces.size(), false);
    std::set<std::uint32_t> taken;
    std::vector<path_t> listing;
    for (const trace_record_t& record : trace.records) {
        if (record.kind == VLTR_LIST_FETCH && record.result == 0 && !record.out.empty()) {
            listing = split_list(record.out);
        }
        if (record.kind != VLTR_CREATE_FILE ||
            record.interface_id == VLTR_CONFIGURATION_MANAGER_INTERFACE ||
            record.interface_id >= seen.size() || seen[record.interface_id]) {
            continue;
        }
        seen[record.interface_id] = true;
        trace_board_t board;
        board.interface_id = record.interface_id;
        board.path = record.in;
        const auto found = std::find(listing.begin(), listing.end(), record.in);
        const auto position = static_cast<std::uint32_t>(found - listing.begin());
        if (found != listing.end() && taken.insert(position).second) {
            board.number = position;
            listed.push_back(std::move(board));
        } else {
            unlisted.push_back(std::move(board));
        }
    }
    std::uint32_t next = taken.empty() ? 0 : *taken.rbegin() + 1;
    for (trace_board_t& board : unlisted) {
        board.number = next++;
        listed.push_back(std::move(board));
    }
    std::sort(listed.begin(), listed.end(),
              [](const trace_board_t& a, const trace_board_t& b) { return a.number < b.number; });
    return listed;
}

std::vector<std::optional<std::uint32_t>> trace_board_numbers(const trace_t& trace) {
    std::vector<std::optional<std::uint32_t>> numbers(trace.interfaces.size());
    for (const trace_board_t& board : trace_boards(trace)) {
        numbers[board.interface_id] = board.number;
    }
    return numbers;
}

} // namespace velnor::sim
