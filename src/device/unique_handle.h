// Owns an OS file handle. Both INVALID_HANDLE_VALUE and null mean "none";
// the destructor closes what it owns and never throws.
#pragma once

#include "platform/os.h"

#include <utility>

namespace velnor {

class unique_handle {
public:
    unique_handle() noexcept = default;
    explicit unique_handle(HANDLE handle) noexcept : handle_(handle) {}
    unique_handle(unique_handle&& other) noexcept : handle_(other.release()) {}
    unique_handle& operator=(unique_handle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    unique_handle(const unique_handle&) = delete;
    unique_handle& operator=(const unique_handle&) = delete;
    ~unique_handle() { reset(); }

    HANDLE get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return is_valid(handle_); }

    HANDLE release() noexcept { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

    void reset(HANDLE handle = INVALID_HANDLE_VALUE) noexcept {
        HANDLE old = std::exchange(handle_, handle);
        if (is_valid(old)) {
            os::CloseHandle(old);
        }
    }

    static bool is_valid(HANDLE handle) noexcept {
        return handle != INVALID_HANDLE_VALUE && handle != nullptr;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

} // namespace velnor
