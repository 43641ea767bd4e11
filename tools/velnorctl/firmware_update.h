// Sending a firmware image to a board: start, wait for the erase, send the
// blocks, complete, wait for the verification, read the new version back.
// Any failure after the start resets the board's update before it is
// reported; so does SIGINT or SIGTERM, after the request in flight.
#pragma once

#include "firmware_image.h"

#include <velnor.h>

#include <chrono>
#include <cstdint>
#include <ostream>
#include <vector>

namespace velnorctl {

struct update_options_t {
    std::chrono::milliseconds timeout{30000}; // for the erase and for the verification
    std::chrono::milliseconds poll_interval{50};
    bool verify = false;               // compare the version the board reports with the image's
    bool terminal = false;             // draw a progress bar instead of plain lines
    std::chrono::milliseconds pace{0}; // a pause after each request (tests of interruptions)
};

// Returns the firmware version the board reports after the update. Throws
// library_failure_t or tool_error_t (update); reported_failure_t when the
// failure was already printed together with the reset that followed it, with
// exit_code_t::interrupted or terminated after a signal.
vl_version update_firmware(vl_device* board, const std::vector<uint8_t>& image,
                           const image_info_t& info, const update_options_t& options,
                           std::ostream& out);

} // namespace velnorctl
