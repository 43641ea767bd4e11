// Finds the boards: the present interfaces of the board interface class,
// asked of the configuration manager afresh on every call.
#pragma once

#include "platform/os.h"

#include <cstddef>
#include <string>
#include <vector>

namespace velnor {

// The board interface class {2CFB54E9-A1BB-4A3C-9252-CA9B7E95B2E5}.
inline constexpr GUID board_interface_guid = {
    0x2CFB54E9, 0xA1BB, 0x4A3C, {0x92, 0x52, 0xCA, 0x9B, 0x7E, 0x95, 0xB2, 0xE5}};

// The interface paths of the present devices of a class, in the
// configuration manager's order. Throws std::system_error (generic
// category, not_supported) naming the call that failed and its result.
std::vector<std::wstring> list_device_paths(const GUID& interface_class);

// The number of present devices of a class: the same list, counted
// without copying the paths.
std::size_t count_device_paths(const GUID& interface_class);

// The number of boards present now (the operation behind vl_get_device_count).
std::size_t count_devices();

// Splits a multi-string of length characters into its non-empty pieces.
// Never reads past length, whether or not the list ends with a NUL.
std::vector<std::wstring> split_device_list(const WCHAR* list, ULONG length);

// Calls visit(piece, piece_length) for each non-empty piece of a multi-string,
// in order; empty pieces are skipped and do not end the scan.
template <typename Visit> void scan_device_list(const WCHAR* list, ULONG length, Visit&& visit) {
    ULONG remaining = length;
    const WCHAR* piece = list;
    while (remaining != 0) {
        ULONG piece_length = 0;
        while (piece_length < remaining && piece[piece_length] != WCHAR{0}) {
            ++piece_length;
        }
        if (piece_length != 0) {
            visit(piece, piece_length);
        }
        if (piece_length >= remaining - 1) {
            break;
        }
        piece += piece_length + 1;
        remaining -= piece_length + 1;
    }
}

// The configuration manager's name for a result ("buffer_small", ...),
// "invalid_rc" above 0x3B. Static storage.
const char* configret_name(CONFIGRET result) noexcept;

} // namespace velnor
