// The device room: finding the boards (discovery.h), opening and closing
// them (handles.h) and sending them requests (transport.h), on the OS seam.
// Everything above it reaches a board through here; it raises through the
// error room and knows nothing of the exports.
//
// This header: the record behind a vl_device handle, the board's open file
// handle and nothing else.
#pragma once

#include "platform/os.h"

#include <velnor.h>

struct vl_device {
    HANDLE os_handle;
};

namespace velnor {

// The record behind a handle; a null handle is refused with
// VL_RC_NULL_PARAMETER ("handle is null") before anything is sent.
const vl_device& require_device(const vl_device* handle);

} // namespace velnor
