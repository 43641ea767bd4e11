#include "device/handles.h"

#include "device/device.h"
#include "device/discovery.h"
#include "error/error_category.h"
#include "error/system_failure.h"

#include <fmt/format.h>

#include <filesystem>
#include <memory>

namespace velnor {

namespace {

DWORD combine(std::initializer_list<DWORD> set) {
    DWORD value = 0;
    for (DWORD member : set) {
        value |= member;
    }
    return value;
}

std::unique_ptr<vl_device> allocate_record() {
    try {
        return std::make_unique<vl_device>(vl_device{INVALID_HANDLE_VALUE});
    } catch (const std::bad_alloc&) {
        raise(VL_RC_NO_MEMORY, "Could not allocate vl_device");
    }
}

} // namespace

const vl_device& require_device(const vl_device* handle) {
    return *require(handle, "handle is null");
}

unique_file_handle_t open_file(const WCHAR* path, std::initializer_list<DWORD> access,
                               std::initializer_list<DWORD> share_modes, DWORD disposition,
                               std::initializer_list<DWORD> flags) {
    HANDLE handle = os::CreateFileW(path, combine(access), combine(share_modes), nullptr,
                                    disposition, combine(flags) | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        raise_last_error("CreateFileW failed");
    }
    return unique_file_handle_t(handle);
}

unique_file_handle_t open_device_by_index(std::size_t index) {
    const std::vector<std::wstring> paths = list_device_paths(board_interface_guid);
    if (index >= paths.size()) {
        throw std::system_error(
            make_error_code(VL_RC_INVALID_DEVICE),
            fmt::format("Cannot retrieve device at index {}, only {} device(s) found on the system",
                        index, paths.size()));
    }
    const std::wstring& path = paths[index];
    unique_file_handle_t handle = open_file(path.c_str(), {GENERIC_WRITE, GENERIC_READ},
                                            {FILE_SHARE_WRITE, FILE_SHARE_READ}, OPEN_EXISTING, {});
    if (handle.get() == nullptr) {
        throw std::system_error(make_error_code(VL_RC_INTERNAL_ERROR),
                                fmt::format("Could not open device. Path was {}",
                                            std::filesystem::path(path).string()));
    }
    return handle;
}

std::unique_ptr<vl_device> open_device(std::size_t index) {
    std::unique_ptr<vl_device> record = allocate_record();
    record->os_handle = open_device_by_index(index).release();
    return record;
}

void close_device(vl_device* handle) {
    const vl_device& device = require_device(handle);
    if (!os::CloseHandle(device.os_handle)) {
        raise_last_error("CloseHandle");
    }
    std::unique_ptr<vl_device> released(handle);
}

} // namespace velnor
