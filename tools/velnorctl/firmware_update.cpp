#include "firmware_update.h"

#include "board_queries.h"
#include "board_values.h"
#include "errors.h"
#include "output.h"
#include <velnor.h>
#include <velnor_board_protocol.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <iostream>
#include <sstream>
#include <thread>

namespace velnorctl {

namespace {

std::string seconds(std::chrono::milliseconds duration) {
    std::ostringstream text;
    text << static_cast<double>(duration.count()) / 1000.0 << " s";
    return text.str();
}

uint32_t poll_state(vl_device* board) {
    uint32_t state = 0;
    uint32_t received = 0;
    VLCTL_CALL(vl_device_update_get_status, board, &state, &received);
    return state;
}

// Polls until the board leaves the given state (or, for an erase, reaches
// ready) and returns the state it reached.
uint32_t wait_while(vl_device* board, uint32_t waiting_state, const update_options_t& options,
                    const char* activity) {
    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    for (;;) {
        const uint32_t state = poll_state(board);
        const bool still_waiting = waiting_state == VL_UPDATE_ERASING
                                       ? state != VL_UPDATE_READY && state != VL_UPDATE_FAILED
                                       : state == waiting_state;
        if (!still_waiting) {
            return state;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            throw tool_error_t(exit_code_t::update, "timed out after " + seconds(options.timeout) +
                                                        " waiting for the board to finish " +
                                                        activity + " (update state " +
                                                        name_of(state, update_state_names()) + ")");
        }
        std::this_thread::sleep_for(options.poll_interval);
    }
}

void send_blocks(vl_device* board, const std::vector<uint8_t>& image, progress_t& progress) {
    std::array<uint8_t, VL_UPDATE_BLOCK_SIZE> block{};
    for (size_t offset = 0; offset < image.size();) {
        const auto length =
            static_cast<uint32_t>(std::min<size_t>(VLB_BLOCK_DATA_MAX, image.size() - offset));
        block.fill(0);
        for (int i = 0; i < 4; ++i) {
            block[static_cast<size_t>(i)] = static_cast<uint8_t>(offset >> (8 * i));
            block[static_cast<size_t>(4 + i)] = static_cast<uint8_t>(length >> (8 * i));
        }
        std::memcpy(block.data() + 8, image.data() + offset, length);
        VLCTL_CALL(vl_device_update_write, board, block.data());
        offset += length;
        progress.update(offset);
    }
}

bool same_version(const vl_version& reported, const image_version_t& expected) {
    return reported.major == expected.major && reported.minor == expected.minor &&
           reported.patch == expected.patch && version_text(reported) == expected.text;
}

} // namespace

vl_version update_firmware(vl_device* board, const std::vector<uint8_t>& image,
                           const image_info_t& info, const update_options_t& options,
                           std::ostream& out) {
    progress_t progress(out, options.terminal, image.size());
    VLCTL_CALL(vl_device_update_start_async, board);
    try {
        out << "erasing..." << std::endl;
        if (wait_while(board, VL_UPDATE_ERASING, options, "erasing") != VL_UPDATE_READY) {
            throw tool_error_t(exit_code_t::update,
                               "the board reports the update failed while erasing");
        }
        send_blocks(board, image, progress);
        progress.finish();
        out << "verifying..." << std::endl;
        VLCTL_CALL(vl_device_update_complete, board);
        const uint32_t state = wait_while(board, VL_UPDATE_VERIFYING, options, "verifying");
        if (state != VL_UPDATE_DONE) {
            throw tool_error_t(exit_code_t::update, "the board ended the update in state " +
                                                        name_of(state, update_state_names()));
        }
    } catch (...) {
        progress.finish();
        const exit_code_t exit = report_current_failure();
        const vl_rc reset = vl_device_update_reset(board);
        if (reset == VL_RC_SUCCESS) {
            std::cerr << "velnorctl: firmware update abandoned; the board's update was reset\n";
        } else {
            std::cerr << "velnorctl: resetting the update failed too: vl_device_update_reset "
                      << vl_rc_name(reset) << " (" << reset << ")\n";
        }
        throw reported_failure_t(exit);
    }
    const vl_version reported = read_firmware_version(board);
    if (options.verify && !same_version(reported, info.version)) {
        throw tool_error_t(exit_code_t::update, "the board reports firmware " +
                                                    version_text(reported) +
                                                    ", the image carries " + info.version.text);
    }
    return reported;
}

} // namespace velnorctl
