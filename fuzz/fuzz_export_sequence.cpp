// Sequences of exports with arbitrary arguments, boards coming and going and
// fault switches thrown in between. Only live handles or a deliberate null
// are ever passed.
//
// Input: up to 64 operations, each an operation number followed by its own
// choices.
#include "fuzz_support.h"

#include "clock/frequency_table.h"

#include <velnor.h>
#include <velnor_board_protocol.h>
#include <velnor_sim.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <vector>

namespace {

using velnor_fuzz::byte_reader;

constexpr std::uint8_t sentinel = 0x5A;
constexpr std::size_t max_boards = 8;

class sequence {
public:
    explicit sequence(byte_reader& in) : in_(in) {}

    void run_one();
    void finish();

private:
    void add_board();
    void remove_board();
    void open();
    void close();
    void count();
    void library_version();
    void operation(std::uint32_t fn);
    void switch_fault();
    void set_raw_list();
    void sync_boards();

    vl_device* pick_handle();
    std::uint32_t pick_fn() { return in_.u8() % 20u; }
    void allow_status(vl_rc status) {
        if (std::find(statuses_.begin(), statuses_.end(), status) == statuses_.end()) {
            statuses_.push_back(status);
        }
    }
    bool driver_may_answer(vl_rc rc) const;
    void check_operation(const char* name, vl_rc rc, bool null_argument, bool outputs_untouched);

