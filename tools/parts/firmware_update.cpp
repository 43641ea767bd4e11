#include "firmware_update.h"

#include "board_queries.h"
#include "board_values.h"
#include <velnor.h>
#include <velnor_board_protocol.h>

#include <algorithm>
#include <array>
#include <sstream>
#include <thread>

namespace velnorctl {

namespace {

// Thrown inside the update when the observer asks it to stop.
struct stopped_t {
    update_stop_t stop;
};

void stop_when_asked(update_observer_t& observer) {
    if (std::optional<update_stop_t> stop = observer.stop()) {
        throw stopped_t{std::move(*stop)};
    }
}

void after_request(const update_options_t& options, update_observer_t& observer) {
    if (options.pace.count() > 0) {
        std::this_thread::sleep_for(options.pace);
    }
    stop_when_asked(observer);
}

std::string seconds(std::chrono::milliseconds duration) {
    std::ostringstream text;
    text << static_cast<double>(duration.count()) / 1000.0 << " s";
    return text.str();
}

// Polls until the board leaves the given state (or, for an erase, reaches
// ready) and returns the state it reached.
uint32_t wait_while(vl_device* board, uint32_t waiting_state, const update_options_t& options,
                    update_observer_t& observer, const char* activity) {
    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    for (;;) {
        const uint32_t state = read_update_status(board).state;
        after_request(options, observer);
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
        stop_when_asked(observer);
    }
}

void send_blocks(vl_device* board, const std::vector<uint8_t>& image,
                 const update_options_t& options, update_observer_t& observer) {
    std::array<uint8_t, VLB_BLOCK_SIZE> block{};
    const size_t count = vlb_image_block_count(image.size());
    for (size_t index = 0; index < count; ++index) {
        vlb_image_block(image.data(), image.size(), index, block.data());
        VLCTL_CALL(vl_device_update_write, board, block.data());
        observer.progress(
            std::min<uint64_t>(uint64_t{index + 1} * VLB_BLOCK_DATA_MAX, image.size()),
            image.size());
        after_request(options, observer);
    }
}

bool same_version(const vl_version& reported, const image_version_t& expected) {
    return reported.major == expected.major && reported.minor == expected.minor &&
           reported.patch == expected.patch && version_text(reported) == expected.text;
}

// Resets the board's update after a failure or a stop and tells the observer.
void reset_after(vl_device* board, const std::string& what, bool show_state,
                 update_observer_t& observer) {
    const vl_rc reset = vl_device_update_reset(board);
    if (reset != VL_RC_SUCCESS) {
        observer.reset_done(what + "; resetting the update failed too: vl_device_update_reset " +
                            vl_rc_name(reset) + " (" + std::to_string(reset) + ")");
        return;
    }
    std::string state;
    uint32_t now = 0;
    uint32_t received = 0;
    if (show_state && vl_device_update_get_status(board, &now, &received) == VL_RC_SUCCESS) {
        state = " (update state " + name_of(now, update_state_names()) + ", " +
                std::to_string(received) + " bytes received)";
    }
    observer.reset_done(what + "; the board's update was reset" + state);
}

} // namespace

vl_version run_firmware_update(vl_device* board, const std::vector<uint8_t>& image,
                               const image_info_t& info, const update_options_t& options,
                               update_observer_t& observer) {
    try {
        VLCTL_CALL(vl_device_update_start_async, board);
    } catch (library_failure_t& refused) {
        explain_refused_start(board, refused);
        throw;
    }
    try {
        after_request(options, observer);
        observer.phase("erasing");
        stop_when_asked(observer);
        if (wait_while(board, VL_UPDATE_ERASING, options, observer, "erasing") != VL_UPDATE_READY) {
            throw tool_error_t(exit_code_t::update,
                               "the board reports the update failed while erasing");
        }
        send_blocks(board, image, options, observer);
        observer.phase("verifying");
        stop_when_asked(observer);
        VLCTL_CALL(vl_device_update_complete, board);
        after_request(options, observer);
        const uint32_t state =
            wait_while(board, VL_UPDATE_VERIFYING, options, observer, "verifying");
        if (state != VL_UPDATE_DONE) {
            throw tool_error_t(exit_code_t::update, "the board ended the update in state " +
                                                        name_of(state, update_state_names()));
        }
    } catch (const stopped_t& stopped) {
        reset_after(board, stopped.stop.why, stopped.stop.show_state, observer);
        throw reported_failure_t(stopped.stop.exit);
    } catch (...) {
        const exit_code_t exit = observer.failed();
        reset_after(board, "firmware update abandoned", false, observer);
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
