// versions_and_clock.cpp - the same tour in C++: a small RAII owner for the
// board handle, the versions of every board, a clock that is accepted and
// one that is refused.
#include <velnor.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

struct CloseBoard {
    void operator()(vl_device* board) const noexcept { vl_device_close(board); }
};
using Board = std::unique_ptr<vl_device, CloseBoard>;

void check(vl_rc rc, const char* what) {
    if (rc != VL_RC_SUCCESS) {
        throw std::runtime_error(std::string(what) + " failed with " + std::to_string(rc));
    }
}

Board open_board(size_t index) {
    vl_device* board = nullptr;
    check(vl_device_open(index, &board), "vl_device_open");
    return Board(board);
}

std::string text_of(const vl_version& version) {
    const std::string text(version.text, sizeof version.text);
    return text.substr(0, text.find('\0'));
}

vl_rc set_clock(vl_device* board, int64_t hertz) {
    vl_clock clock{};
    clock.mode = VL_CLOCK_MODE_INTERNAL;
    clock.frequency_hz = hertz;
    return vl_device_set_clock(board, &clock);
}

} // namespace

int main() {
    try {
        size_t count = 0;
        check(vl_get_device_count(&count), "vl_get_device_count");
        std::cout << count << " board(s)\n";
        for (size_t i = 0; i < count; ++i) {
            const Board board = open_board(i);
            vl_version firmware{};
            check(vl_device_get_firmware_version(board.get(), &firmware),
                  "vl_device_get_firmware_version");
            std::cout << "board " << i << ": firmware " << text_of(firmware) << '\n';
        }
        if (count == 0) {
            return 0;
        }
        const Board board = open_board(0);
        check(set_clock(board.get(), 250000000), "vl_device_set_clock");
        vl_clock clock{};
        check(vl_device_get_clock(board.get(), &clock), "vl_device_get_clock");
        std::cout << "clock now " << clock.frequency_hz << " Hz\n";
        if (set_clock(board.get(), 800000000) != VL_RC_INVALID_FREQUENCY) {
            std::cerr << "800 MHz should have been refused\n";
            return 1;
        }
        std::cout << "800000000 Hz refused: the board cannot produce it\n";
        return 0;
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
}
