#include "update/update.h"

#include "device/transport.h"

namespace velnor {

void update_start(const vl_device* handle) {
    send_request(handle, request::update_start, nullptr, nullptr);
}

update_status_t update_get_status(const vl_device* handle) {
    std::uint32_t values[2] = {0, 0};
    send_request(handle, request::update_get_status, nullptr, values);
    return {values[0], values[1]};
}

void update_write(const vl_device* handle, const std::uint8_t* block) {
    send_request(handle, request::update_write, block, nullptr);
}

void update_complete(const vl_device* handle) {
    send_request(handle, request::update_complete, nullptr, nullptr);
}

void update_reset(const vl_device* handle) {
    send_request(handle, request::update_reset, nullptr, nullptr);
}

} // namespace velnor
