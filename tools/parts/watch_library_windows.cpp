// VelnorWatch.dll from the tool's own folder, by its full path: never from
// the current directory or the PATH, where anyone could have put another.
#include "errors.h"
#include "watch_library.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace velnorctl {
namespace {

template <typename call_t> call_t resolve(HMODULE module, const char* name) {
    // Through void(*)(), the one function type any other may be cast from.
    return reinterpret_cast<call_t>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

std::filesystem::path tool_folder() {
    std::vector<wchar_t> name(MAX_PATH);
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length < name.size()) {
            return std::filesystem::path(std::wstring(name.data(), length)).parent_path();
        }
        name.resize(name.size() * 2);
    }
}

std::string system_text(DWORD error) {
    return std::system_category().message(static_cast<int>(error));
}

} // namespace

const watch_calls_t& watch_calls() {
    static watch_calls_t calls;
    if (calls.start != nullptr) {
        return calls;
    }
    const std::filesystem::path file = tool_folder() / L"VelnorWatch.dll";
    const HMODULE module = ::LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) {
        const DWORD error = ::GetLastError();
        throw tool_error_t(
            exit_code_t::library,
            "cannot load VelnorWatch.dll from the tool's folder ('" + file.u8string() +
                "'): " + system_text(error) +
                "; 'watch' needs it beside velnorctl.exe, as the SDK's bin\\ has it");
    }
    watch_calls_t resolved;
    resolved.start = resolve<decltype(resolved.start)>(module, "vl_watch_start");
    resolved.stop = resolve<decltype(resolved.stop)>(module, "vl_watch_stop");
    if (resolved.start == nullptr || resolved.stop == nullptr) {
        ::FreeLibrary(module);
        throw tool_error_t(exit_code_t::library, "'" + file.u8string() +
                                                     "' is not the Velnor watcher: it lacks "
                                                     "vl_watch_start or vl_watch_stop");
    }
    // Kept loaded to the end of the run: a watch's thread runs in it.
    calls = resolved;
    return calls;
}

} // namespace velnorctl