    byte_reader& in_;
    std::vector<int> boards_;
    std::vector<vl_device*> handles_;
    std::vector<vl_rc> statuses_{std::begin(velnor_fuzz::board_statuses),
                                 std::end(velnor_fuzz::board_statuses)};
    bool replies_shortened_ = false;
    int next_id_ = 0;
};

void sequence::run_one() {
    const std::uint8_t op = in_.u8() % 29;
    switch (op) {
    case 0:
        add_board();
        break;
    case 1:
        remove_board();
        break;
    case 2:
    case 3:
        open();
        break;
    case 4:
        close();
        break;
    case 5:
        count();
        break;
    case 6:
        library_version();
        break;
    case 7:
    case 8:
        switch_fault();
        break;
    case 9:
        if (!boards_.empty()) {
            vlsim_fire_trigger(boards_[in_.u8() % boards_.size()]);
        }
        break;
    case 10:
        set_raw_list();
        break;
    default:
        operation(op - 11u);
        break;
    }
    sync_boards();
}

// A board may also arrive through a switch, at a moment only the platform
// knows; it takes the next id.
void sequence::sync_boards() {
    wchar_t path[128];
    while (vlsim_board_path(next_id_, path, 128) >= 0) {
        boards_.push_back(next_id_++);
    }
}

void sequence::add_board() {
    if (boards_.size() < max_boards) {
        boards_.push_back(vlsim_add_board(nullptr));
        next_id_ = boards_.back() + 1;
    }
}

void sequence::remove_board() {
    if (boards_.empty()) {
        return;
    }
    const std::size_t at = in_.u8() % boards_.size();
    FUZZ_CHECK(vlsim_remove_board(boards_[at]) == 0, "board %d cannot be removed", boards_[at]);
    boards_.erase(boards_.begin() + static_cast<std::ptrdiff_t>(at));
}

vl_device* sequence::pick_handle() {
    const std::uint8_t choice = in_.u8();
    if (handles_.empty() || choice == 0xFF) {
        return nullptr;
    }
    return handles_[choice % handles_.size()];
}

void sequence::open() {
    const std::uint8_t choice = in_.u8();
    const std::size_t index = choice < 0xF0 ? choice % 10u : SIZE_MAX - (choice & 0x0Fu);
    const bool null_argument = in_.u8() == 0xFF;
    auto* const untouched = reinterpret_cast<vl_device*>(0x5E17);
    vl_device* handle = untouched;
    const vl_rc rc = vl_device_open(index, null_argument ? nullptr : &handle);
    if (null_argument) {
        FUZZ_CHECK(rc == -4, "vl_device_open(null) returned %d", rc);
        return;
    }
    FUZZ_CHECK(velnor_fuzz::one_of(rc, {0, -1, -3, -5, -6}), "vl_device_open returned %d", rc);
    if (rc == 0) {
        FUZZ_CHECK(handle != nullptr && handle != untouched, "vl_device_open gave no handle");
        handles_.push_back(handle);
    } else {
        FUZZ_CHECK(handle == untouched, "vl_device_open wrote its handle and returned %d", rc);
    }
}

void sequence::close() {
    vl_device* handle = pick_handle();
    const vl_rc rc = vl_device_close(handle);
    if (handle == nullptr) {
        FUZZ_CHECK(rc == -4, "vl_device_close(null) returned %d", rc);
        return;
    }
    FUZZ_CHECK(rc == 0 || rc == -5, "vl_device_close returned %d", rc);
    if (rc == 0) {
        handles_.erase(std::find(handles_.begin(), handles_.end(), handle));
    }
}

void sequence::count() {
    const bool null_argument = in_.u8() == 0xFF;
    const size_t untouched = 0xC0FFEE;
    size_t value = untouched;
    const vl_rc rc = vl_get_device_count(null_argument ? nullptr : &value);
    if (null_argument) {
        FUZZ_CHECK(rc == -4, "vl_get_device_count(null) returned %d", rc);
        return;
    }
    FUZZ_CHECK(velnor_fuzz::one_of(rc, {0, -5, -6}), "vl_get_device_count returned %d", rc);
    FUZZ_CHECK(rc == 0 || value == untouched, "vl_get_device_count wrote its output on failure");
    FUZZ_CHECK(rc != 0 || value <= 2 * max_boards + 64, "vl_get_device_count counted %zu boards",
               value);
}

void sequence::library_version() {
    const bool null_argument = in_.u8() == 0xFF;
    vl_version version{};
    const vl_rc rc = vl_get_library_version(null_argument ? nullptr : &version);
    FUZZ_CHECK(rc == (null_argument ? -4 : 0), "vl_get_library_version returned %d", rc);
}

bool sequence::driver_may_answer(vl_rc rc) const {
    for (vl_rc status : statuses_) {
        if (rc == status) {
            return true;
        }
        for (std::uint32_t bytes = 1; replies_shortened_ && bytes < 4; ++bytes) {
            if (rc == velnor_fuzz::truncated_status(status, bytes)) {
                return true;
            }
        }
    }
    return false;
}

void sequence::check_operation(const char* name, vl_rc rc, bool null_argument,
                               bool outputs_untouched) {
    if (null_argument) {
        FUZZ_CHECK(rc == -4, "%s with a null argument returned %d", name, rc);
    }
    FUZZ_CHECK(rc == 0 || rc == -4 || rc == -5 || driver_may_answer(rc), "%s returned %d", name,
               rc);
    FUZZ_CHECK(rc == 0 || outputs_untouched, "%s wrote its output and returned %d", name, rc);
}

template <typename T> T filled() {
    T value;
    std::memset(&value, sentinel, sizeof value);
    return value;
}

template <typename T> bool untouched(const T& value) {
    const T reference = filled<T>();
    return std::memcmp(&value, &reference, sizeof value) == 0;
}

void sequence::operation(std::uint32_t fn) {
    vl_device* handle = pick_handle();
    const bool null_output = in_.u8() == 0xFF;
    const bool null_handle = handle == nullptr;
    switch (fn % VLB_REQUEST_COUNT) {
    case VLB_REQ_GET_DRIVER_VERSION:
    case VLB_REQ_GET_FIRMWARE_VERSION: {
        vl_version version = filled<vl_version>();
        vl_version* out = null_output ? nullptr : &version;
        const vl_rc rc = fn % VLB_REQUEST_COUNT == VLB_REQ_GET_DRIVER_VERSION
                             ? vl_device_get_driver_version(handle, out)
                             : vl_device_get_firmware_version(handle, out);
        check_operation("version read", rc, null_handle || null_output, untouched(version));
        break;
    }
    case VLB_REQ_UPDATE_START:
        check_operation("vl_device_update_start_async", vl_device_update_start_async(handle),
                        null_handle, true);
        break;
    case VLB_REQ_UPDATE_STATUS: {
        std::uint32_t state = filled<std::uint32_t>();
        std::uint32_t received = filled<std::uint32_t>();
        const vl_rc rc =
            vl_device_update_get_status(handle, null_output ? nullptr : &state, &received);
        check_operation("vl_device_update_get_status", rc, null_handle,
                        untouched(state) && untouched(received));
        break;
    }
    case VLB_REQ_UPDATE_WRITE: {
        std::array<std::uint8_t, VL_UPDATE_BLOCK_SIZE> block{};
        const std::uint32_t offset = in_.u32();
        const std::uint32_t length = in_.u8() < 0x80 ? 1024 : in_.u32();
        std::memcpy(block.data(), &offset, 4);
        std::memcpy(block.data() + 4, &length, 4);
        const vl_rc rc = vl_device_update_write(handle, null_output ? nullptr : block.data());
        check_operation("vl_device_update_write", rc, null_handle || null_output, true);
        break;
    }
    case VLB_REQ_UPDATE_COMPLETE:
        check_operation("vl_device_update_complete", vl_device_update_complete(handle), null_handle,
                        true);
        break;
    case VLB_REQ_UPDATE_RESET:
        check_operation("vl_device_update_reset", vl_device_update_reset(handle), null_handle,
                        true);
        break;
    case VLB_REQ_GET_LED:
    case VLB_REQ_GET_TRIGGER_POLARITY:
    case VLB_REQ_GET_TRIGGER_STATUS: {
        std::uint32_t value = filled<std::uint32_t>();
        std::uint32_t* out = null_output ? nullptr : &value;
        const vl_rc rc = fn % VLB_REQUEST_COUNT == VLB_REQ_GET_LED
                             ? vl_device_get_id_led_state(handle, out)
                         : fn % VLB_REQUEST_COUNT == VLB_REQ_GET_TRIGGER_POLARITY
                             ? vl_device_get_trigger_polarity(handle, out)
                             : vl_device_get_trigger_status(handle, out);
        check_operation("property read", rc, null_handle || null_output, untouched(value));
        break;
    }
    case VLB_REQ_SET_LED:
    case VLB_REQ_SET_TRIGGER_POLARITY:
    case VLB_REQ_SET_TRIGGER_STATUS: {
        const std::uint32_t value = in_.u8() < 0x80 ? in_.u8() % 4u : in_.u32();
        const vl_rc rc = fn % VLB_REQUEST_COUNT == VLB_REQ_SET_LED
                             ? vl_device_set_id_led_state(handle, value)
                         : fn % VLB_REQUEST_COUNT == VLB_REQ_SET_TRIGGER_POLARITY
                             ? vl_device_set_trigger_polarity(handle, value)
                             : vl_device_set_trigger_status(handle, value);
        check_operation("property write", rc, null_handle, true);
        break;
    }
    case VLB_REQ_GET_CLOCK: {
        vl_clock clock = filled<vl_clock>();
        const vl_rc rc = vl_device_get_clock(handle, null_output ? nullptr : &clock);
        check_operation("vl_device_get_clock", rc, null_handle || null_output, untouched(clock));
        break;
    }
    case VLB_REQ_SET_CLOCK: {
        vl_clock clock{};
        clock.mode = in_.u8() < 0xC0 ? 0u : in_.u32();
        const std::vector<std::int64_t>& table = velnor::clock_frequency_table();
        clock.frequency_hz = in_.u8() < 0x80 ? table[in_.u16() % table.size()]
                                             : static_cast<std::int64_t>(in_.u64());
        const bool refused =
            clock.mode == 0 && !std::binary_search(table.begin(), table.end(), clock.frequency_hz);
        const vl_rc rc = vl_device_set_clock(handle, null_output ? nullptr : &clock);
        if (!null_output && refused) {
            FUZZ_CHECK(rc == -13, "vl_device_set_clock refused a frequency with %d", rc);
        } else {
            check_operation("vl_device_set_clock", rc, null_handle || null_output, true);
        }
        break;
    }
    case VLB_REQ_REG_WRITE: {
        const std::uint64_t value =
            in_.u8() < 0x80 ? VL_AD9516_REG_WRITE_VALUE(in_.u16() % 0x240, in_.u8()) : in_.u64();
        check_operation("vl_device_ad9516_reg_write", vl_device_ad9516_reg_write(handle, value),
                        null_handle, true);
        break;
    }
    case VLB_REQ_REG_READ: {
        const std::uint32_t address = in_.u8() < 0x80 ? in_.u16() % 0x240u : in_.u32();
        std::uint8_t value = sentinel;
        const vl_rc rc = vl_device_ad9516_reg_read(handle, address, null_output ? nullptr : &value);
        check_operation("vl_device_ad9516_reg_read", rc, null_handle || null_output,
                        value == sentinel);
        break;
    }
    default: {
        std::array<char, 48> buffer;
        buffer.fill(static_cast<char>(sentinel));
        const std::size_t size = in_.u8() % 49u;
        const vl_rc rc = vl_device_get_serial(handle, null_output ? nullptr : buffer.data(), size);
        const bool all_untouched = std::all_of(
            buffer.begin(), buffer.end(), [](char c) { return c == static_cast<char>(sentinel); });
        check_operation("vl_device_get_serial", rc, null_handle || (null_output && size != 0),
                        all_untouched);
        const bool tail_untouched = std::all_of(
            buffer.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(size, 32)),
            buffer.end(), [](char c) { return c == static_cast<char>(sentinel); });
        FUZZ_CHECK(tail_untouched, "vl_device_get_serial wrote past min(size, 32)");
        break;
    }
    }
}

