// Firmware payloads and images read from files, with the board's limits
// applied before the file is read whole: a payload of 1 byte up to the
// largest the board accepts, an image whose header agrees with the file's
// size. Failures throw tool_error_t (file) and print nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velnorctl {

std::vector<uint8_t> read_payload(const std::string& path);

// The whole image, read only after its header and the file's size agree;
// its CRC-32 is left to check_image.
std::vector<uint8_t> read_image(const std::string& path);

} // namespace velnorctl
