#include "virtual_platform.h"

#include "board_values.h"
#include "errors.h"

#include <velnor_sim.h>

#include <optional>

namespace velnorctl {

void use_virtual_boards(int count) {
    vlsim_reset();
    for (int i = 0; i < count; ++i) {
        vlsim_add_board(nullptr);
    }
}

void apply_virtual_fault(const std::string& switch_text) {
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
        } else {
            throw ToolError(Exit::usage,
                            "fault '" + switch_text + "' is not fn=N,status=S or fn=N,reply=BYTES");
        }
        start = end + 1;
    }
    if (!fn || status.has_value() == reply.has_value()) {
        throw ToolError(Exit::usage,
                        "fault '" + switch_text + "' is not fn=N,status=S or fn=N,reply=BYTES");
    }
    if (status) {
        vlsim_set_request_status(*fn, *status);
    } else {
        vlsim_set_request_reply_length(*fn, *reply);
    }
}

} // namespace velnorctl
