#include "driver_link.h"

#include <setupapi.h>

#include <memory>
#include <stdexcept>

#include "board_driver_control.h"

namespace e2e {
namespace {

const GUID board_class = {
    0x2cfb54e9, 0xa1bb, 0x4a3c, {0x92, 0x52, 0xca, 0x9b, 0x7e, 0x95, 0xb2, 0xe5}};

struct device_info_set_deleter {
    void operator()(void* set) const { SetupDiDestroyDeviceInfoList(set); }
};

std::runtime_error driver_error(const char* what, DWORD error) {
    return std::runtime_error(std::string(what) + " failed with error " + std::to_string(error));
}

} // namespace

file_handle& file_handle::operator=(file_handle&& other) noexcept {
    if (this != &other) {
        file_handle old(release());
        handle_ = other.release();
    }
    return *this;
}

file_handle::~file_handle() {
    if (handle_ != INVALID_HANDLE_VALUE) {
        CloseHandle(handle_);
    }
}

HANDLE file_handle::release() {
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return handle;
}

ioctl_result raw_ioctl(HANDLE device, DWORD code, const void* in, DWORD in_len, void* out,
                       DWORD out_len) {
    ioctl_result result;
    DWORD returned = 0;
    result.ok = DeviceIoControl(device, code, const_cast<void*>(in), in_len, out, out_len,
                                &returned, nullptr) != FALSE;
    result.error = result.ok ? 0 : GetLastError();
    result.returned = returned;
    return result;
}

std::vector<std::wstring> board_interface_paths() {
    HDEVINFO raw =
        SetupDiGetClassDevsW(&board_class, nullptr, nullptr, DIGCF_DEVICEINTERFACE | DIGCF_PRESENT);
    if (raw == INVALID_HANDLE_VALUE) {
        throw driver_error("SetupDiGetClassDevsW", GetLastError());
    }
    std::unique_ptr<void, device_info_set_deleter> set(raw);
    std::vector<std::wstring> paths;
    SP_DEVICE_INTERFACE_DATA item{};
    item.cbSize = sizeof item;
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(raw, nullptr, &board_class, i, &item); ++i) {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(raw, &item, nullptr, 0, &size, nullptr);
        std::vector<unsigned char> storage(size);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
        detail->cbSize = sizeof *detail;
        if (!SetupDiGetDeviceInterfaceDetailW(raw, &item, detail, size, nullptr, nullptr)) {
            throw driver_error("SetupDiGetDeviceInterfaceDetailW", GetLastError());
        }
        paths.emplace_back(detail->DevicePath);
    }
    return paths;
}

file_handle open_board_path(const std::wstring& path) {
    file_handle handle(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
        throw driver_error("CreateFileW", GetLastError());
    }
    return handle;
}

board_control::board_control(const std::wstring& path)
    : path_(path), handle_(open_board_path(path)) {
    unsigned char reply[4 + 32] = {};
    ioctl_result r =
        raw_ioctl(handle_.get(), board_request_code(17), nullptr, 0, reply, sizeof reply);
    if (!r.ok) {
        throw driver_error("serial request", r.error);
    }
    const char* text = reinterpret_cast<const char*>(reply + 4);
    serial_.assign(text, strnlen(text, 32));
}

uint32_t board_control::control(uint32_t op, uint32_t fn, int32_t status) const {
    vlbd_control_in in{op, fn, status};
    vlbd_control_out out{};
    ioctl_result r =
        raw_ioctl(handle_.get(), VLBD_CTL_TEST_CONTROL, &in, sizeof in, &out, sizeof out);
    if (!r.ok) {
        throw driver_error("test-control request", r.error);
    }
    return out.request_count;
}

uint32_t board_control::request_count() const {
    return control(VLBD_OP_QUERY, 0, 0);
}

void board_control::force_status(uint32_t fn, int32_t status) const {
    control(VLBD_OP_FORCE_STATUS, fn, status);
}

void board_control::fail_request(uint32_t fn, LONG ntstatus) const {
    control(VLBD_OP_FAIL_REQUEST, fn, ntstatus);
}

void board_control::clear_status(uint32_t fn) const {
    control(VLBD_OP_CLEAR_STATUS, fn, 0);
}

void board_control::reset() const {
    control(VLBD_OP_RESET, 0, 0);
}

void board_control::fire_trigger() const {
    control(VLBD_OP_FIRE_TRIGGER, 0, 0);
}

void board_control::unplug() const {
    control(VLBD_OP_UNPLUG, 0, 0);
}

void board_control::plug() const {
    control(VLBD_OP_PLUG, 0, 0);
}

} // namespace e2e
