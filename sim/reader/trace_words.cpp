#include "trace_words.h"

#include <velnor.h>
#include <velnor_board_protocol.h>
#include <velnor_trace_format.h>

#include <cstdio>
#include <utility>

namespace velnor::sim {
namespace {

std::uint32_t get32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) |
           (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[at + 2]) << 16) |
           (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

using names_t = std::pair<std::uint32_t, const char*>;

/* The value's name from the table, or the number in decimal. */
template <std::size_t N> std::string named(std::uint32_t value, const names_t (&names)[N]) {
    for (const auto& [number, name] : names) {
        if (number == value) {
            return name;
        }
    }
    return std::to_string(value);
}

constexpr names_t led_names[] = {{VL_LED_OFF, "off"}, {VL_LED_ON, "on"}, {VL_LED_BLINK, "blink"}};
constexpr names_t polarity_names[] = {{VL_TRIGGER_RISING, "rising"},
                                      {VL_TRIGGER_FALLING, "falling"}};
constexpr names_t trigger_names[] = {{VL_TRIGGER_DISARMED, "disarmed"},
                                     {VL_TRIGGER_ARMED, "armed"},
                                     {VL_TRIGGER_TRIGGERED, "triggered"}};
constexpr names_t clock_mode_names[] = {{VL_CLOCK_MODE_INTERNAL, "internal"},
                                        {VL_CLOCK_MODE_EXTERNAL, "external"}};
constexpr names_t configret_names[] = {{0x00, "CR_SUCCESS"},
                                       {0x03, "CR_INVALID_POINTER"},
                                       {0x13, "CR_FAILURE"},
                                       {0x1A, "CR_BUFFER_SMALL"}};

std::string clock_words(const std::vector<std::uint8_t>& in) {
    const std::uint32_t mode = get32(in, 0);
    const std::uint64_t hz = get32(in, 8) | (std::uint64_t{get32(in, 12)} << 32);
    const std::string name = named(mode, clock_mode_names);
    return (name == std::to_string(mode) ? "mode " + name : name) + ", " +
           std::to_string(static_cast<std::int64_t>(hz)) + " Hz";
}

std::string failed(const trace_record_t& record) {
    return "failed, error " + std::to_string(record.last_error);
}

std::string utf16_text(const std::vector<std::uint8_t>& utf16) {
    std::string text;
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
        const auto unit = static_cast<unsigned>(utf16[i] | (utf16[i + 1] << 8));
        text.push_back(unit >= 0x20 && unit < 0x7F ? static_cast<char>(unit) : '?');
    }
    return text;
}

} // namespace

std::string trace_hex(std::uint64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llx", digits, static_cast<unsigned long long>(value));
    return text;
}

std::string trace_hex_bytes(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char digits[3];
    for (std::size_t i = 0; i < bytes.size() && i < 16; ++i) {
        std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
        text += digits;
    }
    if (bytes.size() > 16) {
        text += "... (" + std::to_string(bytes.size()) + " bytes)";
    }
    return text;
}

std::optional<std::uint32_t> trace_request_of(std::uint32_t code) {
    const std::uint32_t first = VLB_CONTROL_CODE(0);
    if (code < first || (code - first) % 4 != 0 || (code - first) / 4 >= VLB_REQUEST_COUNT) {
        return std::nullopt;
    }
    return (code - first) / 4;
}

std::string trace_request_words(std::uint32_t code) {
    const std::optional<std::uint32_t> fn = trace_request_of(code);
    return fn ? vlb_request_name(*fn) : trace_hex(code, 8);
}

std::string trace_input_words(std::uint32_t code, const std::vector<std::uint8_t>& in) {
    const std::optional<std::uint32_t> fn = trace_request_of(code);
    if (in.empty()) {
        return "-";
    }
    if (!fn || static_cast<int>(in.size()) != vlb_request_input_length(*fn)) {
        return trace_hex_bytes(in);
    }
    switch (*fn) {
    case VLB_REQ_SET_LED:
        return named(get32(in, 0), led_names);
    case VLB_REQ_SET_TRIGGER_POLARITY:
        return named(get32(in, 0), polarity_names);
    case VLB_REQ_SET_TRIGGER_STATUS:
        return named(get32(in, 0), trigger_names);
    case VLB_REQ_SET_CLOCK:
        return clock_words(in);
    case VLB_REQ_REG_WRITE:
        return trace_hex(get32(in, 0)) + " = " + trace_hex(get32(in, 4));
    case VLB_REQ_REG_READ:
        return trace_hex(get32(in, 0));
    case VLB_REQ_UPDATE_WRITE:
        return "offset " + std::to_string(get32(in, 0)) + ", " + std::to_string(get32(in, 4)) +
               " bytes";
    default:
        return trace_hex_bytes(in);
    }
}

std::string trace_configret_words(std::uint32_t value) {
    const std::string name = named(value, configret_names);
    return name == std::to_string(value) ? "CONFIGRET " + trace_hex(value, 2) : name;
}

std::string trace_result_words(const trace_record_t& record, std::optional<std::int32_t>& status) {
    status.reset();
    switch (record.kind) {
    case VLTR_LIST_SIZE:
        return trace_configret_words(record.result) +
               (record.result == 0 ? ", " + std::to_string(record.p[1]) + " characters" : "");
    case VLTR_LIST_FETCH:
        return trace_configret_words(record.result);
    case VLTR_CREATE_FILE:
        return record.result != 0 ? "handle " + trace_hex(record.handle) : failed(record);
    case VLTR_CLOSE_HANDLE:
        return record.result != 0 ? "closed" : failed(record);
    case VLTR_IO_CONTROL:
        if (record.result == 0) {
            return failed(record);
        }
        if (record.out.size() < VLB_STATUS_WORD_SIZE) {
            return "reply of " + std::to_string(record.out.size()) + " bytes, no status";
        }
        status = static_cast<std::int32_t>(get32(record.out, 0));
        return std::string(vl_rc_name(*status)) + " (" + std::to_string(*status) + ")";
    default: /* GetLastError */
        return std::to_string(record.result);
    }
}

std::string trace_call_words(std::uint32_t kind, const std::uint32_t* p,
                             const std::vector<std::uint8_t>& in) {
    std::string text = trace_kind_name(kind);
    switch (kind) {
    case VLTR_IO_CONTROL: {
        const std::string input = trace_input_words(p[0], in);
        text += " " + trace_request_words(p[0]) + (input == "-" ? "" : " " + input) +
                ", reply capacity " + std::to_string(p[2]);
        break;
    }
    case VLTR_CREATE_FILE:
        text += " of " + utf16_text(in);
        break;
    case VLTR_LIST_FETCH:
        text += " into " + std::to_string(p[1]) + " characters";
        break;
    default:
        break;
    }
    return text;
}

} // namespace velnor::sim
