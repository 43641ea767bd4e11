#include "support/firmware_image.h"

#include <algorithm>
#include <cstring>

namespace velnor_test {

namespace {

std::uint32_t crc32(const std::vector<std::uint8_t>& bytes, std::size_t from) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = from; i < bytes.size(); ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return crc ^ 0xFFFFFFFFu;
}

void put32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

} // namespace

std::vector<std::uint8_t> firmware_image(std::uint32_t major, std::uint32_t minor,
                                         std::uint32_t patch, const std::string& text,
                                         std::size_t payload_length) {
    std::vector<std::uint8_t> image(64 + payload_length, 0);
    std::uint32_t seed = 0x12345678u ^ major;
    for (std::size_t i = 64; i < image.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        image[i] = static_cast<std::uint8_t>(seed >> 24);
    }
    std::memcpy(image.data(), "VLFW", 4);
    put32(&image[4], 1);
    put32(&image[8], major);
    put32(&image[12], minor);
    put32(&image[16], patch);
    std::memcpy(&image[20], text.data(), std::min<std::size_t>(text.size(), 32));
    put32(&image[52], static_cast<std::uint32_t>(payload_length));
    put32(&image[56], crc32(image, 64));
    return image;
}

std::vector<std::array<std::uint8_t, 1032>> update_blocks(const std::vector<std::uint8_t>& image) {
    std::vector<std::array<std::uint8_t, 1032>> blocks;
    for (std::size_t offset = 0; offset < image.size(); offset += 1024) {
        std::array<std::uint8_t, 1032> block{};
        const std::size_t length = std::min<std::size_t>(1024, image.size() - offset);
        put32(&block[0], static_cast<std::uint32_t>(offset));
        put32(&block[4], static_cast<std::uint32_t>(length));
        std::memcpy(&block[8], &image[offset], length);
        blocks.push_back(block);
    }
    return blocks;
}

} // namespace velnor_test
