// The api room: every extern "C" export of the library, each a thin shell
// that checks its arguments and calls one operation of a lower room (device,
// clock, update, properties) inside the frame below. The road of a call:
// export, frame, operation, transport, OS seam.
//
// The boundary frame that every exported function wears: the body runs
// inside it, and whatever it throws becomes one log line and a result code.
// No exception ever crosses the exported boundary.
#pragma once

#include "error/error_category.h"
#include "log/logger.h"

#include <velnor.h>

#include <exception>
#include <new>
#include <system_error>

namespace velnor {

// The result for a caught failure: the library's own codes pass unchanged,
// every other category becomes VL_RC_FAILED.
vl_rc result_of(const std::error_code& code) noexcept;

// Logs and maps an exception that is not a std::system_error.
vl_rc report_out_of_memory(const char* function) noexcept;
vl_rc report_unexpected(const char* function, const char* what) noexcept;

template <typename Body> vl_rc run_export(const char* function, Body&& body) noexcept {
    try {
        body();
        return VL_RC_SUCCESS;
    } catch (const std::system_error& error) {
        log_failure(function, error.code(), error.what());
        return result_of(error.code());
    } catch (const std::bad_alloc&) {
        return report_out_of_memory(function);
    } catch (const std::exception& error) {
        return report_unexpected(function, error.what());
    } catch (...) {
        return report_unexpected(function, "unknown exception");
    }
}

} // namespace velnor
