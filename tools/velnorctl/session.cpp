#include "session.h"

#include "board_queries.h"
#include "errors.h"

namespace velnorctl {

board_handle_t open_board(size_t index) {
    vl_device* handle = nullptr;
    VLCTL_CALL(vl_device_open, index, &handle);
    return board_handle_t(handle);
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
    size_t count = 0;
    VLCTL_CALL(vl_get_device_count, &count);
    for (size_t index = 0; index < count; ++index) {
        board_handle_t candidate = open_board(index);
        if (read_serial(candidate.get()) == *selection_.serial) {
            index_ = index;
            board_ = std::move(candidate);
            return;
        }
    }
    throw tool_error_t(exit_code_t::no_board, "no board with serial '" + *selection_.serial +
                                                  "' (" + std::to_string(count) + " present)");
}

} // namespace velnorctl
