#include "firmware_image.h"

#include "errors.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <limits>

namespace velnorctl {

namespace {

constexpr uint32_t kHeaderVersion = 1;
constexpr size_t kTextOffset = 20;
constexpr size_t kTextSize = 32;

constexpr std::array<uint32_t, 256> make_crc_table() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) {
            c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[i] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = make_crc_table();

void put_u32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

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

} // namespace

uint32_t crc32(const uint8_t* data, size_t length) noexcept {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) {
        crc = kCrcTable[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
    }
    return ~crc;
}

ImageVersion parse_image_version(const std::string& text) {
    ImageVersion version;
    const size_t first = text.find('.');
    const size_t second = first == std::string::npos ? first : text.find('.', first + 1);
    if (second == std::string::npos || !parse_number(text.substr(0, first), version.major) ||
        !parse_number(text.substr(first + 1, second - first - 1), version.minor) ||
        !parse_number(text.substr(second + 1), version.patch)) {
        throw ToolError(Exit::usage, "version '" + text + "' is not MAJOR.MINOR.PATCH");
    }
    version.text = text;
    return version;
}

std::vector<uint8_t> pack_image(const ImageVersion& version, const std::vector<uint8_t>& payload) {
    if (version.text.size() > kTextSize) {
        throw ToolError(Exit::usage,
                        "version text '" + version.text + "' is longer than 32 characters");
    }
    if (payload.size() > std::numeric_limits<uint32_t>::max() - kImageHeaderSize) {
        throw ToolError(Exit::usage, "payload too large for an image");
    }
    std::vector<uint8_t> image(kImageHeaderSize + payload.size(), 0);
    std::memcpy(image.data(), "VLFW", 4);
    put_u32(&image[4], kHeaderVersion);
    put_u32(&image[8], version.major);
    put_u32(&image[12], version.minor);
    put_u32(&image[16], version.patch);
    std::memcpy(&image[kTextOffset], version.text.data(), version.text.size());
    put_u32(&image[52], static_cast<uint32_t>(payload.size()));
    put_u32(&image[56], crc32(payload.data(), payload.size()));
    std::copy(payload.begin(), payload.end(), image.begin() + kImageHeaderSize);
    return image;
}

ImageInfo check_image(const std::vector<uint8_t>& image) {
    auto bad = [](const std::string& why) { return ToolError(Exit::file, "bad image: " + why); };
    if (image.size() < kImageHeaderSize) {
        throw bad(std::to_string(image.size()) + " bytes, shorter than the 64-byte header");
    }
    if (std::memcmp(image.data(), "VLFW", 4) != 0) {
        throw bad("no VLFW magic");
    }
    const uint8_t* header = image.data();
    if (get_u32(header + 4) != kHeaderVersion) {
        throw bad("header version " + std::to_string(get_u32(header + 4)) + " (expected 1)");
    }
    ImageInfo info;
    info.version.major = get_u32(header + 8);
    info.version.minor = get_u32(header + 12);
    info.version.patch = get_u32(header + 16);
    const char* text = reinterpret_cast<const char*>(header + kTextOffset);
    size_t text_length = 0;
    while (text_length < kTextSize && text[text_length] != '\0') {
        ++text_length;
    }
    info.version.text.assign(text, text_length);
    info.payload_length = get_u32(header + 52);
    info.payload_crc32 = get_u32(header + 56);
    const size_t actual = image.size() - kImageHeaderSize;
    if (info.payload_length != actual) {
        throw bad("header gives a " + std::to_string(info.payload_length) +
                  "-byte payload, the file holds " + std::to_string(actual));
    }
    if (get_u32(header + 60) != 0) {
        throw bad("reserved header word is not zero");
    }
    const uint32_t crc = crc32(header + kImageHeaderSize, actual);
    if (crc != info.payload_crc32) {
        throw bad("payload CRC-32 " + hex32(crc) + " does not match the header's " +
                  hex32(info.payload_crc32));
    }
    return info;
}

} // namespace velnorctl
