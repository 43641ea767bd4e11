// The board a command works on: chosen by index or serial, opened on first
// use and kept open for the rest of the process (a whole shell session).
#pragma once

#include <velnor.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velnorctl {

struct close_board_t {
    void operator()(vl_device* handle) const noexcept { vl_device_close(handle); }
};
using board_handle_t = std::unique_ptr<vl_device, close_board_t>;

// Opens the board at index; throws library_failure_t.
board_handle_t open_board(size_t index);

// Every board present opened in turn and its serial read: the boards whose
// serial is wanted, and the one opened when there is exactly one (it stays
// open, so it cannot turn into another board between the look and the use).
// Throws library_failure_t.
struct serial_search_t {
    std::vector<std::string> serials; // of every board present, by index
    std::vector<size_t> matches;      // the indexes whose serial is wanted
    board_handle_t match;             // open when matches has exactly one index
};
serial_search_t find_serial(const std::string& wanted);

struct selection_t {
    std::optional<size_t> index; // --board; board 0 when neither is given
    std::optional<std::string> serial;
};

class session_t {
public:
    // Chooses the board; takes effect at the next open.
    void select(selection_t selection) { selection_ = std::move(selection); }

    // The selected board, opened on the first call. Throws library_failure_t,
    // or tool_error_t (no_board) when no board or several boards have the
    // selected serial; the message lists the boards.
    vl_device* board();
    size_t board_index();

    // A pause after each request of a firmware update (virtual builds, so
    // that an interruption can be tried while the update runs).
    std::chrono::milliseconds update_pace{0};

private:
    void open_selected();

    selection_t selection_;
    board_handle_t board_;
    size_t index_ = 0;
};

} // namespace velnorctl
