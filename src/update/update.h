// The update room: the five firmware-update requests. The library keeps no
// update state of its own; the board decides whether a request fits its
// update state and answers with a status. Sits on the device room's
// transport.
#pragma once

#include <velnor.h>

#include <cstdint>

namespace velnor {

// What the board reports during an update: its state and the bytes received.
struct update_status_t {
    std::uint32_t state;
    std::uint32_t received;
};

void update_start(const vl_device* handle);
update_status_t update_get_status(const vl_device* handle);
// Sends one update block (its length is the request table's).
void update_write(const vl_device* handle, const std::uint8_t* block);
void update_complete(const vl_device* handle);
void update_reset(const vl_device* handle);

} // namespace velnor
