// Opening and closing a board (the operations behind vl_device_open and
// vl_device_close), and the file-open helper beneath them.
#pragma once

#include "device/device.h"
#include "device/unique_file_handle.h"
#include "platform/os.h"

#include <cstddef>
#include <initializer_list>
#include <memory>

namespace velnor {

// A new record owning the board at position index: -6 when the record
// cannot be allocated (before the board is looked for), else what
// open_device_by_index throws.
std::unique_ptr<vl_device> open_device(std::size_t index);

// Closes the board's file handle, then frees the record. A null handle is
// refused (-4, "handle is null"); a failed CloseHandle raises the system's
// error ("CloseHandle") and leaves the record alive.
void close_device(vl_device* handle);

// Opens the board at position index of the present list. Throws: -3 for an
// index past the end, -1 for a null handle from the system, the system's
// error for a failed CreateFileW, the discovery failure unchanged.
unique_file_handle_t open_device_by_index(std::size_t index);

// CreateFileW with each flag set ORed together and FILE_ATTRIBUTE_NORMAL
// added; throws the system's error ("CreateFileW failed") on
// INVALID_HANDLE_VALUE. A null handle is returned as it came.
unique_file_handle_t open_file(const WCHAR* path, std::initializer_list<DWORD> access,
                               std::initializer_list<DWORD> share_modes, DWORD disposition,
                               std::initializer_list<DWORD> flags);

} // namespace velnor
