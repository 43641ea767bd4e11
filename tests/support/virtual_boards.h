// Boards on the virtual platform, shared by the library's suites and the
// benchmarks: a platform with a known number of default boards, and an open
// handle on the first that closes itself.
#pragma once

#include <velnor.h>

namespace velnor_test {

// Removes every board (and fault switch, and recorded request) and adds n
// with the default configuration.
void reset_boards(int n);

// An open handle on board 0 of a platform with one default board; closed
// on scope exit. Throws std::runtime_error when the board cannot be opened.
class open_board_t {
public:
    open_board_t();
    ~open_board_t();
    open_board_t(const open_board_t&) = delete;
    open_board_t& operator=(const open_board_t&) = delete;
    vl_device* get() const { return device_; }

private:
    vl_device* device_ = nullptr;
};

} // namespace velnor_test
