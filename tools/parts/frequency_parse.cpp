#include "frequency_parse.h"

#include <cctype>
#include <limits>

namespace velnorctl {

namespace {

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// The power of ten a unit suffix stands for, or -1 for an unknown suffix.
int unit_exponent(const std::string& suffix) {
    // A lower-case m alone, or as written in mHz, is milli: not a frequency
    // the board takes, and never to be read as mega.
    if (suffix == "m" || suffix == "mHz") {
        return -1;
    }
    const std::string unit = lower(suffix);
    if (unit.empty() || unit == "hz") {
        return 0;
    }
    if (unit == "k" || unit == "khz") {
        return 3;
    }
    if (unit == "m" || unit == "mhz") {
        return 6;
    }
    if (unit == "g" || unit == "ghz") {
        return 9;
    }
    return -1;
}

} // namespace

std::optional<int64_t> parse_frequency(const std::string& text) {
    size_t i = 0;
    const size_t n = text.size();
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::string digits;
    int exponent = 0;
    bool any_digit = false;
    while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) {
        digits += text[i++];
        any_digit = true;
    }
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) {
            digits += text[i++];
            --exponent;
            any_digit = true;
        }
    }
    if (!any_digit) {
        return std::nullopt;
    }
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        bool exponent_negative = false;
        if (j < n && (text[j] == '+' || text[j] == '-')) {
            exponent_negative = text[j] == '-';
            ++j;
        }
        if (j >= n || !std::isdigit(static_cast<unsigned char>(text[j]))) {
            return std::nullopt;
        }
        int written = 0;
        while (j < n && std::isdigit(static_cast<unsigned char>(text[j]))) {
            written = written * 10 + (text[j++] - '0');
            if (written > 100) {
                return std::nullopt;
            }
        }
        exponent += exponent_negative ? -written : written;
        i = j;
    }
    while (i < n && text[i] == ' ') {
        ++i;
    }
    const int unit = unit_exponent(text.substr(i));
    if (unit < 0) {
        return std::nullopt;
    }
    exponent += unit;

    // Drop the digits that fall below one hertz; they must all be zero.
    while (exponent < 0) {
        if (digits.empty()) {
            break;
        }
        if (digits.back() != '0') {
            return std::nullopt;
        }
        digits.pop_back();
        ++exponent;
    }
    const size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        return 0;
    }
    digits.erase(0, first);
    digits.append(static_cast<size_t>(exponent), '0');
    constexpr uint64_t limit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    uint64_t value = 0;
    for (char c : digits) {
        const auto digit = static_cast<uint64_t>(c - '0');
        if (value > (limit - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    const auto hertz = static_cast<int64_t>(value);
    return negative ? -hertz : hertz;
}

std::string format_frequency(int64_t hertz) {
    static const struct {
        int64_t scale;
        const char* name;
    } units[] = {{1000000000, "GHz"}, {1000000, "MHz"}, {1000, "kHz"}, {1, "Hz"}};
    const bool negative = hertz < 0;
    const uint64_t magnitude =
        negative ? 0 - static_cast<uint64_t>(hertz) : static_cast<uint64_t>(hertz);
    for (const auto& unit : units) {
        const auto scale = static_cast<uint64_t>(unit.scale);
        if (magnitude < scale && unit.scale != 1) {
            continue;
        }
        std::string text = std::to_string(magnitude / scale);
        uint64_t rest = magnitude % scale;
        if (rest != 0) {
            std::string fraction = std::to_string(rest);
            fraction.insert(0, std::to_string(scale).size() - 1 - fraction.size(), '0');
            fraction.erase(fraction.find_last_not_of('0') + 1);
            text += "." + fraction;
        }
        return (negative ? "-" : "") + text + " " + unit.name;
    }
    return "0 Hz";
}

} // namespace velnorctl