void sequence::switch_fault() {
    const std::uint8_t kind = in_.u8() % 12;
    const std::uint32_t value = in_.u8() < 0x80 ? in_.u8() : in_.u32();
    switch (kind) {
    case 0:
        vlsim_fail_next(static_cast<vlsim_call>(in_.u8() % VLSIM_CALL_KIND_COUNT), value);
        break;
    case 1:
        vlsim_fail_call_at(1 + in_.u8() % 16u, value);
        break;
    case 2:
        vlsim_next_open_returns_null();
        break;
    case 3:
        if (boards_.size() < max_boards) {
            // The board joins the list the next size query sees; its id is the next one.
            vlsim_add_board_before_next_fetch(nullptr);
        }
        break;
    case 4:
    case 5: {
        const std::uint32_t fn = pick_fn();
        const auto status = static_cast<vl_rc>(value);
        allow_status(status);
        if (kind == 4) {
            vlsim_set_request_status(fn, status);
        } else {
            vlsim_set_request_status_with_payload(fn, status);
        }
        break;
    }
    case 6:
        replies_shortened_ = true;
        vlsim_set_request_reply_length(pick_fn(), value % 64u);
        break;
    case 7:
        vlsim_clear_request_faults(pick_fn());
        break;
    default:
        vlsim_clear_faults();
        break;
    }
}

