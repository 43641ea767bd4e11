// Builds firmware images in the board's container and cuts them into update
// blocks, as an application would, with the board's own packer and splitter.
// One builder for the library suites and the end-to-end tests.
#pragma once

#include <velnor_board_protocol.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velnor_test {

using update_block = std::array<std::uint8_t, VLB_BLOCK_SIZE>;

// The 64-byte header (its CRC-32 computed here) followed by payload. text is
// at most 32 characters.
std::vector<std::uint8_t> make_image(std::uint32_t major, std::uint32_t minor, std::uint32_t patch,
                                     const std::string& text,
                                     const std::vector<std::uint8_t>& payload);

// A "VLFW" image with a payload of payload_length pseudo-random bytes (the
// same bytes for the same major).
std::vector<std::uint8_t> firmware_image(std::uint32_t major, std::uint32_t minor,
                                         std::uint32_t patch, const std::string& text,
                                         std::size_t payload_length);

// A payload of the given size whose bytes follow a fixed pattern.
std::vector<std::uint8_t> patterned_payload(std::size_t size);

// 1032-byte blocks: offset, length (at most 1024), data, the unused tail zero.
std::vector<update_block> update_blocks(const std::vector<std::uint8_t>& image);

} // namespace velnor_test
