// The product's backend: the real Windows calls.
#include "platform/os.h"

#include <memory>

namespace velnor::VELNOR_OS_NAMESPACE {

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

// libstdc++'s system category drops the final full stop of the system's
// text; the log quotes the system as it speaks.
std::string error_text(DWORD error) {
    char* buffer = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    const std::unique_ptr<char, HLOCAL (*)(HLOCAL)> owner(buffer, ::LocalFree);
    std::string text(buffer != nullptr ? buffer : "", buffer != nullptr ? length : 0);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n')) {
        text.pop_back();
    }
    return text.empty() ? "unknown error" : text;
}

} // namespace velnor::VELNOR_OS_NAMESPACE
