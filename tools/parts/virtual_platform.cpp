#include "virtual_platform.h"

#include "board_values.h"
#include "errors.h"
#include "text_escape.h"

#include <velnor_sim.h>

#include <cstring>
#include <iostream>
#include <optional>

namespace velnorctl {

namespace {
bool replaying = false;
} // namespace

void replay_trace(const std::string& file) {
    if (vlsim_load_trace(file.c_str()) != 0) {
        throw tool_error_t(exit_code_t::file, printable(vlsim_trace_divergence()));
    }
    replaying = true;
}

bool replaying_trace() {
    return replaying;
}

int replay_verdict(int result) {
    if (!replaying) {
        return result;
    }
    const std::string divergence = vlsim_trace_divergence();
    if (!divergence.empty()) {
        std::cerr << program_name() << ": the run left the trace: " << printable(divergence)
                  << '\n';
        return static_cast<int>(exit_code_t::replay);
    }
    // A run that stopped before the recorded one did is not the recorded run.
    const int64_t left = vlsim_trace_records_left();
    if (left > 0) {
        std::cerr << program_name() << ": the run ended with " << left
                  << (left == 1 ? " record" : " records") << " of the trace left; the next is "
                  << printable(vlsim_trace_next_record()) << '\n';
        return static_cast<int>(exit_code_t::replay);
    }
    return result;
}

void use_virtual_boards(int count) {
    vlsim_reset();
    for (int i = 0; i < count; ++i) {
        vlsim_add_board(nullptr);
    }
}

namespace {

const char* const fault_forms =
    "' is not fn=N,status=S, fn=N,reply=BYTES or call=KIND,value=V (KIND: list_size, "
    "list_fetch, create_file, close_handle, device_io_control, listen)";

// The watch's registration for the boards' arrivals and removals: not one
// of the counted calls, but failed by a switch of its own.
const std::string listen_call = "listen";

std::optional<vlsim_call> call_kind(const std::string& name) {
    static const std::pair<const char*, vlsim_call> kinds[] = {
        {"list_size", VLSIM_CALL_LIST_SIZE},
        {"list_fetch", VLSIM_CALL_LIST_FETCH},
        {"create_file", VLSIM_CALL_CREATE_FILE},
        {"close_handle", VLSIM_CALL_CLOSE_HANDLE},
        {"device_io_control", VLSIM_CALL_DEVICE_IO_CONTROL}};
    for (const auto& [kind_name, kind] : kinds) {
        if (name == kind_name) {
            return kind;
        }
    }
    return std::nullopt;
}

} // namespace

void use_virtual_board_serials(const std::vector<std::string>& serials) {
    for (const std::string& serial : serials) {
        if (serial.size() > 32) {
            throw tool_error_t(exit_code_t::usage, "--sim-board '" + printable(serial) +
                                                       "' is longer than the 32 bytes of a serial");
        }
    }
    vlsim_reset();
    for (const std::string& serial : serials) {
        vlsim_board_config config{};
        vlsim_default_board_config(&config);
        std::memset(config.serial, 0, sizeof config.serial);
        std::memcpy(config.serial, serial.data(), serial.size());
        vlsim_add_board(&config);
    }
}

void fire_virtual_trigger(size_t index) {
    // The tool adds its boards in order after a reset, so a board's id is its index.
    if (index > 0x7FFFFFFF || vlsim_fire_trigger(static_cast<int>(index)) != 0) {
        throw tool_error_t(exit_code_t::no_board,
                           "no virtual board " + std::to_string(index) + " to fire");
    }
}

void apply_virtual_fault(const std::string& switch_text) {
    const tool_error_t malformed(exit_code_t::usage,
                                 "fault '" + printable(switch_text) + fault_forms);
    std::optional<vlsim_call> call;
    bool listen = false;
    std::optional<uint32_t> value_of_call;
    std::optional<uint32_t> fn;
    std::optional<int32_t> status;
    std::optional<uint32_t> reply;
    size_t start = 0;
    while (start <= switch_text.size()) {
        const size_t end = std::min(switch_text.find(',', start), switch_text.size());
        const std::string item = switch_text.substr(start, end - start);
        const size_t equals = item.find('=');
        const std::string key = item.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : item.substr(equals + 1);
        if (key == "fn") {
            fn = static_cast<uint32_t>(parse_number(value, 17, "request number"));
        } else if (key == "status") {
            const bool negative = !value.empty() && value[0] == '-';
            const auto magnitude = static_cast<int64_t>(
                parse_number(negative ? value.substr(1) : value, 0x7FFFFFFF, "status"));
            status = static_cast<int32_t>(negative ? -magnitude : magnitude);
        } else if (key == "reply") {
            reply = static_cast<uint32_t>(parse_number(value, 0xFFFF, "reply length"));
        } else if (key == "call") {
            call = call_kind(value);
            listen = value == listen_call;
            if (!call && !listen) {
                throw malformed;
            }
        } else if (key == "value") {
            value_of_call =
                static_cast<uint32_t>(parse_number(value, 0xFFFFFFFFu, "failure value"));
        } else {
            throw malformed;
        }
        start = end + 1;
    }
    if (call || listen || value_of_call) {
        if ((!call && !listen) || !value_of_call || fn || status || reply) {
            throw malformed;
        }
        if (listen) {
            vlsim_fail_next_listen(*value_of_call);
        } else {
            vlsim_fail_next(*call, *value_of_call);
        }
        return;
    }
    if (!fn || status.has_value() == reply.has_value()) {
        throw malformed;
    }
    if (status) {
        vlsim_set_request_status(*fn, *status);
    } else {
        vlsim_set_request_reply_length(*fn, *reply);
    }
}

} // namespace velnorctl
