// Sending a firmware image to a board: start, wait for the erase, send the
// blocks, complete, wait for the verification, read the new version back.
// Any failure after the start resets the board's update before it is
// reported; so does a stop the program asks for (a signal, standard output
// lost, the panel shutting down), after the request in flight.
#pragma once

#include "errors.h"
#include "firmware_image.h"

#include <velnor.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velnorctl {

struct update_options_t {
    std::chrono::milliseconds timeout{30000}; // for the erase and for the verification
    std::chrono::milliseconds poll_interval{50};
    bool verify = false;               // compare the version the board reports with the image's
    bool terminal = false;             // draw a progress bar instead of plain lines
    std::chrono::milliseconds pace{0}; // a pause after each request (tests of interruptions)
};

// Why the program stops an update: the exit code it leaves with and the
// words that begin the line about the reset ("firmware update interrupted by
// SIGINT"); show_state adds the board's update state after the reset.
struct update_stop_t {
    exit_code_t exit = exit_code_t::interrupted;
    std::string why;
    bool show_state = true;
};

// What an update tells the program running it, and asks of it. Called on
// the thread that runs the update.
class update_observer_t {
public:
    virtual ~update_observer_t() = default;
    // "erasing" once the board accepted the start, "verifying" after the last block.
    virtual void phase(const char* name) = 0;
    // Image bytes sent so far, of total.
    virtual void progress(uint64_t sent, uint64_t total) = 0;
    // Asked after every request and every wait: a reason to stop now.
    virtual std::optional<update_stop_t> stop() = 0;
    // The failure in flight (called from a catch block), before the reset;
    // returns the exit code it stands for.
    virtual exit_code_t failed() = 0;
    // One line about the reset that followed a failure or a stop.
    virtual void reset_done(const std::string& line) = 0;
};

// Returns the firmware version the board reports after the update. Throws
// library_failure_t when the board refuses the start (with its update state
// explained), tool_error_t (update) when --verify finds another version, and
// reported_failure_t after a failure or a stop that the observer has been
// told of, together with the reset that followed it.
vl_version run_firmware_update(vl_device* board, const std::vector<uint8_t>& image,
                               const image_info_t& info, const update_options_t& options,
                               update_observer_t& observer);

} // namespace velnorctl
