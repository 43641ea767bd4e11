#include "firmware_update.h"

#include "board_queries.h"
#include "board_values.h"
#include "errors.h"
#include "interrupt.h"
#include "output.h"
#include <velnor.h>
#include <velnor_board_protocol.h>

#include <algorithm>
#include <array>
#include <iostream>
#include <sstream>
#include <thread>

namespace velnorctl {

namespace {

// Thrown inside the update when a signal was recorded after a request.
struct interrupted_t {
    exit_code_t exit;
};

// Thrown inside the update when standard output can no longer be written
// (its reader went away, say): nobody sees the progress any more.
struct output_lost_t {};

void stop_when_output_lost(const std::ostream& out) {
    if (!out) {
        throw output_lost_t{};
    }
}

void stop_when_interrupted() {
    const exit_code_t pending = interrupt_guard_t::pending();
    if (pending != exit_code_t::ok) {
        throw interrupted_t{pending};
    }
}

void after_request(const update_options_t& options) {
    if (options.pace.count() > 0) {
        std::this_thread::sleep_for(options.pace);
    }
    stop_when_interrupted();
}

std::string seconds(std::chrono::milliseconds duration) {
    std::ostringstream text;
    text << static_cast<double>(duration.count()) / 1000.0 << " s";
    return text.str();
}

// Polls until the board leaves the given state (or, for an erase, reaches
// ready) and returns the state it reached.
uint32_t wait_while(vl_device* board, uint32_t waiting_state, const update_options_t& options,
                    const char* activity) {
    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    for (;;) {
        const uint32_t state = read_update_status(board).state;
        after_request(options);
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
        stop_when_interrupted();
    }
}

void send_blocks(vl_device* board, const std::vector<uint8_t>& image, progress_t& progress,
                 const update_options_t& options) {
    std::array<uint8_t, VLB_BLOCK_SIZE> block{};
    const size_t count = vlb_image_block_count(image.size());
    for (size_t index = 0; index < count; ++index) {
        vlb_image_block(image.data(), image.size(), index, block.data());
        VLCTL_CALL(vl_device_update_write, board, block.data());
        progress.update(std::min<uint64_t>(uint64_t{index + 1} * VLB_BLOCK_DATA_MAX, image.size()));
        stop_when_output_lost(progress.stream());
        after_request(options);
    }
}

bool same_version(const vl_version& reported, const image_version_t& expected) {
    return reported.major == expected.major && reported.minor == expected.minor &&
           reported.patch == expected.patch && version_text(reported) == expected.text;
}

// Resets the board's update after a failure or an interruption and says so.
void reset_after(vl_device* board, const std::string& what, bool show_state) {
    const vl_rc reset = vl_device_update_reset(board);
    if (reset != VL_RC_SUCCESS) {
        std::cerr << "velnorctl: " << message_context() << what
                  << "; resetting the update failed too: vl_device_update_reset "
                  << vl_rc_name(reset) << " (" << reset << ")\n";
        return;
    }
    std::string state;
    uint32_t now = 0;
    uint32_t received = 0;
    if (show_state && vl_device_update_get_status(board, &now, &received) == VL_RC_SUCCESS) {
        state = " (update state " + name_of(now, update_state_names()) + ", " +
                std::to_string(received) + " bytes received)";
    }
    std::cerr << "velnorctl: " << message_context() << what << "; the board's update was reset"
              << state << '\n';
}

} // namespace

vl_version update_firmware(vl_device* board, const std::vector<uint8_t>& image,
                           const image_info_t& info, const update_options_t& options,
                           std::ostream& out) {
    progress_t progress(out, options.terminal, image.size());
    const interrupt_guard_t guard;
    try {
        VLCTL_CALL(vl_device_update_start_async, board);
    } catch (library_failure_t& refused) {
        explain_refused_start(board, refused);
        throw;
    }
    try {
        after_request(options);
        out << "erasing..." << std::endl;
        stop_when_output_lost(out);
        if (wait_while(board, VL_UPDATE_ERASING, options, "erasing") != VL_UPDATE_READY) {
            throw tool_error_t(exit_code_t::update,
                               "the board reports the update failed while erasing");
        }
        send_blocks(board, image, progress, options);
        progress.finish();
        out << "verifying..." << std::endl;
        stop_when_output_lost(out);
        VLCTL_CALL(vl_device_update_complete, board);
        after_request(options);
        const uint32_t state = wait_while(board, VL_UPDATE_VERIFYING, options, "verifying");
        if (state != VL_UPDATE_DONE) {
            throw tool_error_t(exit_code_t::update, "the board ended the update in state " +
                                                        name_of(state, update_state_names()));
        }
    } catch (const output_lost_t&) {
        reset_after(board, "firmware update stopped: cannot write to standard output", true);
        throw reported_failure_t(exit_code_t::file);
    } catch (const interrupted_t& interrupted) {
        progress.finish();
        out.flush();
        reset_after(board,
                    std::string("firmware update interrupted by ") +
                        interrupt_guard_t::pending_name(),
                    true);
        throw reported_failure_t(interrupted.exit);
    } catch (...) {
        progress.finish();
        const exit_code_t exit = report_current_failure();
        reset_after(board, "firmware update abandoned", false);
        throw reported_failure_t(exit);
    }
    const vl_version reported = read_firmware_version(board);
    if (options.verify && !same_version(reported, info.version)) {
        throw tool_error_t(exit_code_t::update, "the board reports firmware " +
                                                    version_text(reported) +
                                                    ", the image carries " + info.version.text);
    }
    if (interrupt_guard_t::pending() != exit_code_t::ok) {
        std::cerr << "velnorctl: " << message_context() << interrupt_guard_t::pending_name()
                  << " came after the update had finished; firmware now "
                  << printable(version_text(reported)) << '\n';
        throw reported_failure_t(interrupt_guard_t::pending());
    }
    return reported;
}

} // namespace velnorctl
