#include "interface_paths.h"

#include <velnor_board_protocol.h>

#include <cstdint>
#include <filesystem>

#if defined(VELNORCTL_VIRTUAL)
#include <velnor_sim.h>
#else
#include <windows.h>
// windows.h must come first.
#include <cfgmgr32.h>
#endif

namespace velnorctl {

namespace {

std::vector<std::string> split(const std::vector<wchar_t>& list) {
    std::vector<std::string> paths;
    std::size_t start = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i] == L'\0') {
            if (i > start) {
                paths.push_back(
                    std::filesystem::path(std::wstring(list.data() + start, i - start)).u8string());
            }
            start = i + 1;
        }
    }
    return paths;
}

} // namespace

std::vector<std::string> board_interface_paths() {
    try {
#if defined(VELNORCTL_VIRTUAL)
        vlsim_guid guid = VLB_INTERFACE_CLASS_INIT;
        std::uint32_t length = 0;
        if (vlsim_CM_Get_Device_Interface_List_SizeA(&length, &guid, nullptr, 0) != 0) {
            return {};
        }
        std::vector<wchar_t> list(length, L'\0');
        if (vlsim_CM_Get_Device_Interface_ListW(&guid, nullptr, list.data(), length, 0) != 0) {
            return {};
        }
#else
        GUID guid = VLB_INTERFACE_CLASS_INIT;
        ULONG length = 0;
        if (CM_Get_Device_Interface_List_SizeW(
                &length, &guid, nullptr, CM_GET_DEVICE_INTERFACE_LIST_PRESENT) != CR_SUCCESS) {
            return {};
        }
        std::vector<wchar_t> list(length, L'\0');
        if (CM_Get_Device_Interface_ListW(&guid, nullptr, list.data(), length,
                                          CM_GET_DEVICE_INTERFACE_LIST_PRESENT) != CR_SUCCESS) {
            return {};
        }
#endif
        return split(list);
    } catch (...) {
        return {};
    }
}

} // namespace velnorctl
