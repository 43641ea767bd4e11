#include "trace_session.h"

#include "support/firmware_image.h"

#include <velnor.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

namespace velnor_e2e {
namespace {

class results_t {
public:
    // One line: "<step> <result code> <output bytes in hex or ->". The
    // outputs are read when the line is made, after the call.
    template <typename... outputs_t> void add(const char* step, vl_rc rc, const outputs_t&... out) {
        char head[96];
        std::snprintf(head, sizeof head, "%-26s %4d ", step, static_cast<int>(rc));
        text_ += head;
        const std::size_t before = text_.size();
        (append(&out, sizeof out), ...);
        if (text_.size() == before) {
            text_ += '-';
        }
        text_ += '\n';
    }
    std::string text() const { return text_; }

private:
    void append(const void* bytes, std::size_t size) {
        static const char digits[] = "0123456789abcdef";
        const auto* p = static_cast<const std::uint8_t*>(bytes);
        for (std::size_t i = 0; i < size; ++i) {
            text_ += digits[p[i] >> 4];
            text_ += digits[p[i] & 0x0f];
        }
    }
    std::string text_;
};

void properties(results_t& r, vl_device* board,
                const std::function<void(bool)>& driver_fails_led_reads) {
    vl_version version{};
    r.add("get_driver_version", vl_device_get_driver_version(board, &version), version);
    r.add("get_firmware_version", vl_device_get_firmware_version(board, &version), version);
    char serial[40] = {};
    r.add("get_serial", vl_device_get_serial(board, serial, sizeof serial), serial);
    char small[4] = {'x', 'x', 'x', 'x'};
    r.add("get_serial(4 bytes)", vl_device_get_serial(board, small, sizeof small), small);
    std::uint32_t value = 77;
    r.add("set_id_led_state(2)", vl_device_set_id_led_state(board, VL_LED_BLINK));
    r.add("set_id_led_state(9)", vl_device_set_id_led_state(board, 9));
    r.add("get_id_led_state", vl_device_get_id_led_state(board, &value), value);
    if (driver_fails_led_reads) {
        driver_fails_led_reads(true);
    }
    value = 77;
    r.add("get_id_led_state(fails)", vl_device_get_id_led_state(board, &value), value);
    if (driver_fails_led_reads) {
        driver_fails_led_reads(false);
    }
    r.add("set_trigger_polarity(1)", vl_device_set_trigger_polarity(board, VL_TRIGGER_FALLING));
    r.add("get_trigger_polarity", vl_device_get_trigger_polarity(board, &value), value);
    r.add("set_trigger_polarity(5)", vl_device_set_trigger_polarity(board, 5));
    r.add("set_trigger_status(1)", vl_device_set_trigger_status(board, 1));
    r.add("get_trigger_status", vl_device_get_trigger_status(board, &value), value);
    r.add("set_trigger_status(0)", vl_device_set_trigger_status(board, 0));
}

void clock_and_registers(results_t& r, vl_device* board) {
    vl_clock clock{};
    r.add("get_clock", vl_device_get_clock(board, &clock), clock);
    clock.mode = 0;
    clock.frequency_hz = 125000000;
    r.add("set_clock(0, 125 MHz)", vl_device_set_clock(board, &clock));
    clock.frequency_hz = 123456789; // no divider chain gives it
    r.add("set_clock(0, 123456789)", vl_device_set_clock(board, &clock));
    clock.mode = 1;
    clock.frequency_hz = 10000000;
    r.add("set_clock(1, 10 MHz)", vl_device_set_clock(board, &clock));
    clock.mode = 7; // refused by the board
    r.add("set_clock(7, 10 MHz)", vl_device_set_clock(board, &clock));
    r.add("get_clock", vl_device_get_clock(board, &clock), clock);
    std::uint8_t reg = 0xee;
    r.add("reg_write(0x230, 0x55)", vl_device_ad9516_reg_write(board, (0x55ull << 32) | 0x230));
    r.add("reg_read(0x230)", vl_device_ad9516_reg_read(board, 0x230, &reg), reg);
    r.add("reg_read(0x999)", vl_device_ad9516_reg_read(board, 0x999, &reg), reg);
    r.add("reg_write(0x230, 0x1ff)", vl_device_ad9516_reg_write(board, (0x1ffull << 32) | 0x230));
}

void firmware_update(results_t& r, vl_device* board) {
    std::uint32_t state = 99;
    std::uint32_t received = 99;
    r.add("update_complete(idle)", vl_device_update_complete(board));
    r.add("update_start_async", vl_device_update_start_async(board));
    // The board erases for a fixed number of polls; a bound keeps a stuck
    // board from holding the session.
    for (int poll = 0; poll < 10; ++poll) {
        r.add("update_get_status", vl_device_update_get_status(board, &state, &received), state,
              received);
        if (state != 1) {
            break;
        }
    }
    for (const auto& block :
         velnor_test::update_blocks(velnor_test::firmware_image(1, 5, 2, "1.5.2-trace", 1500))) {
        r.add("update_write", vl_device_update_write(board, block.data()));
        r.add("update_get_status", vl_device_update_get_status(board, &state, &received), state,
              received);
    }
    r.add("update_complete", vl_device_update_complete(board));
    r.add("update_get_status", vl_device_update_get_status(board, &state, &received), state,
          received);
    vl_version version{};
    r.add("get_firmware_version", vl_device_get_firmware_version(board, &version), version);
    r.add("update_complete(done)", vl_device_update_complete(board));
    r.add("update_reset", vl_device_update_reset(board));
}

} // namespace

std::string run_trace_session(const std::function<void(bool)>& driver_fails_led_reads) {
    results_t r;
    vl_version library{};
    r.add("get_library_version", vl_get_library_version(&library), library);
    std::size_t count = 99;
    const vl_rc counted = vl_get_device_count(&count);
    r.add("get_device_count", counted, static_cast<std::uint64_t>(count));
    vl_device* first = nullptr;
    vl_device* second = nullptr;
    vl_device* absent = nullptr;
    r.add("open(0)", vl_device_open(0, &first));
    r.add("open(1)", vl_device_open(1, &second));
    const vl_rc opened = vl_device_open(7, &absent);
    r.add("open(7)", opened, static_cast<std::uint8_t>(absent != nullptr));
    if (first == nullptr || second == nullptr) {
        return r.text();
    }
    properties(r, first, driver_fails_led_reads);
    clock_and_registers(r, first);
    firmware_update(r, second);
    r.add("close(1)", vl_device_close(second));
    r.add("close(0)", vl_device_close(first));
    return r.text();
}

bool write_results(const char* path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    return !file.fail();
}

} // namespace velnor_e2e
