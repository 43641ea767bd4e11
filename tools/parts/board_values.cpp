#include "board_values.h"

#include "errors.h"
#include "frequency_parse.h"
#include "text_escape.h"

#include <velnor_board_protocol.h>

#include <cctype>
#include <cstdio>

namespace velnorctl {

const value_names_t& led_names() {
    static const value_names_t names = {
        {"off", VL_LED_OFF}, {"on", VL_LED_ON}, {"blink", VL_LED_BLINK}};
    return names;
}

const value_names_t& polarity_names() {
    static const value_names_t names = {{"rising", VL_TRIGGER_RISING},
                                        {"falling", VL_TRIGGER_FALLING}};
    return names;
}

const value_names_t& trigger_status_names() {
    static const value_names_t names = {{"disarmed", VL_TRIGGER_DISARMED},
                                        {"armed", VL_TRIGGER_ARMED},
                                        {"triggered", VL_TRIGGER_TRIGGERED}};
    return names;
}

const value_names_t& trigger_command_names() {
    static const value_names_t names = {{"disarm", VL_TRIGGER_DISARMED},
                                        {"arm", VL_TRIGGER_ARMED},
                                        {"disarmed", VL_TRIGGER_DISARMED},
                                        {"armed", VL_TRIGGER_ARMED}};
    return names;
}

const value_names_t& clock_mode_names() {
    static const value_names_t names = {{"internal", VL_CLOCK_MODE_INTERNAL},
                                        {"external", VL_CLOCK_MODE_EXTERNAL}};
    return names;
}

const value_names_t& update_state_names() {
    static const value_names_t names = {
        {"idle", VL_UPDATE_IDLE},   {"erasing", VL_UPDATE_ERASING},
        {"ready", VL_UPDATE_READY}, {"verifying", VL_UPDATE_VERIFYING},
        {"done", VL_UPDATE_DONE},   {"failed", VL_UPDATE_FAILED}};
    return names;
}

std::string describe_clock(const vl_clock& clock) {
    const std::string mode = name_of(clock.mode, clock_mode_names());
    const bool named = mode != std::to_string(clock.mode);
    return (named ? mode : "mode " + mode) + ", " + std::to_string(clock.frequency_hz) + " Hz (" +
           format_frequency(clock.frequency_hz) + ")";
}

std::string name_of(uint32_t value, const value_names_t& names) {
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
        throw tool_error_t(exit_code_t::usage, what + " '" + printable(text) +
                                                   "' is not a number from 0 to " +
                                                   std::to_string(maximum));
    }
    return value;
}

uint32_t parse_value(const std::string& text, const value_names_t& names, const std::string& what) {
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
    throw tool_error_t(exit_code_t::usage, what + " '" + printable(text) + "' is not one of " +
                                               expected + " or a number");
}

std::string hex_text(uint64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llx", digits, static_cast<unsigned long long>(value));
    return text;
}

namespace {

// A number up to maximum, else a usage error giving the range.
uint32_t parse_in_range(const std::string& text, uint32_t maximum, const std::string& what,
                        int digits) {
    const std::string range = hex_text(0, digits) + " to " + hex_text(maximum, digits);
    uint64_t value = 0;
    try {
        value = parse_number(text, 0xFFFFFFFFFFFFull, what);
    } catch (const tool_error_t&) {
        throw tool_error_t(exit_code_t::usage,
                           what + " '" + printable(text) + "' is not a number from " + range);
    }
    if (value > maximum) {
        throw tool_error_t(exit_code_t::usage,
                           what + " " + hex_text(value, digits) + " is outside " + range);
    }
    return static_cast<uint32_t>(value);
}

} // namespace

uint32_t parse_register_address(const std::string& text) {
    return parse_in_range(text, VLB_REGISTER_MAX, "register address", 3);
}

uint32_t parse_register_value(const std::string& text) {
    return parse_in_range(text, VLB_REGISTER_VALUE_MAX, "register value", 2);
}

int64_t checked_clock_frequency(int64_t hertz, uint32_t mode) {
    if (mode == VL_CLOCK_MODE_INTERNAL && hertz < 0) {
        throw tool_error_t(exit_code_t::usage, "frequency " + std::to_string(hertz) +
                                                   " Hz is negative; the board synthesises "
                                                   "positive frequencies only");
    }
    if (mode == VL_CLOCK_MODE_EXTERNAL &&
        (hertz < VLB_EXTERNAL_MIN_HZ || hertz > VLB_EXTERNAL_MAX_HZ)) {
        throw tool_error_t(exit_code_t::usage, "external reference " + std::to_string(hertz) +
                                                   " Hz is outside what the board accepts, " +
                                                   format_frequency(VLB_EXTERNAL_MIN_HZ) + " to " +
                                                   format_frequency(VLB_EXTERNAL_MAX_HZ) + " (" +
                                                   std::to_string(VLB_EXTERNAL_MIN_HZ) + " to " +
                                                   std::to_string(VLB_EXTERNAL_MAX_HZ) + " Hz)");
    }
    return hertz;
}

} // namespace velnorctl
