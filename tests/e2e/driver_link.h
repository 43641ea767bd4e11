// driver_link.h - the end-to-end tests' own line to the virtual board driver,
// beside the library: interface paths from SetupAPI, raw control requests and
// the driver's private test-control request.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// Owns a file handle; INVALID_HANDLE_VALUE is empty.
class file_handle {
public:
    file_handle() = default;
    explicit file_handle(HANDLE handle) : handle_(handle) {}
    file_handle(file_handle&& other) noexcept : handle_(other.release()) {}
    file_handle& operator=(file_handle&& other) noexcept;
    file_handle(const file_handle&) = delete;
    file_handle& operator=(const file_handle&) = delete;
    ~file_handle();

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE release();

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// What DeviceIoControl reported for one request.
struct ioctl_result {
    bool ok = false;
    DWORD error = 0;    // GetLastError() after a failure
    DWORD returned = 0; // bytes returned after a success
};

ioctl_result raw_ioctl(HANDLE device, DWORD code, const void* in, DWORD in_len, void* out,
                       DWORD out_len);

// Control code of board request fn, as the library computes it.
constexpr DWORD board_request_code(uint32_t fn) {
    return 0x222000u + 4u * fn;
}

// Present interfaces of the board class, in SetupAPI's order.
std::vector<std::wstring> board_interface_paths();

file_handle open_board_path(const std::wstring& path);

// One board seen through the driver's test-control request.
class board_control {
public:
    explicit board_control(const std::wstring& path);

    // Board requests that reached the driver since the last reset.
    uint32_t request_count() const;
    void force_status(uint32_t fn, int32_t status) const;
    // Request fn completes with this NTSTATUS, so DeviceIoControl fails.
    void fail_request(uint32_t fn, LONG ntstatus) const;
    // Request fn is served by the board again.
    void clear_status(uint32_t fn) const;
    // Clears forced statuses and the counter, powers the board on again.
    void reset() const;
    void fire_trigger() const;
    // The board's interface disabled (it leaves the list; open handles fail
    // their requests) and enabled again.
    void unplug() const;
    void plug() const;

    const std::string& serial() const { return serial_; }
    const std::wstring& path() const { return path_; }
    HANDLE handle() const { return handle_.get(); }

private:
    uint32_t control(uint32_t op, uint32_t fn, int32_t status) const;

    std::wstring path_;
    file_handle handle_;
    std::string serial_;
};

} // namespace e2e
