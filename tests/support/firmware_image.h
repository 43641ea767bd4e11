// Builds firmware images in the board's container and cuts them into
// update blocks, as an application would.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace velnor_test {

// A "VLFW" image with a payload of payload_length pseudo-random bytes.
std::vector<std::uint8_t> firmware_image(std::uint32_t major, std::uint32_t minor,
                                         std::uint32_t patch, const std::string& text,
                                         std::size_t payload_length);

// 1032-byte blocks: offset, length (at most 1024), data.
std::vector<std::array<std::uint8_t, 1032>> update_blocks(const std::vector<std::uint8_t>& image);

} // namespace velnor_test
