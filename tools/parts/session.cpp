#include "session.h"

#include "board_queries.h"
#include "errors.h"
#include "interface_paths.h"
#include "output.h"
#include "text_escape.h"

#include <sstream>

namespace velnorctl {

namespace {

// The interface paths for a message; blank when the system cannot list them.
std::vector<std::string> paths_for(size_t count) {
    std::vector<std::string> paths;
    try {
        paths = board_interface_paths();
    } catch (const tool_error_t&) {
    }
    paths.resize(std::max(paths.size(), count));
    return paths;
}

} // namespace

board_handle_t open_board(size_t index) {
    vl_device* handle = nullptr;
    VLCTL_CALL(vl_device_open, index, &handle);
    return board_handle_t(handle);
}

serial_search_t find_serial(const std::string& wanted) {
    size_t count = 0;
    VLCTL_CALL(vl_get_device_count, &count);
    serial_search_t search;
    board_handle_t match;
    for (size_t index = 0; index < count; ++index) {
        board_handle_t candidate = open_board(index);
        search.serials.push_back(read_serial(candidate.get()));
        if (search.serials.back() == wanted) {
            search.matches.push_back(index);
            match = std::move(candidate);
        }
    }
    if (search.matches.size() == 1) {
        search.match = std::move(match);
    }
    return search;
}

vl_device* session_t::board() {
    if (!board_) {
        open_selected();
    }
    return board_.get();
}

size_t session_t::board_index() {
    board();
    return index_;
}

void session_t::open_selected() {
    if (!selection_.serial) {
        index_ = selection_.index.value_or(0);
        board_ = open_board(index_);
        return;
    }
    const std::string& wanted = *selection_.serial;
    serial_search_t search = find_serial(wanted);
    if (search.matches.size() == 1) {
        index_ = search.matches.front();
        board_ = std::move(search.match);
        return;
    }
    const std::vector<std::string>& serials = search.serials;
    const std::vector<size_t>& matches = search.matches;
    const size_t count = serials.size();
    const std::vector<std::string> paths = paths_for(count);
    const std::string serial = "'" + printable(wanted) + "'";
    std::string message;
    if (matches.empty()) {
        message = "no board has the serial " + serial;
        message += count == 0 ? "; no boards are present" : "; the boards present:\n";
        std::vector<std::vector<std::string>> rows;
        for (size_t index = 0; index < count; ++index) {
            rows.push_back({"  board " + std::to_string(index), serials[index], paths[index]});
        }
        std::ostringstream table;
        print_table(table, rows);
        message += table.str();
        if (!message.empty() && message.back() == '\n') {
            message.pop_back();
        }
    } else {
        message = std::to_string(matches.size()) + " boards have the serial " + serial +
                  "; choose one with --board INDEX:";
        for (const size_t index : matches) {
            message += "\n  board " + std::to_string(index) + "  " + printable(paths[index]);
        }
    }
    throw tool_error_t(exit_code_t::no_board, message);
}

} // namespace velnorctl
