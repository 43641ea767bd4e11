#include "support/firmware_image.h"

#include <algorithm>
#include <stdexcept>

namespace velnor_test {

std::vector<std::uint8_t> make_image(std::uint32_t major, std::uint32_t minor, std::uint32_t patch,
                                     const std::string& text,
                                     const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> image(VLB_IMAGE_HEADER_SIZE + payload.size(), 0);
    if (vlb_image_write_header(image.data(), major, minor, patch, text.c_str(), payload.data(),
                               payload.size()) != VLB_IMAGE_OK) {
        throw std::invalid_argument("make_image: text or payload does not fit the container");
    }
    std::copy(payload.begin(), payload.end(), image.begin() + VLB_IMAGE_HEADER_SIZE);
    return image;
}

std::vector<std::uint8_t> firmware_image(std::uint32_t major, std::uint32_t minor,
                                         std::uint32_t patch, const std::string& text,
                                         std::size_t payload_length) {
    std::vector<std::uint8_t> payload(payload_length);
    std::uint32_t seed = 0x12345678u ^ major;
    for (auto& byte : payload) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(seed >> 24);
    }
    return make_image(major, minor, patch, text, payload);
}

std::vector<std::uint8_t> patterned_payload(std::size_t size) {
    std::vector<std::uint8_t> payload(size);
    for (std::size_t i = 0; i < size; ++i) {
        payload[i] = static_cast<std::uint8_t>((i * 131u + 7u) ^ (i >> 8));
    }
    return payload;
}

std::vector<update_block> update_blocks(const std::vector<std::uint8_t>& image) {
    std::vector<update_block> blocks(vlb_image_block_count(image.size()));
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        vlb_image_block(image.data(), image.size(), i, blocks[i].data());
    }
    return blocks;
}

} // namespace velnor_test
