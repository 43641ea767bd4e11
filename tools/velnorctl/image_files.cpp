#include "image_files.h"

#include "errors.h"
#include "files.h"
#include "firmware_image.h"
#include "text_escape.h"

#include <velnor_board_protocol.h>

namespace velnorctl {

namespace {

const std::string payload_limit = std::to_string(VLB_IMAGE_PAYLOAD_MAX);

uint32_t u32_at(const std::vector<uint8_t>& bytes, size_t offset) {
    return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 |
           uint32_t(bytes[offset + 2]) << 16 | uint32_t(bytes[offset + 3]) << 24;
}

tool_error_t bad_image(const std::string& why) {
    return tool_error_t(exit_code_t::file, "bad image: " + why);
}

} // namespace

std::vector<uint8_t> read_payload(const std::string& path) {
    const uint64_t size = regular_file_size(path);
    const std::string name = "'" + printable(path) + "'";
    if (size == 0) {
        throw tool_error_t(exit_code_t::file,
                           name + " is empty; a firmware payload holds at least 1 byte");
    }
    if (size > VLB_IMAGE_PAYLOAD_MAX) {
        throw tool_error_t(exit_code_t::file, name + " holds " + std::to_string(size) +
                                                  " bytes; a board accepts a payload of at "
                                                  "most " +
                                                  payload_limit + " bytes");
    }
    return read_prefix(path, size);
}

std::vector<uint8_t> read_image(const std::string& path) {
    const uint64_t size = regular_file_size(path);
    const std::vector<uint8_t> header = read_prefix(path, VLB_IMAGE_HEADER_SIZE);
    if (header.size() < VLB_IMAGE_HEADER_SIZE) {
        check_image(header); // names what is wrong with a short file
    }
    const uint32_t payload = u32_at(header, offsetof(vlb_image_header, payload_length));
    if (payload > VLB_IMAGE_PAYLOAD_MAX) {
        throw bad_image("the header gives a " + std::to_string(payload) +
                        "-byte payload; a board accepts at most " + payload_limit + " bytes");
    }
    if (size != VLB_IMAGE_HEADER_SIZE + uint64_t{payload}) {
        throw bad_image(
            "header gives a " + std::to_string(payload) + "-byte payload, the file holds " +
            std::to_string(size < VLB_IMAGE_HEADER_SIZE ? 0 : size - VLB_IMAGE_HEADER_SIZE));
    }
    if (payload == 0) {
        throw bad_image("the payload is empty");
    }
    return read_prefix(path, size);
}

} // namespace velnorctl
