// e2e_modes.h - what the end-to-end binary does besides running its tests.
#pragma once

#include <cstddef>

namespace e2e {

// Child process of the log test: successful calls, then two failures. Returns
// 0 when the successful calls left the log file as it was.
int run_log_child();

// Times `requests` trigger-status reads through Velnor.dll and as bare
// DeviceIoControl calls on the same board; prints the figures.
int run_bench(std::size_t requests);

// Unplugs and plugs in the last board `events` times in turn, with a watch
// running; prints the median and 99th percentile from the interface change
// to the watch's callback.
int run_watch_bench(std::size_t events);

} // namespace e2e
