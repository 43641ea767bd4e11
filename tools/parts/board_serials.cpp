#include "board_serials.h"

#include "board_queries.h"
#include "errors.h"
#include "interface_paths.h"
#include "session.h"

#include <algorithm>
#include <iostream>
#include <vector>

namespace velnorctl {

namespace {

// The library opens boards by index: the index is the path's place in the
// list, and the list is read again once the board is open, so that a board
// that came or went in between can never lend its serial to another path.
std::optional<std::string> read_serial_at(const std::string& path) {
    const std::vector<std::string> before = board_interface_paths();
    const auto found = std::find(before.begin(), before.end(), path);
    if (found == before.end()) {
        return std::nullopt;
    }
    const auto index = static_cast<size_t>(found - before.begin());
    try {
        const board_handle_t board = open_board(index);
        const std::vector<std::string> after = board_interface_paths();
        if (index >= after.size() || after[index] != path) {
            return std::nullopt;
        }
        return read_serial(board.get());
    } catch (const library_failure_t&) {
        return std::nullopt; // gone again; the library's log has the detail
    }
}

} // namespace

std::optional<std::string> board_serials_t::arrived(const std::string& path) {
    std::optional<std::string> serial;
    try {
        serial = read_serial_at(path);
    } catch (const tool_error_t& error) {
        if (!listing_failed_) {
            std::cerr << program_name() << ": warning: " << error.what()
                      << "; the boards' serials are not shown\n";
        }
        listing_failed_ = true;
    }
    if (serial) {
        known_[path] = *serial;
    } else {
        known_.erase(path);
    }
    return serial;
}

std::optional<std::string> board_serials_t::removed(const std::string& path) {
    const auto found = known_.find(path);
    if (found == known_.end()) {
        return std::nullopt;
    }
    std::string serial = std::move(found->second);
    known_.erase(found);
    return serial;
}

} // namespace velnorctl
