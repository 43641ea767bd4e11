#include "board_values.h"

#include "errors.h"
#include "frequency_parse.h"

#include <cctype>

namespace velnorctl {

const ValueNames& led_names() {
    static const ValueNames names = {{"off", 0}, {"on", 1}, {"blink", 2}};
    return names;
}

const ValueNames& polarity_names() {
    static const ValueNames names = {{"rising", 0}, {"falling", 1}};
    return names;
}

const ValueNames& trigger_status_names() {
    static const ValueNames names = {{"disarmed", 0}, {"armed", 1}, {"triggered", 2}};
    return names;
}

const ValueNames& trigger_command_names() {
    static const ValueNames names = {{"disarm", 0}, {"arm", 1}, {"disarmed", 0}, {"armed", 1}};
    return names;
}

const ValueNames& clock_mode_names() {
    static const ValueNames names = {{"internal", 0}, {"external", 1}};
    return names;
}

const ValueNames& update_state_names() {
    static const ValueNames names = {{"idle", 0},      {"erasing", 1}, {"ready", 2},
                                     {"verifying", 3}, {"done", 4},    {"failed", 5}};
    return names;
}

std::string describe_clock(const vl_clock& clock) {
    const std::string mode = name_of(clock.mode, clock_mode_names());
    const bool named = mode != std::to_string(clock.mode);
    return (named ? mode : "mode " + mode) + ", " + std::to_string(clock.frequency_hz) + " Hz (" +
           format_frequency(clock.frequency_hz) + ")";
}

std::string name_of(uint32_t value, const ValueNames& names) {
    for (const auto& [name, named] : names) {
        if (named == value) {
            return name;
        }
    }
    return std::to_string(value);
}

uint64_t parse_number(const std::string& text, uint64_t maximum, const std::string& what) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const uint64_t base = hex ? 16 : 10;
    const size_t start = hex ? 2 : 0;
    uint64_t value = 0;
    bool valid = text.size() > start;
    for (size_t i = start; valid && i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        uint64_t digit = 0;
        if (std::isdigit(c)) {
            digit = c - '0';
        } else if (hex && std::isxdigit(c)) {
            digit = static_cast<uint64_t>(std::tolower(c) - 'a' + 10);
        } else {
            valid = false;
            break;
        }
        if (value > (maximum - digit) / base) {
            valid = false;
            break;
        }
        value = value * base + digit;
    }
    if (!valid) {
        throw ToolError(Exit::usage, what + " '" + text + "' is not a number from 0 to " +
                                         std::to_string(maximum));
    }
    return value;
}

uint32_t parse_value(const std::string& text, const ValueNames& names, const std::string& what) {
    for (const auto& [name, value] : names) {
        if (name == text) {
            return value;
        }
    }
    if (!text.empty() && std::isdigit(static_cast<unsigned char>(text[0]))) {
        return static_cast<uint32_t>(parse_number(text, 0xFFFFFFFFu, what));
    }
    std::string expected;
    for (const auto& [name, value] : names) {
        expected += (expected.empty() ? "" : ", ") + name;
    }
    throw ToolError(Exit::usage,
                    what + " '" + text + "' is not one of " + expected + " or a number");
}

} // namespace velnorctl
