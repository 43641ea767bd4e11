#include "firmware_image.h"

#include "errors.h"
#include "text_escape.h"

#include <velnor_board_protocol.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace velnorctl {

namespace {

static_assert(image_header_size == VLB_IMAGE_HEADER_SIZE, "the tool's header size is the board's");

uint32_t get_u32(const uint8_t* at) {
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

std::string hex32(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(value));
    return text;
}

bool parse_number(const std::string& text, uint32_t& value) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    uint64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        result = result * 10 + static_cast<uint64_t>(c - '0');
    }
    if (result > std::numeric_limits<uint32_t>::max()) {
        return false;
    }
    value = static_cast<uint32_t>(result);
    return true;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// The run of digits at text[at], without its leading zeros ("0" for zeros only).
std::string digit_run(const std::string& text, size_t& at) {
    const size_t start = at;
    while (at < text.size() && is_digit(text[at])) {
        ++at;
    }
    const size_t first = std::min(text.find_first_not_of('0', start), at);
    return first == at ? (at > start ? "0" : "") : text.substr(first, at - first);
}

std::string numbers_text(const image_version_t& version) {
    return std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
           std::to_string(version.patch);
}

} // namespace

bool text_agrees_with_numbers(const image_version_t& version) {
    const std::string& text = version.text;
    const uint32_t numbers[] = {version.major, version.minor, version.patch};
    size_t at = 0;
    bool agrees = true;
    for (int part = 0; part < 3; ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.') {
                return true; // no leading version: nothing to contradict
            }
            ++at;
        }
        const std::string digits = digit_run(text, at);
        if (digits.empty()) {
            return true;
        }
        agrees = agrees && digits == std::to_string(numbers[part]);
    }
    return agrees;
}

uint32_t crc32(const uint8_t* data, size_t length) noexcept {
    return vlb_crc32(0, data, length);
}

image_version_t parse_image_version(const std::string& text) {
    image_version_t version;
    const size_t first = text.find('.');
    const size_t second = first == std::string::npos ? first : text.find('.', first + 1);
    if (second == std::string::npos || !parse_number(text.substr(0, first), version.major) ||
        !parse_number(text.substr(first + 1, second - first - 1), version.minor) ||
        !parse_number(text.substr(second + 1), version.patch)) {
        throw tool_error_t(exit_code_t::usage,
                           "version '" + printable(text) + "' is not MAJOR.MINOR.PATCH");
    }
    version.text = text;
    return version;
}

std::vector<uint8_t> pack_image(const image_version_t& version,
                                const std::vector<uint8_t>& payload) {
    if (version.text.size() > VLB_TEXT_SIZE) {
        throw tool_error_t(exit_code_t::usage, "version text '" + printable(version.text) +
                                                   "' is longer than 32 characters");
    }
    if (!text_agrees_with_numbers(version)) {
        throw tool_error_t(exit_code_t::usage, "version text '" + printable(version.text) +
                                                   "' names another version than " +
                                                   numbers_text(version));
    }
    std::vector<uint8_t> image(image_header_size + payload.size(), 0);
    switch (vlb_image_write_header(image.data(), version.major, version.minor, version.patch,
                                   version.text.c_str(), payload.data(), payload.size())) {
    case VLB_IMAGE_OK:
        break;
    case VLB_IMAGE_TEXT_TOO_LONG:
        throw tool_error_t(exit_code_t::usage, "version text '" + printable(version.text) +
                                                   "' is longer than 32 characters");
    default:
        throw tool_error_t(exit_code_t::usage, "payload too large for an image");
    }
    std::copy(payload.begin(), payload.end(), image.begin() + image_header_size);
    return image;
}

image_info_t check_image_header(const uint8_t* bytes, size_t available, uint64_t image_size) {
    auto bad = [](const std::string& why) {
        return tool_error_t(exit_code_t::file, "bad image: " + why);
    };
    vlb_image_header header{};
    switch (vlb_image_read_header(bytes, available, image_size, &header)) {
    case VLB_IMAGE_OK:
        break;
    case VLB_IMAGE_SHORT_HEADER:
        throw bad(std::to_string(image_size) + " bytes, shorter than the 64-byte header");
    case VLB_IMAGE_BAD_MAGIC:
        throw bad("no VLFW magic");
    case VLB_IMAGE_BAD_HEADER_VERSION:
        throw bad("header version " + std::to_string(get_u32(bytes + 4)) + " (expected 1)");
    case VLB_IMAGE_BAD_RESERVED:
        throw bad("reserved header word is not zero");
    case VLB_IMAGE_TOO_LARGE:
        throw bad("header gives a " + std::to_string(get_u32(bytes + 52)) +
                  "-byte payload, more than the board accepts (" +
                  std::to_string(VLB_IMAGE_PAYLOAD_MAX) + ")");
    default:
        throw bad("header gives a " + std::to_string(get_u32(bytes + 52)) +
                  "-byte payload, the file holds " +
                  std::to_string(image_size - image_header_size));
    }
    image_info_t info;
    info.version.major = header.major;
    info.version.minor = header.minor;
    info.version.patch = header.patch;
    size_t text_length = 0;
    while (text_length < VLB_TEXT_SIZE && header.text[text_length] != '\0') {
        ++text_length;
    }
    info.version.text.assign(header.text, text_length);
    info.payload_length = header.payload_length;
    info.payload_crc32 = header.payload_crc32;
    if (!text_agrees_with_numbers(info.version)) {
        throw bad("version text '" + printable(info.version.text) +
                  "' names another version than the header's " + numbers_text(info.version));
    }
    return info;
}

image_info_t check_image(const std::vector<uint8_t>& image) {
    const image_info_t info = check_image_header(image.data(), image.size(), image.size());
    const uint32_t crc = crc32(image.data() + image_header_size, image.size() - image_header_size);
    if (crc != info.payload_crc32) {
        throw tool_error_t(exit_code_t::file, "bad image: payload CRC-32 " + hex32(crc) +
                                                  " does not match the header's " +
                                                  hex32(info.payload_crc32));
    }
    return info;
}

} // namespace velnorctl
