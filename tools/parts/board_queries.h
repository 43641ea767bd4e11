// Reading a board's properties through the library, as values the commands
// print. Every function throws library_failure_t when its call fails.
#pragma once

#include "errors.h"

#include <velnor.h>

#include <cstdint>
#include <string>

namespace velnorctl {

// The board's firmware update: its state (VL_UPDATE_*) and the image bytes it
// has received.
struct update_status_t {
    uint32_t state = 0;
    uint32_t received = 0;
};

// The version's text, or "major.minor.patch" when the board left it empty.
std::string version_text(const vl_version& version);

std::string read_serial(vl_device* board);
vl_version read_driver_version(vl_device* board);
vl_version read_firmware_version(vl_device* board);
vl_version read_library_version();
uint32_t read_led(vl_device* board);
uint32_t read_trigger_polarity(vl_device* board);
uint32_t read_trigger_status(vl_device* board);
vl_clock read_clock(vl_device* board);
uint8_t read_register(vl_device* board, uint32_t address);
update_status_t read_update_status(vl_device* board);

// When the board refused to start an update because it is in one already,
// adds to the failure the board's update state, the bytes it has received
// and the way out; leaves any other failure as it is.
void explain_refused_start(vl_device* board, library_failure_t& failure);

} // namespace velnorctl
