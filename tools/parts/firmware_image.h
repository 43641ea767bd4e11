// The board's firmware image: a 64-byte "VLFW" header, then the payload.
//
//   offset  size  field
//   0       4     magic "VLFW"
//   4       4     header version, 1
//   8       12    major, minor, patch
//   20      32    version text, zero-filled (no terminator when 32 long)
//   52      4     payload length in bytes
//   56      4     CRC-32 of the payload (the zlib polynomial)
//   60      4     zero
// Every number is a little-endian 32-bit value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velnorctl {

constexpr size_t image_header_size = 64;

struct image_version_t {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t patch = 0;
    std::string text; // at most 32 characters
};

struct image_info_t {
    image_version_t version;
    uint32_t payload_length = 0;
    uint32_t payload_crc32 = 0;
};

uint32_t crc32(const uint8_t* data, size_t length) noexcept;

// "1.4.0" -> {1, 4, 0}; throws tool_error_t (usage) for anything else.
image_version_t parse_image_version(const std::string& text);

// Whether the version text agrees with the numbers: a text that begins with
// ASCII digits '.' digits '.' digits (the last run as long as it goes) names
// a version, and those three numbers (leading zeros aside) must be the
// image's, so "1.4.0-rc1" goes with 1.4.0 and "2.0.0" does not. A text that
// begins any other way names no version and agrees with any numbers.
bool text_agrees_with_numbers(const image_version_t& version);

// Header and payload as one image. Throws tool_error_t (usage) for a version
// text longer than 32 characters or one that names other numbers, or a
// payload too large for the header.
std::vector<uint8_t> pack_image(const image_version_t& version,
                                const std::vector<uint8_t>& payload);

// Checks the header at the start of an image of image_size bytes, of which
// the first `available` are at bytes (the rest need not have been read):
// everything but the CRC, the file's size against the payload length and the
// version text against the numbers included. Throws tool_error_t (file) naming the first fault.
image_info_t check_image_header(const uint8_t* bytes, size_t available, uint64_t image_size);

// Checks an image and reads its header; throws tool_error_t (file) naming the
// first thing that is wrong (size, magic, header version, length, CRC).
image_info_t check_image(const std::vector<uint8_t>& image);

} // namespace velnorctl
