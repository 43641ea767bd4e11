#include "support/virtual_boards.h"

#include <velnor_sim.h>

#include <stdexcept>

namespace velnor_test {

void reset_boards(int n) {
    vlsim_reset();
    for (int i = 0; i < n; ++i) {
        vlsim_add_board(nullptr);
    }
}

open_board_t::open_board_t() {
    reset_boards(1);
    if (vl_device_open(0, &device_) != VL_RC_SUCCESS) {
        throw std::runtime_error("cannot open the virtual board");
    }
}

open_board_t::~open_board_t() {
    vl_device_close(device_);
}

} // namespace velnor_test
