// The listing on Windows: the configuration manager's present interfaces of
// the board class, sized with the ANSI query as the library sizes them.
#include "errors.h"
#include "interface_paths.h"

#include <velnor_board_protocol.h>

#include <windows.h>
// windows.h must come first.
#include <cfgmgr32.h>

#include <string>

namespace velnorctl {

namespace {

using list_size_call_t = CONFIGRET(WINAPI*)(PULONG, LPGUID, DEVINSTID_A, ULONG);
using list_call_t = CONFIGRET(WINAPI*)(LPGUID, DEVINSTID_W, PZZWSTR, ULONG, ULONG);

struct configuration_manager_t {
    list_size_call_t list_size = nullptr;
    list_call_t list = nullptr;
    // Why the calls are missing: empty when both were found.
    std::string failure;
};

template <typename call_t> call_t resolve(HMODULE module, const char* name) {
    // Through void(*)(), the one function type any other may be cast from.
    return reinterpret_cast<call_t>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

// cfgmgr32.dll is not one of Windows' known DLLs: imported by name it would
// be looked for in the tool's folder first, where anyone who can write a
// file (a download folder) could put their own. It is loaded from the system
// folder only, once per run, and kept loaded to the end of the run.
const configuration_manager_t& configuration_manager() {
    static const configuration_manager_t calls = [] {
        configuration_manager_t resolved;
        const HMODULE module =
            ::LoadLibraryExW(L"cfgmgr32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (module == nullptr) {
            resolved.failure = "cfgmgr32.dll could not be loaded from the system folder (error " +
                               std::to_string(::GetLastError()) + ")";
            return resolved;
        }
        resolved.list_size =
            resolve<list_size_call_t>(module, "CM_Get_Device_Interface_List_SizeA");
        resolved.list = resolve<list_call_t>(module, "CM_Get_Device_Interface_ListW");
        if (resolved.list_size == nullptr || resolved.list == nullptr) {
            resolved.failure = "the system folder's cfgmgr32.dll lacks the interface-list calls";
        }
        return resolved;
    }();
    return calls;
}

} // namespace

std::vector<std::string> board_interface_paths() {
    const configuration_manager_t& manager = configuration_manager();
    if (!manager.failure.empty()) {
        throw tool_error_t(exit_code_t::library,
                           "cannot list the boards' interface paths: " + manager.failure);
    }
    GUID guid = VLB_INTERFACE_CLASS_INIT;
    // A board that arrives between the size query and the fetch makes the
    // list longer than the size; ask again then.
    // A list that keeps outgrowing its size is given up on after a few tries.
    for (int attempt = 1;; ++attempt) {
        ULONG length = 0;
        const CONFIGRET sized =
            manager.list_size(&length, &guid, nullptr, CM_GET_DEVICE_INTERFACE_LIST_PRESENT);
        if (sized != CR_SUCCESS) {
            throw_listing_failure("CM_Get_Device_Interface_List_SizeA", sized);
        }
        std::vector<wchar_t> list(length, L'\0');
        const CONFIGRET fetched =
            manager.list(&guid, nullptr, list.data(), length, CM_GET_DEVICE_INTERFACE_LIST_PRESENT);
        if (fetched == CR_BUFFER_SMALL && attempt < 8) {
            continue;
        }
        if (fetched != CR_SUCCESS) {
            throw_listing_failure("CM_Get_Device_Interface_ListW", fetched);
        }
        return split_interface_list(list);
    }
}

} // namespace velnorctl
