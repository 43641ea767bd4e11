// firmware_image.h - builds "VLFW" firmware images and cuts them into update blocks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

using update_block = std::array<uint8_t, 1032>;

// CRC-32 as zlib computes it.
uint32_t crc32(const uint8_t* data, size_t length);

// A 64-byte header (magic, version 1, major/minor/patch, text, payload length,
// payload CRC-32, zero) followed by the payload.
std::vector<uint8_t> make_image(uint32_t major, uint32_t minor, uint32_t patch,
                                const std::string& text, const std::vector<uint8_t>& payload);

// Blocks of up to 1024 image bytes: little-endian offset, length, data.
std::vector<update_block> split_into_blocks(const std::vector<uint8_t>& image);

// A payload of the given size whose bytes follow a fixed pattern.
std::vector<uint8_t> patterned_payload(size_t size);

} // namespace e2e
