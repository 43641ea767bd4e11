#include "panel_token.h"

#include <array>
#include <cstdint>
#include <random>

namespace velnor_panel {

std::string new_token() {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    // std::random_device draws from the system's generator (getrandom on
    // Linux, rand_s on Windows), not from a seeded sequence.
    std::random_device device;
    std::array<uint8_t, 33> bytes{};
    for (size_t at = 0; at < bytes.size(); at += 3) {
        const uint32_t word = device();
        bytes[at] = static_cast<uint8_t>(word);
        bytes[at + 1] = static_cast<uint8_t>(word >> 8);
        bytes[at + 2] = static_cast<uint8_t>(word >> 16);
    }
    // 33 bytes are 264 bits: 44 characters of 6 bits; the last is dropped,
    // leaving 258 bits, of which every one is random.
    std::string token;
    for (size_t at = 0; at < bytes.size(); at += 3) {
        const uint32_t group =
            (uint32_t{bytes[at]} << 16) | (uint32_t{bytes[at + 1]} << 8) | uint32_t{bytes[at + 2]};
        for (int shift = 18; shift >= 0; shift -= 6) {
            token += alphabet[(group >> shift) & 0x3Fu];
        }
    }
    token.resize(43);
    return token;
}

bool same_token(const std::string& given, const std::string& token) noexcept {
    // Every byte of the token is compared whatever the given text's length,
    // so the time taken says nothing about the token.
    unsigned difference = given.size() == token.size() ? 0u : 1u;
    for (size_t at = 0; at < token.size(); ++at) {
        const char other = at < given.size() ? given[at] : '\0';
        difference |= static_cast<unsigned char>(other ^ token[at]);
    }
    return difference == 0;
}

} // namespace velnor_panel
