// The driver's reply to every request: any status word (with or without the
// board's payload behind it), any number of reply bytes, a failing
// DeviceIoControl, and any argument values, on one open board.
//
// Input: steps until the bytes run out (at most 64), each: request number,
// status switch, status word, reply length, system failure, null choice,
// then the export's arguments.
#include "fuzz_support.h"

#include "clock/frequency_table.h"

#include <velnor.h>
#include <velnor_board_protocol.h>
#include <velnor_sim.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <optional>
#include <vector>

namespace {

using velnor_fuzz::byte_reader;
using velnor_fuzz::truncated_status;

constexpr std::uint8_t sentinel = 0xA5;
constexpr std::uint32_t payload_of[18] = {44, 44, 0, 8, 0, 0, 0, 4, 0, 4, 0, 4, 0, 16, 0, 0, 1, 32};

enum class status_switch { none, without_payload, with_payload };
enum class null_choice { none, handle, output };

struct step {
    std::uint32_t fn = 0;
    status_switch mode = status_switch::none;
    vl_rc status = 0;
    bool shortened = false;
    std::uint32_t reply_length = 0;
    bool system_fails = false;
    std::uint32_t system_error = 0;
    null_choice null = null_choice::none;
};

vl_rc read_status(byte_reader& in) {
    static constexpr vl_rc interesting[] = {0,  -1,   -2,    -3,        -4,        -5,  -6,  -7,
                                            -8, -9,   -10,   -11,       -12,       -13, -14, 1,
                                            2,  0xFF, 0x100, INT32_MAX, INT32_MIN, -256};
    const std::uint8_t choice = in.u8();
    return choice < 0x80 ? interesting[choice % std::size(interesting)]
                         : static_cast<vl_rc>(in.u32());
}

step read_step(byte_reader& in) {
    step s;
    s.fn = in.u8() % 18u;
    const std::uint8_t mode = in.u8() % 4;
    s.mode = mode == 1   ? status_switch::without_payload
             : mode == 2 ? status_switch::with_payload
                         : status_switch::none;
    s.status = read_status(in);
    const std::uint8_t length = in.u8();
    if (length >= 0xA0) {
        s.shortened = true;
        s.reply_length = length == 0xFF ? in.u32() : length - 0xA0u;
    }
    const std::uint8_t failure = in.u8();
    if (failure >= 0xE0) {
        static constexpr std::uint32_t errors[] = {1167, 995, 122, 5, 0, 6, 31, 1};
        s.system_fails = true;
        s.system_error = failure == 0xFF ? in.u32() : errors[(failure - 0xE0u) % 8];
    }
    const std::uint8_t null = in.u8() % 16;
    s.null = null == 1 ? null_choice::handle : null == 2 ? null_choice::output : null_choice::none;
    return s;
}

void arm(const step& s) {
    vlsim_clear_faults();
    if (s.mode == status_switch::without_payload) {
        vlsim_set_request_status(s.fn, s.status);
    } else if (s.mode == status_switch::with_payload) {
        vlsim_set_request_status_with_payload(s.fn, s.status);
    }
    if (s.shortened) {
        vlsim_set_request_reply_length(s.fn, s.reply_length);
    }
    if (s.system_fails) {
        vlsim_fail_next(VLSIM_CALL_DEVICE_IO_CONTROL, s.system_error);
    }
}

// The caller's memory for an export's output, filled with the sentinel and
// with a guard band behind it that nothing may write.
class output {
public:
    explicit output(std::size_t size) : bytes_(size + guard, sentinel), size_(size) {}
    void* data() { return bytes_.data(); }
    template <typename T> T* as() { return reinterpret_cast<T*>(bytes_.data()); }
    std::size_t size() const { return size_; }
    bool untouched(std::size_t from = 0) const {
        for (std::size_t i = from; i < bytes_.size(); ++i) {
            if (bytes_[i] != sentinel) {
                return false;
            }
        }
        return true;
    }
    bool zero(std::size_t count) const {
        for (std::size_t i = 0; i < count; ++i) {
            if (bytes_[i] != 0) {
                return false;
            }
        }
        return true;
    }
    const std::uint8_t* bytes() const { return bytes_.data(); }

private:
    static constexpr std::size_t guard = 16;
    std::vector<std::uint8_t> bytes_;
    std::size_t size_;
};

struct call_result {
    vl_rc rc = 0;
    bool refused_early = false; // a -4 or -13 that must send nothing
    output out{0};
    output second{0};              // update_get_status: received
    std::size_t written_if_ok = 0; // bytes of out a success writes
};

std::int64_t read_frequency(byte_reader& in) {
    const std::uint8_t choice = in.u8();
    const std::vector<std::int64_t>& table = velnor::clock_frequency_table();
    if (choice < 0x80) {
        const std::int64_t f = table[in.u16() % table.size()];
        return choice < 0x60 ? f : f + (choice & 1 ? 1 : -1);
    }
    return static_cast<std::int64_t>(in.u64());
}

bool is_producible(std::int64_t f) {
    const std::vector<std::int64_t>& table = velnor::clock_frequency_table();
    return std::binary_search(table.begin(), table.end(), f);
}

call_result call(vl_device* device, const step& s, byte_reader& in) {
    call_result r;
    vl_device* const handle = s.null == null_choice::handle ? nullptr : device;
    const bool null_out = s.null == null_choice::output;
    r.refused_early = s.null == null_choice::handle;
    switch (s.fn) {
    case VLB_REQ_GET_DRIVER_VERSION:
    case VLB_REQ_GET_FIRMWARE_VERSION: {
        r.out = output(sizeof(vl_version));
        vl_version* version = null_out ? nullptr : r.out.as<vl_version>();
        r.refused_early |= null_out;
        r.rc = s.fn == VLB_REQ_GET_DRIVER_VERSION ? vl_device_get_driver_version(handle, version)
                                                  : vl_device_get_firmware_version(handle, version);
        r.written_if_ok = sizeof(vl_version);
        break;
    }
    case VLB_REQ_UPDATE_START:
        r.rc = vl_device_update_start_async(handle);
        break;
    case VLB_REQ_UPDATE_STATUS: {
        r.out = output(4);
        r.second = output(4);
        const std::uint8_t which = in.u8();
        r.rc = vl_device_update_get_status(handle, which & 1 ? nullptr : r.out.as<uint32_t>(),
                                           which & 2 ? nullptr : r.second.as<uint32_t>());
        r.written_if_ok = which & 1 ? 0 : 4;
        break;
    }
    case VLB_REQ_UPDATE_WRITE: {
        std::array<std::uint8_t, VL_UPDATE_BLOCK_SIZE> block{};
        const std::uint32_t offset = in.u8() < 0x80 ? 0 : in.u32();
        const std::uint32_t length = in.u8() < 0x80 ? 1024 : in.u32();
        std::memcpy(block.data(), &offset, 4);
        std::memcpy(block.data() + 4, &length, 4);
        std::memset(block.data() + 8, in.u8(), 1024);
        r.refused_early |= null_out;
        r.rc = vl_device_update_write(handle, null_out ? nullptr : block.data());
        break;
    }
    case VLB_REQ_UPDATE_COMPLETE:
        r.rc = vl_device_update_complete(handle);
        break;
    case VLB_REQ_UPDATE_RESET:
        r.rc = vl_device_update_reset(handle);
        break;
    case VLB_REQ_GET_LED:
    case VLB_REQ_GET_TRIGGER_POLARITY:
    case VLB_REQ_GET_TRIGGER_STATUS: {
        r.out = output(4);
        std::uint32_t* value = null_out ? nullptr : r.out.as<uint32_t>();
        r.refused_early |= null_out;
        r.rc = s.fn == VLB_REQ_GET_LED ? vl_device_get_id_led_state(handle, value)
               : s.fn == VLB_REQ_GET_TRIGGER_POLARITY
                   ? vl_device_get_trigger_polarity(handle, value)
                   : vl_device_get_trigger_status(handle, value);
        r.written_if_ok = 4;
        break;
    }
    case VLB_REQ_SET_LED:
    case VLB_REQ_SET_TRIGGER_POLARITY:
    case VLB_REQ_SET_TRIGGER_STATUS: {
        const std::uint32_t value = in.u8() < 0x80 ? in.u8() % 4 : in.u32();
        r.rc = s.fn == VLB_REQ_SET_LED ? vl_device_set_id_led_state(handle, value)
               : s.fn == VLB_REQ_SET_TRIGGER_POLARITY
                   ? vl_device_set_trigger_polarity(handle, value)
                   : vl_device_set_trigger_status(handle, value);
        break;
    }
    case VLB_REQ_GET_CLOCK:
        r.out = output(sizeof(vl_clock));
        r.refused_early |= null_out;
        r.rc = vl_device_get_clock(handle, null_out ? nullptr : r.out.as<vl_clock>());
        r.written_if_ok = sizeof(vl_clock);
        break;
    case VLB_REQ_SET_CLOCK: {
        vl_clock clock{};
        clock.mode = in.u8() < 0xC0 ? 0 : in.u32();
        const std::uint32_t reserved = in.u32();
        std::memcpy(clock.reserved, &reserved, 4);
        clock.frequency_hz = read_frequency(in);
        const bool refused = clock.mode == 0 && !is_producible(clock.frequency_hz);
        r.refused_early |= null_out || refused;
        r.rc = vl_device_set_clock(handle, null_out ? nullptr : &clock);
        if (null_out) {
            FUZZ_CHECK(r.rc == -4, "vl_device_set_clock(null clock) returned %d", r.rc);
        } else if (refused) {
            FUZZ_CHECK(r.rc == -13, "vl_device_set_clock refused %lld with %d",
                       static_cast<long long>(clock.frequency_hz), r.rc);
        }
        break;
    }
    case VLB_REQ_REG_WRITE: {
        const std::uint64_t value =
            in.u8() < 0x80 ? VL_AD9516_REG_WRITE_VALUE(in.u16() % 0x240, in.u8()) : in.u64();
        r.rc = vl_device_ad9516_reg_write(handle, value);
        break;
    }
    case VLB_REQ_REG_READ: {
        const std::uint32_t address = in.u8() < 0x80 ? in.u16() % 0x240 : in.u32();
        r.out = output(1);
        r.refused_early |= null_out;
        r.rc = vl_device_ad9516_reg_read(handle, address, null_out ? nullptr : r.out.as<uint8_t>());
        r.written_if_ok = 1;
        break;
    }
    case VLB_REQ_GET_SERIAL: {
        const std::uint8_t choice = in.u8();
        const std::size_t size = choice < 0xF0 ? choice % 65u : SIZE_MAX - (choice & 0x0Fu);
        // A size past the buffer is only honest when the copy stops at 32 bytes.
        r.out = output(size > 64 ? 32 : size);
        const bool null_buffer = null_out && size != 0;
        r.refused_early |= null_buffer;
        char* buffer = null_out ? nullptr : r.out.as<char>();
        r.rc = vl_device_get_serial(handle, buffer, size);
        r.written_if_ok = size < 32 ? size : 32;
        break;
    }
    default:
        break;
    }
    return r;
}

// The result the step's switches leave no choice about; none when the board
// decides.
std::optional<vl_rc> expected_result(const step& s) {
    if (s.system_fails) {
        return -5;
    }
    const std::uint32_t full = 4 + payload_of[s.fn];
    const std::uint32_t written = s.shortened && s.reply_length < full ? s.reply_length : full;
    if (s.mode != status_switch::none) {
        return truncated_status(s.status, written);
    }
    return std::nullopt;
}

void check_step(const step& s, const call_result& r, std::uint64_t requests_before) {
    const std::uint64_t sent = vlsim_call_count(VLSIM_CALL_DEVICE_IO_CONTROL) - requests_before;
    if (r.refused_early) {
        FUZZ_CHECK(sent == 0, "request %u refused before sending, but sent %llu", s.fn,
                   static_cast<unsigned long long>(sent));
        // set_clock checks its own refusals (a refused frequency wins over a null handle).
        FUZZ_CHECK(s.fn == VLB_REQ_SET_CLOCK || r.rc == -4, "request %u refused with %d", s.fn,
                   r.rc);
    } else {
        FUZZ_CHECK(sent == 1, "request %u sent %llu requests", s.fn,
                   static_cast<unsigned long long>(sent));
        const std::optional<vl_rc> want = expected_result(s);
        if (!want) {
            const std::uint32_t written = s.shortened ? s.reply_length : 4;
            velnor_fuzz::result_set allowed{0};
            for (vl_rc status : velnor_fuzz::board_statuses) {
                const vl_rc seen = truncated_status(status, written);
                if (seen != 0) {
                    allowed.add(seen);
                }
            }
            FUZZ_CHECK(allowed.contains(r.rc), "request %u: the board's answer became %d", s.fn,
                       r.rc);
        } else {
            FUZZ_CHECK(r.rc == *want, "request %u returned %d, expected %d", s.fn, r.rc, *want);
        }
    }
    if (r.rc != 0) {
        FUZZ_CHECK(r.out.untouched() && r.second.untouched(),
                   "request %u wrote its output and returned %d", s.fn, r.rc);
        return;
    }
    FUZZ_CHECK(r.out.untouched(r.written_if_ok) && r.second.untouched(r.second.size()),
               "request %u wrote past its output", s.fn);
    if (s.mode == status_switch::without_payload) {
        FUZZ_CHECK(r.out.zero(r.written_if_ok),
                   "request %u: a reply without payload gave non-zero output", s.fn);
    }
    if (s.fn == VLB_REQ_GET_SERIAL && s.mode == status_switch::none && !s.shortened) {
        char want[32] = {};
        std::strncpy(want, "VLN-SIM-0000", sizeof want);
        FUZZ_CHECK(std::memcmp(r.out.bytes(), want, r.written_if_ok) == 0,
                   "vl_device_get_serial copied the wrong bytes");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velnor_fuzz::trim_log();
    vlsim_reset();
    vlsim_add_board(nullptr);
    vl_device* device = nullptr;
    FUZZ_CHECK(vl_device_open(0, &device) == 0, "the board does not open");

    byte_reader in(data, size);
    for (int i = 0; i < 64 && in.remaining() != 0; ++i) {
        const step s = read_step(in);
        arm(s);
        const std::uint64_t before = vlsim_call_count(VLSIM_CALL_DEVICE_IO_CONTROL);
        const call_result r = call(device, s, in);
        check_step(s, r, before);
    }

    vlsim_clear_faults();
    FUZZ_CHECK(vl_device_close(device) == 0, "the board does not close");
    FUZZ_CHECK(vlsim_open_handle_count() == 0, "%zu handles left open", vlsim_open_handle_count());
    return 0;
}
