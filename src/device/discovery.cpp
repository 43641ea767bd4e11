#include "device/discovery.h"

#include "error/error_category.h"

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

// The configuration manager's multi-string for a class: size query, then fetch.
std::vector<WCHAR> fetch_device_list(const GUID& interface_class) {
    GUID guid = interface_class;
    ULONG list_length = 0;
    check(os::CM_Get_Device_Interface_List_SizeA(&list_length, &guid, nullptr,
                                                 CM_GET_DEVICE_INTERFACE_LIST_PRESENT),
          size_call);
    std::vector<WCHAR> list(list_length, WCHAR{0});
    check(os::CM_Get_Device_Interface_ListW(&guid, nullptr, list_length ? list.data() : nullptr,
                                            list_length, CM_GET_DEVICE_INTERFACE_LIST_PRESENT),
          fetch_call);
    return list;
}

} // namespace

std::vector<std::wstring> list_device_paths(const GUID& interface_class) {
    const std::vector<WCHAR> list = fetch_device_list(interface_class);
    return split_device_list(list.data(), static_cast<ULONG>(list.size()));
}

std::size_t count_device_paths(const GUID& interface_class) {
    const std::vector<WCHAR> list = fetch_device_list(interface_class);
    std::size_t count = 0;
    scan_device_list(list.data(), static_cast<ULONG>(list.size()),
                     [&count](const WCHAR*, ULONG) { ++count; });
    return count;
}

std::size_t count_devices() {
    return count_device_paths(board_interface_guid);
}

std::vector<std::wstring> split_device_list(const WCHAR* list, ULONG length) {
    std::vector<std::wstring> paths;
    scan_device_list(list, length, [&paths](const WCHAR* piece, ULONG piece_length) {
        paths.emplace_back(piece, piece_length);
    });
    return paths;
}

} // namespace velnor
