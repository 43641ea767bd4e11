#include "image_files.h"

#include "errors.h"
#include "files.h"
#include "firmware_image.h"
#include "text_escape.h"

#include <velnor_board_protocol.h>

namespace velnorctl {

namespace {

const std::string payload_limit = std::to_string(VLB_IMAGE_PAYLOAD_MAX);

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
    const image_info_t info = check_image_header(header.data(), header.size(), size);
    if (info.payload_length == 0) {
        throw tool_error_t(exit_code_t::file, "bad image: the payload is empty");
    }
    return read_prefix(path, size);
}

} // namespace velnorctl
