// The system's own English text for the error values the virtual platform
// produces, and those its fault switches are usually given, so that a log
// written on the virtual platform reads as the same failure would on Windows.
#include <velnor_sim.h>

#include <cstdint>

namespace {

struct error_text_t {
    std::uint32_t value;
    const char* text;
};

// Windows' message table as FormatMessage gives it (US English), trailing
// line break removed, final full stop kept.
constexpr error_text_t error_texts[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {4, "The system cannot open the file."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory resources are available to process this command."},
    {14, "Not enough memory resources are available to complete this operation."},
    {21, "The device is not ready."},
    {31, "A device attached to the system is not functioning."},
    {32, "The process cannot access the file because it is being used by another process."},
    {50, "The request is not supported."},
    {87, "The parameter is incorrect."},
    {121, "The semaphore timeout period has expired."},
    {122, "The data area passed to a system call is too small."},
    {234, "More data is available."},
    {995, "The I/O operation has been aborted because of either a thread exit or an "
          "application request."},
    {998, "Invalid access to memory location."},
    {1113, "No mapping for the Unicode character exists in the target multi-byte code page."},
    {1167, "The device is not connected."},
    {1450, "Insufficient system resources exist to complete the requested service."},
    {1460, "This operation returned because the timeout period expired."},
    {1784, "The supplied user buffer is not valid for the requested operation."},
};

} // namespace

extern "C" VLSIM_API const char* vlsim_error_text(uint32_t error) {
    for (const error_text_t& entry : error_texts) {
        if (entry.value == error) {
            return entry.text;
        }
    }
    return "unknown error";
}
