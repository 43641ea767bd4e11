#include "platform_state.h"
#include "replay_calls.h"

#include <algorithm>
#include <cstring>

namespace velnor::sim {
namespace {

constexpr std::uint32_t first_code = VLB_CONTROL_CODE(0);

struct outcome_t {
    bool completed = false;
    std::uint32_t error = 0;
    std::uint32_t bytes = 0;
};

outcome_t fail(std::uint32_t error) {
    return outcome_t{false, error, 0};
}

std::optional<std::uint32_t> request_number(std::uint32_t code) {
    if (code < first_code || (code - first_code) % 4 != 0) {
        return std::nullopt;
    }
    const std::uint32_t fn = (code - first_code) / 4;
    if (fn >= VLB_REQUEST_COUNT || vlb_request_payload_length(fn) < 0) {
        return std::nullopt;
    }
    return fn;
}

void write_status(std::uint8_t* reply, std::int32_t status) {
    const auto word = static_cast<std::uint32_t>(status);
    for (int i = 0; i < 4; ++i) {
        reply[i] = static_cast<std::uint8_t>(word >> (8 * i));
    }
}

std::uint32_t transport_error(int outcome) {
    switch (outcome) {
    case VLBM_DONE:
        return 0;
    case VLBM_UNKNOWN_REQUEST:
        return VLSIM_ERROR_INVALID_FUNCTION;
    case VLBM_BUFFER_TOO_SMALL:
        return VLSIM_ERROR_INSUFFICIENT_BUFFER;
    case VLBM_INVALID_PARAMETER:
        return VLSIM_ERROR_INVALID_PARAMETER;
    default:
        return VLSIM_ERROR_INVALID_FUNCTION;
    }
}

outcome_t serve(platform_t& p, void* handle, std::uint32_t code, const void* in,
                std::uint32_t in_length, void* out, std::uint32_t out_length) {
    const auto open = p.handles.find(reinterpret_cast<std::uintptr_t>(handle));
    if (open == p.handles.end()) {
        return fail(VLSIM_ERROR_INVALID_HANDLE);
    }
    board_t* board = p.find_board(open->second.board_id);
    if (board == nullptr) {
        return fail(VLSIM_ERROR_DEVICE_NOT_CONNECTED);
    }
    const auto fn = request_number(code);
    if (!fn) {
        return fail(VLSIM_ERROR_INVALID_FUNCTION);
    }
    if ((in == nullptr && in_length != 0) || (out == nullptr && out_length != 0)) {
        return fail(VLSIM_ERROR_INVALID_PARAMETER);
    }
    const auto payload = static_cast<std::uint32_t>(vlb_request_payload_length(*fn));
    if (out_length < 4 + payload) {
        return fail(VLSIM_ERROR_INSUFFICIENT_BUFFER);
    }
    if (in_length < static_cast<std::uint32_t>(vlb_request_input_length(*fn))) {
        return fail(VLSIM_ERROR_INVALID_PARAMETER);
    }

    // One buffer serves as input and reply, as the I/O manager's system buffer does for
    // buffered requests, so the board must read its input before it writes the reply.
    auto& buffer = p.system_buffer;
    buffer.assign(std::max(in_length, out_length), 0);
    if (in_length != 0) {
        std::memcpy(buffer.data(), in, in_length);
    }

    const request_switches_t& switches = p.faults.requests[*fn];
    std::uint32_t produced = 0;
    if (switches.status_mode == status_switch_t::without_payload) {
        std::fill_n(buffer.begin(), 4 + payload, std::uint8_t{0});
        write_status(buffer.data(), switches.status);
        produced = 4 + payload;
    } else {
        const int outcome = vlbm_request(&board->model, *fn, buffer.data(), in_length,
                                         buffer.data(), out_length, &produced);
        if (outcome != VLBM_DONE) {
            return fail(transport_error(outcome));
        }
        if (switches.status_mode == status_switch_t::with_payload) {
            write_status(buffer.data(), switches.status);
            produced = std::max<std::uint32_t>(produced, 4);
        }
    }
    if (switches.reply_length) {
        produced = std::min(produced, *switches.reply_length);
    }
    produced = std::min(produced, out_length);
    if (produced != 0) {
        std::memcpy(out, buffer.data(), produced);
    }
    return outcome_t{true, 0, produced};
}

} // namespace
} // namespace velnor::sim

using namespace velnor::sim;

extern "C" VLSIM_API int vlsim_DeviceIoControl(void* handle, uint32_t code, void* in,
                                               uint32_t in_length, void* out, uint32_t out_length,
                                               uint32_t* bytes_returned, void* overlapped) {
    platform_t& p = platform();
    std::unique_lock<std::mutex> lock(p.mutex);
    const auto fault = p.enter_call(VLSIM_CALL_DEVICE_IO_CONTROL);
    if (p.replay && !fault) {
        replay_deadline_t deadline;
        const int result = replay_io_control(p, deadline, handle, code, in, in_length, out,
                                             out_length, bytes_returned, overlapped);
        lock.unlock();
        wait_for(deadline);
        return result;
    }
    const outcome_t outcome =
        fault ? fail(*fault) : serve(p, handle, code, in, in_length, out, out_length);

    logged_request_t& record = p.requests.append();
    record.handle = handle;
    record.code = code;
    record.in_length = in_length;
    record.in_was_null = in == nullptr;
    if (in != nullptr) {
        record.in_logged = std::min<std::uint32_t>(in_length, VLSIM_LOGGED_INPUT_MAX);
        std::memcpy(record.in.data(), in, record.in_logged);
    }
    record.out_length = out_length;
    record.bytes_returned = outcome.bytes;
    record.succeeded = outcome.completed;
    record.error = outcome.error;

    if (!outcome.completed) {
        set_last_error(outcome.error);
        return 0;
    }
    if (bytes_returned != nullptr) {
        *bytes_returned = outcome.bytes;
    }
    return 1;
}
