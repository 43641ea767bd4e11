// The watcher's OS seam: the system's notifications of the board interface
// class arriving and leaving. One backend registers a message-only window
// for Windows' device notifications, the other a listener of the virtual
// platform; the choice is made when the watcher is built. Nothing above this
// header knows which.
#pragma once

#include <memory>
#include <string>

namespace velnor::watch {

enum class board_change_t {
    present, // present when the source started
    arrived,
    removed
};

// Told of each change, in the order the system reported them, with the
// interface path in UTF-8 as the board list spells it. Called on the
// source's own thread or on the thread that changed the boards, one call at
// a time, never after the source is gone.
class change_sink_t {
public:
    virtual void board_changed(board_change_t change, const std::string& path) noexcept = 0;

protected:
    ~change_sink_t() = default;
};

// A registration. Destroying it ends the notifications: when the destructor
// returns, the sink is not being called and never will be again.
class board_source_t {
public:
    virtual ~board_source_t() = default;
};

// Registers for the board interface class and reports every board present
// as board_change_t::present before it returns; no change falls between the
// list and the registration without being reported. Throws
// velnor::system_failure_t naming the call the system refused.
std::unique_ptr<board_source_t> start_board_source(change_sink_t& sink);

} // namespace velnor::watch
