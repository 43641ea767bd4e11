// A firmware update as velnorctl shows it: "erasing...", a progress bar or
// lines, "verifying...", failures and resets on standard error; stopped by
// SIGINT, SIGTERM or SIGHUP (their kin on Windows) or by standard output
// going away.
#pragma once

#include "firmware_update.h"

#include <ostream>

namespace velnorctl {

// Returns the firmware version the board reports after the update. Throws
// library_failure_t or tool_error_t (update); reported_failure_t when the
// failure was already printed together with the reset that followed it, with
// exit_code_t::interrupted or terminated after a signal.
vl_version update_firmware(vl_device* board, const std::vector<uint8_t>& image,
                           const image_info_t& info, const update_options_t& options,
                           std::ostream& out);

} // namespace velnorctl