void sequence::set_raw_list() {
    std::vector<wchar_t> list;
    const std::uint8_t pieces = in_.u8() % 4;
    for (std::uint8_t i = 0; i < pieces; ++i) {
        const std::uint8_t choice = in_.u8();
        if (choice < 0x80) {
            wchar_t path[128] = {};
            vlsim_board_path(choice % 8, path, 128);
            list.insert(list.end(), path, path + std::wcslen(path));
        } else {
            for (std::uint8_t n = 0; n < choice % 5; ++n) {
                list.push_back(static_cast<wchar_t>(in_.u16()));
            }
        }
        list.push_back(L'\0');
    }
    if (in_.flag() && !list.empty()) {
        list.pop_back(); // no final NUL
    }
    vlsim_set_next_list_raw(list.data(), static_cast<std::uint32_t>(list.size()));
}

void sequence::finish() {
    vlsim_clear_faults();
    for (vl_device* handle : handles_) {
        const vl_rc rc = vl_device_close(handle);
        FUZZ_CHECK(rc == 0, "closing a handle at the end returned %d", rc);
    }
    handles_.clear();
    FUZZ_CHECK(vlsim_open_handle_count() == 0, "%zu handles left open", vlsim_open_handle_count());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velnor_fuzz::trim_log();
    vlsim_reset();
    byte_reader in(data, size);
    sequence s(in);
    for (int i = 0; i < 64 && in.remaining() != 0; ++i) {
        s.run_one();
    }
    s.finish();
    return 0;
}
