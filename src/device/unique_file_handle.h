// Owns an OS file handle. Both INVALID_HANDLE_VALUE and null mean "none";
// the destructor closes what it owns and never throws.
#pragma once

#include "platform/os.h"

#include <utility>

namespace velnor {

class unique_file_handle_t {
public:
    unique_file_handle_t() noexcept = default;
    explicit unique_file_handle_t(HANDLE handle) noexcept : handle_(handle) {}
    unique_file_handle_t(unique_file_handle_t&& other) noexcept : handle_(other.release()) {}
    unique_file_handle_t& operator=(unique_file_handle_t&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    unique_file_handle_t(const unique_file_handle_t&) = delete;
    unique_file_handle_t& operator=(const unique_file_handle_t&) = delete;
    ~unique_file_handle_t() { reset(); }

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
