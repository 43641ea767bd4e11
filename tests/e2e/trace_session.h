// The end-to-end trace session: a fixed sequence of exports on the first two
// boards, the same on every platform. It runs under Wine through the
// recording Velnor.dll against the board driver, and on Linux over the
// virtual platform replaying that recording; the two result texts must be
// the same byte for byte.
#pragma once

#include <functional>
#include <string>

namespace velnor_e2e {

// Runs the session and returns its results: one line per export call, its
// step name, result code and every output byte in hex. The session needs
// two boards in their power-on state. driver_fails_led_reads(true) comes
// just before a LED read that the driver must fail (DeviceIoControl fails
// with ERROR_NOT_READY), (false) just after it; a replay needs none.
std::string run_trace_session(const std::function<void(bool)>& driver_fails_led_reads = {});

// Writes text to path as it is (no line-end translation). False when the
// file cannot be written.
bool write_results(const char* path, const std::string& text);

} // namespace velnor_e2e
