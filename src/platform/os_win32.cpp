// The product's backend: the real Windows calls.
#include "platform/os.h"

namespace velnor::os {

CONFIGRET CM_Get_Device_Interface_List_SizeA(PULONG length, LPGUID interface_class,
                                             DEVINSTID_A device_id, ULONG flags) {
    return ::CM_Get_Device_Interface_List_SizeA(length, interface_class, device_id, flags);
}

CONFIGRET CM_Get_Device_Interface_ListW(LPGUID interface_class, DEVINSTID_W device_id,
                                        PZZWSTR buffer, ULONG length, ULONG flags) {
    return ::CM_Get_Device_Interface_ListW(interface_class, device_id, buffer, length, flags);
}

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share_mode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE template_file) {
    return ::CreateFileW(path, access, share_mode, security, disposition, flags, template_file);
}

BOOL CloseHandle(HANDLE handle) {
    return ::CloseHandle(handle);
}

BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD in_length, LPVOID out,
                     DWORD out_length, LPDWORD bytes_returned, LPOVERLAPPED overlapped) {
    return ::DeviceIoControl(device, code, in, in_length, out, out_length, bytes_returned,
                             overlapped);
}

DWORD GetLastError() {
    return ::GetLastError();
}

} // namespace velnor::os
