// Every export of the library as one row of a table: how to bring the
// virtual platform into the state in which the export succeeds, the call
// itself with outputs a test can watch, and a form of the call that the
// library refuses before it reaches the platform.
#pragma once

#include <velnor.h>
#include <velnor_sim.h>

#include <array>
#include <cstdint>
#include <ostream>
#include <vector>

namespace velnor_test {

// Every output any export writes. A run fills it with a sentinel first.
struct Outputs {
    size_t count;
    vl_device* handle;
    vl_version version;
    char serial[40];
    uint32_t first;
    uint32_t second;
    uint8_t byte;
    vl_clock clock;
};

// One run of an export on one virtual board.
struct Scene {
    vl_device* device = nullptr; // opened by begin() for operations on a board
    vl_device* opened = nullptr; // a handle the export itself opened
    Outputs out{};               // what the export writes
    vl_clock clock_in{};         // what set_clock sends
    std::array<uint8_t, VL_UPDATE_BLOCK_SIZE> block{}; // what update_write sends

    void fill_outputs();
    bool outputs_untouched() const;
};

struct ExportCase {
    const char* name;
    int request;                   // the driver request it sends, -1 when none
    std::vector<vlsim_call> calls; // the platform calls of one successful call, in order
    bool needs_device;             // begin() opens board 0
    bool (*prepare)(Scene&);       // board state beyond an open device (may be null)
    vl_rc (*call)(Scene&);         // succeeds after prepare
    vl_rc (*refused)(Scene&);      // fails before any platform call
    vl_rc refused_code;
};

// The 22 exports.
const std::vector<ExportCase>& export_cases();

// The exports that send one request to the board's driver.
std::vector<ExportCase> device_operation_cases();

// Resets the virtual platform, adds one board, opens it when the case needs
// a device and prepares the board. Returns false when that failed.
bool begin(Scene& scene, const ExportCase& c);

// Closes what the run left open. Returns false when a close failed.
bool finish(Scene& scene);

// Calls of each kind since the last reset.
std::array<uint64_t, VLSIM_CALL_KIND_COUNT> call_counts();

const char* call_kind_name(vlsim_call kind);

// For test names and failure messages.
void PrintTo(const ExportCase& c, std::ostream* out);

} // namespace velnor_test
