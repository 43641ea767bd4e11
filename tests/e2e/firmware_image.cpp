#include "firmware_image.h"

#include <algorithm>
#include <cstring>

namespace e2e {
namespace {

void put_u32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

} // namespace

uint32_t crc32(const uint8_t* data, size_t length) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

std::vector<uint8_t> make_image(uint32_t major, uint32_t minor, uint32_t patch,
                                const std::string& text, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> image(64 + payload.size(), 0);
    std::memcpy(image.data(), "VLFW", 4);
    put_u32(&image[4], 1);
    put_u32(&image[8], major);
    put_u32(&image[12], minor);
    put_u32(&image[16], patch);
    std::memcpy(&image[20], text.data(), std::min<size_t>(text.size(), 32));
    put_u32(&image[52], static_cast<uint32_t>(payload.size()));
    put_u32(&image[56], crc32(payload.data(), payload.size()));
    put_u32(&image[60], 0);
    std::copy(payload.begin(), payload.end(), image.begin() + 64);
    return image;
}

std::vector<update_block> split_into_blocks(const std::vector<uint8_t>& image) {
    std::vector<update_block> blocks;
    for (size_t offset = 0; offset < image.size(); offset += 1024) {
        size_t length = std::min<size_t>(1024, image.size() - offset);
        update_block block{};
        put_u32(&block[0], static_cast<uint32_t>(offset));
        put_u32(&block[4], static_cast<uint32_t>(length));
        std::memcpy(&block[8], &image[offset], length);
        blocks.push_back(block);
    }
    return blocks;
}

std::vector<uint8_t> patterned_payload(size_t size) {
    std::vector<uint8_t> payload(size);
    for (size_t i = 0; i < size; ++i) {
        payload[i] = static_cast<uint8_t>((i * 131u + 7u) ^ (i >> 8));
    }
    return payload;
}

} // namespace e2e
