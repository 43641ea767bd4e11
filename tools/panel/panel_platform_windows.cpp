#include "panel_platform.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include <string>

namespace velnor_panel {

void set_exclusive_listen(socket_t socket) {
    const BOOL yes = TRUE;
    setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
               sizeof yes);
}

std::string open_in_browser(const std::string& address) {
    // The shell may hand the address to a handler it reaches through COM, so
    // COM is ready on this thread for the call, and only for it.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    // The address holds ASCII only (host, port, token), so it widens as it is.
    const std::wstring wide(address.begin(), address.end());
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    if (result <= 32) {
        return "ShellExecuteW answered " + std::to_string(static_cast<long long>(result));
    }
    return {};
}

} // namespace velnor_panel
