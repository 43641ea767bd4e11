// The product's backend: the real Windows calls, the configuration
// manager's from the system folder's cfgmgr32.dll.
#include "platform/os.h"

#include <memory>

namespace velnor::VELNOR_OS_NAMESPACE {
namespace {

using list_size_call_t = CONFIGRET(WINAPI*)(PULONG, LPGUID, DEVINSTID_A, ULONG);
using list_call_t = CONFIGRET(WINAPI*)(LPGUID, DEVINSTID_W, PZZWSTR, ULONG, ULONG);

// What the two calls answer when the system's configuration manager cannot
// be loaded or lacks them: CR_FAILURE, so discovery reports it as any failed
// call ("Call to ... failed with error failure").
constexpr CONFIGRET unavailable = CR_FAILURE;

struct configuration_manager_t {
    list_size_call_t list_size = nullptr;
    list_call_t list = nullptr;
};

template <typename call_t> call_t resolve(HMODULE module, const char* name) {
    // Through void(*)(), the one function type any other may be cast from.
    return reinterpret_cast<call_t>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

// cfgmgr32.dll is not one of Windows' known DLLs: imported by name it would
// be looked for in the application's folder first, where anyone who can
// write a file (a download folder) could put their own. It is therefore
// loaded from the system folder only, once per process, and kept loaded for
// the process's life (unloading it while another thread enumerates, or from
// the library's own unload, is never safe).
const configuration_manager_t& configuration_manager() {
    static const configuration_manager_t calls = [] {
        configuration_manager_t resolved;
        const HMODULE module =
            ::LoadLibraryExW(L"cfgmgr32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (module != nullptr) {
            resolved.list_size =
                resolve<list_size_call_t>(module, "CM_Get_Device_Interface_List_SizeA");
            resolved.list = resolve<list_call_t>(module, "CM_Get_Device_Interface_ListW");
        }
        return resolved;
    }();
    return calls;
}

} // namespace

CONFIGRET CM_Get_Device_Interface_List_SizeA(PULONG length, LPGUID interface_class,
                                             DEVINSTID_A device_id, ULONG flags) {
    const list_size_call_t call = configuration_manager().list_size;
    return call != nullptr ? call(length, interface_class, device_id, flags) : unavailable;
}

CONFIGRET CM_Get_Device_Interface_ListW(LPGUID interface_class, DEVINSTID_W device_id,
                                        PZZWSTR buffer, ULONG length, ULONG flags) {
    const list_call_t call = configuration_manager().list;
    return call != nullptr ? call(interface_class, device_id, buffer, length, flags) : unavailable;
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
