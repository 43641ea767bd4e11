// The listing on Windows: the configuration manager's present interfaces of
// the board class, sized with the ANSI query as the library sizes them.
#include "interface_paths.h"

#include <velnor_board_protocol.h>

#include <windows.h>
// windows.h must come first.
#include <cfgmgr32.h>

namespace velnorctl {

std::vector<std::string> board_interface_paths() {
    GUID guid = VLB_INTERFACE_CLASS_INIT;
    // A board that arrives between the size query and the fetch makes the
    // list longer than the size; ask again then.
    // A list that keeps outgrowing its size is given up on after a few tries.
    for (int attempt = 1;; ++attempt) {
        ULONG length = 0;
        const CONFIGRET sized = CM_Get_Device_Interface_List_SizeA(
            &length, &guid, nullptr, CM_GET_DEVICE_INTERFACE_LIST_PRESENT);
        if (sized != CR_SUCCESS) {
            throw_listing_failure("CM_Get_Device_Interface_List_SizeA", sized);
        }
        std::vector<wchar_t> list(length, L'\0');
        const CONFIGRET fetched = CM_Get_Device_Interface_ListW(
            &guid, nullptr, list.data(), length, CM_GET_DEVICE_INTERFACE_LIST_PRESENT);
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
