#include "text_escape.h"

#include <cstdint>
#include <cstdio>

namespace velnorctl {

namespace {

// Length of the valid UTF-8 sequence at text[i], or 0 when it is not one.
std::size_t sequence_length(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t at) { return static_cast<uint8_t>(text[at]); };
    const uint8_t lead = byte(i);
    std::size_t length = 0;
    uint8_t low = 0x80;
    uint8_t high = 0xBF;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const uint8_t next = byte(i + k);
        if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) {
            return 0;
        }
    }
    return length;
}

void append_escaped(std::string& out, uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "\\x%02x", static_cast<unsigned>(byte));
    out += text;
}

} // namespace

std::string printable(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = sequence_length(text, i);
        const auto lead = static_cast<uint8_t>(text[i]);
        const bool control =
            (length == 1 && (lead < 0x20 || lead == 0x7F)) ||
            (length == 2 && lead == 0xC2 && static_cast<uint8_t>(text[i + 1]) < 0xA0);
        if (length == 0 || control) {
            const std::size_t bytes = length == 0 ? 1 : length;
            for (std::size_t k = 0; k < bytes; ++k) {
                append_escaped(out, static_cast<uint8_t>(text[i + k]));
            }
            i += bytes;
            continue;
        }
        out.append(text, i, length);
        i += length;
    }
    return out;
}

std::size_t display_width(const std::string& text) {
    std::size_t width = 0;
    for (const char c : text) {
        if ((static_cast<uint8_t>(c) & 0xC0) != 0x80) {
            ++width;
        }
    }
    return width;
}

} // namespace velnorctl
