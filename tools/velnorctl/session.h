// The board a command works on: chosen by index or serial, opened on first
// use and kept open for the rest of the process (a whole shell session).
#pragma once

#include <velnor.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace velnorctl {

struct CloseBoard {
    void operator()(vl_device* handle) const noexcept { vl_device_close(handle); }
};
using BoardHandle = std::unique_ptr<vl_device, CloseBoard>;

// Opens the board at index; throws LibraryFailure.
BoardHandle open_board(size_t index);

struct Selection {
    std::optional<size_t> index; // --board; board 0 when neither is given
    std::optional<std::string> serial;
};

class Session {
public:
    // Chooses the board; takes effect at the next open.
    void select(Selection selection) { selection_ = std::move(selection); }

    // The selected board, opened on the first call. Throws LibraryFailure,
    // or ToolError (no_board) when no board has the selected serial.
    vl_device* board();
    size_t board_index();

private:
    void open_selected();

    Selection selection_;
    BoardHandle board_;
    size_t index_ = 0;
};

} // namespace velnorctl
