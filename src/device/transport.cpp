#include "device/transport.h"

#include "error/error_category.h"
#include "error/system_failure.h"

#include <cassert>
#include <cstring>

namespace velnor {

void device_ioctl(const vl_device& device, std::uint32_t fn, const void* input,
                  std::uint32_t input_length, void* output, std::uint32_t payload_length) {
    assert(status_word_size + payload_length <= max_reply_size);
    std::array<std::uint8_t, max_reply_size> reply{};
    const auto reply_length = static_cast<DWORD>(status_word_size + payload_length);
    DWORD bytes_returned = 0;
    const BOOL ok =
        os::DeviceIoControl(device.os_handle, control_code(fn), const_cast<void*>(input),
                            input_length, reply.data(), reply_length, &bytes_returned, nullptr);
    if (!ok) {
        raise_last_error("DeviceIoControl failed");
    }
    std::int32_t status = 0;
    std::memcpy(&status, reply.data(), sizeof status);
    if (status != 0) {
        raise(status, "IOCTL failed");
    }
    if (payload_length != 0) {
        std::memcpy(output, reply.data() + status_word_size, payload_length);
    }
}

void send_request(const vl_device* handle, request fn, const void* input, void* output) {
    const vl_device& device = require_device(handle);
    const auto number = static_cast<std::uint32_t>(fn);
    const request_layout_t& layout = request_table[number];
    device_ioctl(device, number, input, layout.input_length, output, layout.payload_length);
}

} // namespace velnor
