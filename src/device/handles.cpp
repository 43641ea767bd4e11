#include "device/handles.h"

#include "api/error_category.h"
#include "api/frame.h"
#include "device/device.h"
#include "device/discovery.h"
#include "device/system_failure.h"

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

unique_handle open_file(const WCHAR* path, std::initializer_list<DWORD> access,
                        std::initializer_list<DWORD> share_modes, DWORD disposition,
                        std::initializer_list<DWORD> flags) {
    HANDLE handle = os::CreateFileW(path, combine(access), combine(share_modes), nullptr,
                                    disposition, combine(flags) | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        raise_last_error("CreateFileW failed");
    }
    return unique_handle(handle);
}

unique_handle open_device_by_index(std::size_t index) {
    const std::vector<std::wstring> paths = list_device_paths(board_interface_guid);
    if (index >= paths.size()) {
        throw std::system_error(
            make_error_code(VL_RC_INVALID_DEVICE),
            fmt::format("Cannot retrieve device at index {}, only {} device(s) found on the system",
                        index, paths.size()));
    }
    const std::wstring& path = paths[index];
    unique_handle handle = open_file(path.c_str(), {GENERIC_WRITE, GENERIC_READ},
                                     {FILE_SHARE_WRITE, FILE_SHARE_READ}, OPEN_EXISTING, {});
    if (handle.get() == nullptr) {
        throw std::system_error(make_error_code(VL_RC_INTERNAL_ERROR),
                                fmt::format("Could not open device. Path was {}",
                                            std::filesystem::path(path).string()));
    }
    return handle;
}

} // namespace velnor

extern "C" VL_API vl_rc vl_device_open(size_t index, vl_device** handle) {
    return velnor::run_export("vl_device_open", [&] {
        velnor::require(handle, "handle is null");
        std::unique_ptr<vl_device> record = velnor::allocate_record();
        record->os_handle = velnor::open_device_by_index(index).release();
        *handle = record.release();
    });
}

extern "C" VL_API vl_rc vl_device_close(vl_device* handle) {
    return velnor::run_export("vl_device_close", [&] {
        const vl_device& device = velnor::require_device(handle);
        if (!velnor::os::CloseHandle(device.os_handle)) {
            velnor::raise_last_error("CloseHandle");
        }
        std::unique_ptr<vl_device> released(handle);
    });
}
