#include "panel_platform.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace velnor_panel {

void set_exclusive_listen(socket_t socket) {
    const BOOL yes = TRUE;
    setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
               sizeof yes);
}

std::string open_in_browser(const std::string& address) {
    // The address holds ASCII only (host, port, token), so it widens as it is.
    const std::wstring wide(address.begin(), address.end());
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) {
        return "ShellExecuteW answered " + std::to_string(static_cast<long long>(result));
    }
    return {};
}

} // namespace velnor_panel
