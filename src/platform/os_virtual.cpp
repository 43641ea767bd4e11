// The virtual platform's backend: the same calls, served by velnor_sim.
#include "platform/os.h"

#include <velnor_sim.h>

#include <cstdint>

namespace velnor::VELNOR_OS_NAMESPACE {

static_assert(sizeof(GUID) == sizeof(vlsim_guid), "GUID and vlsim_guid share one layout");
static_assert(sizeof(ULONG) == sizeof(std::uint32_t) && sizeof(DWORD) == sizeof(std::uint32_t));

namespace {
const vlsim_guid* as_sim(const GUID* guid) {
    return reinterpret_cast<const vlsim_guid*>(guid);
}
} // namespace

CONFIGRET CM_Get_Device_Interface_List_SizeA(PULONG length, LPGUID interface_class,
                                             DEVINSTID_A device_id, ULONG flags) {
    std::uint32_t size = length != nullptr ? *length : 0;
    const CONFIGRET result = vlsim_CM_Get_Device_Interface_List_SizeA(
        length != nullptr ? &size : nullptr, as_sim(interface_class), device_id, flags);
    if (length != nullptr) {
        *length = size;
    }
    return result;
}

CONFIGRET CM_Get_Device_Interface_ListW(LPGUID interface_class, DEVINSTID_W device_id,
                                        PZZWSTR buffer, ULONG length, ULONG flags) {
    return vlsim_CM_Get_Device_Interface_ListW(as_sim(interface_class), device_id, buffer, length,
                                               flags);
}

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share_mode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE template_file) {
    return vlsim_CreateFileW(path, access, share_mode, security, disposition, flags, template_file);
}

BOOL CloseHandle(HANDLE handle) {
    return vlsim_CloseHandle(handle);
}

BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD in_length, LPVOID out,
                     DWORD out_length, LPDWORD bytes_returned, LPOVERLAPPED overlapped) {
    std::uint32_t returned = bytes_returned != nullptr ? *bytes_returned : 0;
    const BOOL result =
        vlsim_DeviceIoControl(device, code, in, in_length, out, out_length,
                              bytes_returned != nullptr ? &returned : nullptr, overlapped);
    if (bytes_returned != nullptr) {
        *bytes_returned = returned;
    }
    return result;
}

DWORD GetLastError() {
    return vlsim_GetLastError();
}

// The values are Windows', so their text is too: the C library would name
// some other failure that happens to share the number.
std::string error_text(DWORD error) {
    return vlsim_error_text(error);
}

} // namespace velnor::VELNOR_OS_NAMESPACE
