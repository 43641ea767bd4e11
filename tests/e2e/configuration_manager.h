// configuration_manager.h - which cfgmgr32.dll the process has loaded, and
// from where. Velnor.dll loads it at its first discovery, from the system
// folder only.
#pragma once

#include <windows.h>

#include <cwctype>
#include <string>

#include "velnor.h"

namespace e2e {

// The cfgmgr32.dll in the process after a device count has had Velnor.dll
// load one; null when none is loaded.
inline HMODULE configuration_manager_after_a_count() {
    size_t count = 0;
    (void)vl_get_device_count(&count);
    return GetModuleHandleW(L"cfgmgr32.dll");
}

// The folder a module was loaded from, or the system folder, in lower case
// and without a final backslash, so the two compare as Windows compares names.
inline std::wstring folder_text(std::wstring path, bool strip_file_name) {
    if (strip_file_name) {
        const std::size_t slash = path.find_last_of(L'\\');
        path.erase(slash == std::wstring::npos ? 0 : slash);
    }
    while (!path.empty() && path.back() == L'\\') {
        path.pop_back();
    }
    for (wchar_t& c : path) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return path;
}

inline std::wstring folder_of(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    return folder_text(std::wstring(path, length), true);
}

inline std::wstring system_folder() {
    wchar_t path[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    return folder_text(std::wstring(path, length), false);
}

} // namespace e2e
