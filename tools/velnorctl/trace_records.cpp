#include "trace_records.h"

#include "board_values.h"
#include "text_escape.h"

#include <velnor.h>
#include <velnor_board_protocol.h>
#include <velnor_trace_format.h>

#include <cstdio>
#include <cstring>

namespace velnorctl {

using velnor::sim::trace_record_t;
using velnor::sim::trace_t;

namespace {

uint32_t get32(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<uint32_t>(bytes[at + 2]) << 16) |
           (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

std::string hex(uint64_t value, int digits = 0) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llx", digits, static_cast<unsigned long long>(value));
    return text;
}

// The first 16 bytes in hex, and the count when there are more.
std::string hex_bytes(const std::vector<uint8_t>& bytes) {
    std::string text;
    char digits[3];
    for (size_t i = 0; i < bytes.size() && i < 16; ++i) {
        std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
        text += digits;
    }
    if (bytes.size() > 16) {
        text += "... (" + std::to_string(bytes.size()) + " bytes)";
    }
    return text;
}

// The request number of a board control code, or none for another code.
std::optional<uint32_t> request_of(uint32_t code) {
    const uint32_t first = VLB_CONTROL_CODE(0);
    if (code < first || (code - first) % 4 != 0 || (code - first) / 4 >= VLB_REQUEST_COUNT) {
        return std::nullopt;
    }
    return (code - first) / 4;
}

// A request's input as the tool's commands would name it; raw hex when its
// length is not the request's.
std::string request_input(std::optional<uint32_t> fn, const std::vector<uint8_t>& in) {
    if (in.empty()) {
        return "-";
    }
    if (!fn || static_cast<int>(in.size()) != vlb_request_input_length(*fn)) {
        return hex_bytes(in);
    }
    switch (*fn) {
    case VLB_REQ_SET_LED:
        return name_of(get32(in, 0), led_names());
    case VLB_REQ_SET_TRIGGER_POLARITY:
        return name_of(get32(in, 0), polarity_names());
    case VLB_REQ_SET_TRIGGER_STATUS:
        return name_of(get32(in, 0), trigger_status_names());
    case VLB_REQ_SET_CLOCK: {
        vl_clock clock{};
        clock.mode = get32(in, 0);
        clock.frequency_hz = static_cast<int64_t>(get32(in, 8) | (uint64_t{get32(in, 12)} << 32));
        return describe_clock(clock);
    }
    case VLB_REQ_REG_WRITE:
        return hex(get32(in, 0)) + " = " + hex(get32(in, 4));
    case VLB_REQ_REG_READ:
        return hex(get32(in, 0));
    case VLB_REQ_UPDATE_WRITE:
        return "offset " + std::to_string(get32(in, 0)) + ", " + std::to_string(get32(in, 4)) +
               " bytes";
    default:
        return hex_bytes(in);
    }
}

// A CONFIGRET by the name the configuration manager's header gives it.
std::string configret_text(uint32_t value) {
    switch (value) {
    case 0x00:
        return "CR_SUCCESS";
    case 0x03:
        return "CR_INVALID_POINTER";
    case 0x13:
        return "CR_FAILURE";
    case 0x1A:
        return "CR_BUFFER_SMALL";
    default:
        return "CONFIGRET " + hex(value, 2);
    }
}

std::string failed(const trace_record_t& record) {
    return "failed, error " + std::to_string(record.last_error);
}

std::string seconds(uint64_t ns) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu.%09llu",
                  static_cast<unsigned long long>(ns / 1000000000),
                  static_cast<unsigned long long>(ns % 1000000000));
    return text;
}

uint64_t since_first(const trace_t& trace, const trace_record_t& record) {
    const uint64_t first = trace.records.front().time_ns;
    return record.time_ns > first ? record.time_ns - first : 0;
}

std::string or_dash(const std::optional<std::string>& text) {
    return text ? *text : "-";
}

} // namespace

