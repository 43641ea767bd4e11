// Opening a board by its index, and the file-open helper beneath it.
#pragma once

#include "device/unique_handle.h"
#include "platform/os.h"

#include <cstddef>
#include <initializer_list>

namespace velnor {

// Opens the board at position index of the present list. Throws: -3 for an
// index past the end, -1 for a null handle from the system, the system's
// error for a failed CreateFileW, the discovery failure unchanged.
unique_handle open_device_by_index(std::size_t index);

// CreateFileW with each flag set ORed together and FILE_ATTRIBUTE_NORMAL
// added; throws the system's error ("CreateFileW failed") on
// INVALID_HANDLE_VALUE. A null handle is returned as it came.
unique_handle open_file(const WCHAR* path, std::initializer_list<DWORD> access,
                        std::initializer_list<DWORD> share_modes, DWORD disposition,
                        std::initializer_list<DWORD> flags);

} // namespace velnor
