// The listing on the virtual platform: its stand-in for the configuration
// manager, called the way the Windows listing calls the real one.
#include "interface_paths.h"
#include "virtual_platform.h"

#include <velnor_board_protocol.h>
#include <velnor_sim.h>

#include <cstdint>

namespace velnorctl {

namespace {

// During a replay the configuration manager's calls are the trace's: the
// library's own listing must meet them, so the tool asks the platform for
// the trace's boards instead.
std::vector<std::string> replayed_paths() {
    std::vector<std::string> paths;
    const size_t count = vlsim_board_count();
    for (size_t id = 0; id < count; ++id) {
        const int length = vlsim_board_path(static_cast<int>(id), nullptr, 0);
        std::vector<wchar_t> path(static_cast<size_t>(length > 0 ? length : 0) + 2, L'\0');
        vlsim_board_path(static_cast<int>(id), path.data(), path.size() - 1);
        const std::vector<std::string> one = split_interface_list(path);
        paths.push_back(one.empty() ? "" : one.front());
    }
    return paths;
}

} // namespace

std::vector<std::string> board_interface_paths() {
    if (replaying_trace()) {
        return replayed_paths();
    }
    const vlsim_guid guid = VLB_INTERFACE_CLASS_INIT;
    // A list that keeps outgrowing its size is given up on after a few tries.
    for (int attempt = 1;; ++attempt) {
        std::uint32_t length = 0;
        const std::uint32_t sized =
            vlsim_CM_Get_Device_Interface_List_SizeA(&length, &guid, nullptr, 0);
        if (sized != VLSIM_CR_SUCCESS) {
            throw_listing_failure("CM_Get_Device_Interface_List_SizeA", sized);
        }
        std::vector<wchar_t> list(length, L'\0');
        const std::uint32_t fetched =
            vlsim_CM_Get_Device_Interface_ListW(&guid, nullptr, list.data(), length, 0);
        if (fetched == VLSIM_CR_BUFFER_SMALL && attempt < 8) {
            continue;
        }
        if (fetched != VLSIM_CR_SUCCESS) {
            throw_listing_failure("CM_Get_Device_Interface_ListW", fetched);
        }
        return split_interface_list(list);
    }
}

} // namespace velnorctl
