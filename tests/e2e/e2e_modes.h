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

} // namespace e2e