record_view_t view_record(const trace_record_t& record) {
    record_view_t view;
    view.call = velnor::sim::trace_kind_name(record.kind);
    if (record.interface_id != VLTR_CONFIGURATION_MANAGER_INTERFACE) {
        view.board = record.interface_id - 1;
    }
    view.input = "-";
    switch (record.kind) {
    case VLTR_LIST_SIZE:
        view.result = configret_text(record.result);
        if (record.result == 0) {
            view.result += ", " + std::to_string(record.p[1]) + " characters";
        }
        break;
    case VLTR_LIST_FETCH:
        view.input = std::to_string(record.p[1]) + " characters";
        view.result = configret_text(record.result);
        break;
    case VLTR_CREATE_FILE:
        view.result = record.result != 0 ? "handle " + hex(record.handle) : failed(record);
        break;
    case VLTR_CLOSE_HANDLE:
        view.result = record.result != 0 ? "closed" : failed(record);
        break;
    case VLTR_IO_CONTROL: {
        const uint32_t code = record.p[0];
        const std::optional<uint32_t> fn = request_of(code);
        view.control_code = code;
        view.request = fn ? vlb_request_name(*fn) : hex(code, 8);
        view.input = request_input(fn, record.in);
        if (record.result == 0) {
            view.result = failed(record);
        } else if (record.out.size() < VLB_STATUS_WORD_SIZE) {
            view.result = "reply of " + std::to_string(record.out.size()) + " bytes, no status";
        } else {
            const auto status = static_cast<int32_t>(get32(record.out, 0));
            view.status = status;
            view.result = std::string(vl_rc_name(status)) + " (" + std::to_string(status) + ")";
        }
        break;
    }
    default: // GetLastError
        view.result = std::to_string(record.result);
        break;
    }
    return view;
}

std::vector<std::vector<std::string>> trace_rows(const trace_t& trace) {
    std::vector<std::vector<std::string>> rows = {
        {"SEQ", "TIME", "THREAD", "CALL", "BOARD", "REQUEST", "INPUT", "RESULT", "IN", "OUT"}};
    for (const trace_record_t& record : trace.records) {
        const record_view_t view = view_record(record);
        rows.push_back({std::to_string(record.sequence), seconds(since_first(trace, record)),
                        std::to_string(record.thread), view.call,
                        view.board ? std::to_string(*view.board) : "-", or_dash(view.request),
                        view.input, view.result, std::to_string(record.in.size()),
                        std::to_string(record.out.size())});
    }
    return rows;
}

std::vector<std::string> trace_board_lines(const trace_t& trace) {
    std::vector<std::string> lines;
    for (size_t id = 1; id < trace.interfaces.size(); ++id) {
        lines.push_back("board " + std::to_string(id - 1) + "  " + printable(trace.interfaces[id]));
    }
    return lines;
}

json_t trace_json(const std::string& file, const trace_t& trace) {
    json_t boards = json_t::array();
    for (size_t id = 1; id < trace.interfaces.size(); ++id) {
        boards.push_back(trace.interfaces[id]);
    }
    json_t records = json_t::array();
    for (const trace_record_t& record : trace.records) {
        const record_view_t view = view_record(record);
        json_t entry = {{"sequence", record.sequence},
                        {"time_ns", since_first(trace, record)},
                        {"thread", record.thread},
                        {"call", view.call},
                        {"board", nullptr},
                        {"request", nullptr},
                        {"control_code", nullptr},
                        {"input", view.input == "-" ? json_t(nullptr) : json_t(view.input)},
                        {"result", record.result},
                        {"result_text", view.result},
                        {"status", nullptr},
                        {"last_error", record.last_error},
                        {"in_bytes", record.in.size()},
                        {"out_bytes", record.out.size()}};
        if (view.board) {
            entry["board"] = *view.board;
        }
        if (view.request) {
            entry["request"] = *view.request;
            entry["control_code"] = *view.control_code;
        }
        if (view.status) {
            entry["status"] = *view.status;
        }
        records.push_back(std::move(entry));
    }
    return {{"file", file},
            {"application", trace.application},
            {"boards", boards},
            {"records", records},
            {"damage", trace.damage.empty() ? json_t(nullptr) : json_t(trace.damage)}};
}

} // namespace velnorctl
