#include "device/discovery.h"

#include "api/error_category.h"
#include "api/frame.h"

#include <fmt/format.h>

namespace velnor {

namespace {

constexpr const char* size_call = "CM_Get_Device_Interface_List_Size( &list_length, &guid, NULL, "
                                  "CM_GET_DEVICE_INTERFACE_LIST_PRESENT)";
constexpr const char* fetch_call =
    "CM_Get_Device_Interface_ListW(&guid, NULL, list.data(), list_length, "
    "CM_GET_DEVICE_INTERFACE_LIST_PRESENT)";
constexpr CONFIGRET highest_known_result = 0x3B;

void check(CONFIGRET result, const char* call) {
    if (result > highest_known_result) {
        throw std::system_error(std::make_error_code(std::errc::not_supported),
                                fmt::format("Call to {} returned invalid value {}", call, result));
    }
    if (result != CR_SUCCESS) {
        throw std::system_error(
            std::make_error_code(std::errc::not_supported),
            fmt::format("Call to {} failed with error {}", call, configret_name(result)));
    }
}

} // namespace

std::vector<std::wstring> list_device_paths(const GUID& interface_class) {
    GUID guid = interface_class;
    ULONG list_length = 0;
    check(os::CM_Get_Device_Interface_List_SizeA(&list_length, &guid, nullptr,
                                                 CM_GET_DEVICE_INTERFACE_LIST_PRESENT),
          size_call);
    std::vector<WCHAR> list(list_length, WCHAR{0});
    check(os::CM_Get_Device_Interface_ListW(&guid, nullptr, list_length ? list.data() : nullptr,
                                            list_length, CM_GET_DEVICE_INTERFACE_LIST_PRESENT),
          fetch_call);
    return split_device_list(list.data(), list_length);
}

std::vector<std::wstring> split_device_list(const WCHAR* list, ULONG length) {
    std::vector<std::wstring> paths;
    ULONG remaining = length;
    const WCHAR* piece = list;
    while (remaining != 0) {
        ULONG piece_length = 0;
        while (piece_length < remaining && piece[piece_length] != WCHAR{0}) {
            ++piece_length;
        }
        if (piece_length != 0) {
            paths.emplace_back(piece, piece_length);
        }
        if (piece_length >= remaining - 1) {
            break;
        }
        piece += piece_length + 1;
        remaining -= piece_length + 1;
    }
    return paths;
}

} // namespace velnor

extern "C" VL_API vl_rc vl_get_device_count(size_t* count) {
    return velnor::run_export("vl_get_device_count", [&] {
        velnor::require(count, "Count is null");
        *count = velnor::list_device_paths(velnor::board_interface_guid).size();
    });
}
