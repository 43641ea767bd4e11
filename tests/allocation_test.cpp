// Success paths of device operations allocate nothing and log nothing.
#include "support/counting_new.h"
#include "support/library_fixture.h"

#include <atomic>
#include <cstdlib>
#include <new>

using velnor_test::heap::allocations;
using velnor_test::heap::fail_at;

namespace {

using velnor_test::LibraryTest;

class Allocation : public LibraryTest {};

TEST_F(Allocation, DeviceOperationsAllocateNothingOnSuccess) {
    add_board();
    vl_device* device = open();
    vl_version version;
    uint32_t value = 0;
    uint8_t byte = 0;
    char serial[40];
    vl_clock clock{VL_CLOCK_MODE_INTERNAL, {}, 100'000'000};
    vl_device_set_clock(device, &clock); // builds the frequency table once

    const long before = allocations;
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(vl_device_get_driver_version(device, &version), VL_RC_SUCCESS);
        ASSERT_EQ(vl_device_get_trigger_status(device, &value), VL_RC_SUCCESS);
        ASSERT_EQ(vl_device_set_id_led_state(device, 1), VL_RC_SUCCESS);
        ASSERT_EQ(vl_device_get_serial(device, serial, sizeof serial), VL_RC_SUCCESS);
        ASSERT_EQ(vl_device_ad9516_reg_read(device, 3, &byte), VL_RC_SUCCESS);
        ASSERT_EQ(vl_device_set_clock(device, &clock), VL_RC_SUCCESS);
        ASSERT_EQ(vl_device_get_clock(device, &clock), VL_RC_SUCCESS);
        ASSERT_EQ(vl_device_update_get_status(device, &value, &value), VL_RC_SUCCESS);
    }
    EXPECT_EQ(allocations - before, 0);
    EXPECT_FALSE(std::filesystem::exists(velnor_test::log_file()));
}

TEST_F(Allocation, EveryFailingAllocationGivesNoMemoryAndLeaksNothing) {
    add_board();
    add_board();
    struct Export {
        const char* name;
        vl_rc (*call)();
    };
    const Export exports[] = {
        {"vl_get_device_count",
         [] {
             size_t count = 0;
             return vl_get_device_count(&count);
         }},
        {"vl_device_open",
         [] {
             vl_device* device = nullptr;
             const vl_rc result = vl_device_open(1, &device);
             if (result == VL_RC_SUCCESS) {
                 vl_device_close(device);
             }
             return result;
         }},
        {"vl_device_set_clock (first check builds the table)",
         [] {
             vl_clock clock{VL_CLOCK_MODE_INTERNAL, {}, 1};
             return vl_device_set_clock(nullptr, &clock);
         }},
    };
    for (const Export& e : exports) {
        // The allocations of one successful call, counted with nothing failing.
        velnor_test::reset_log();
        const long start = allocations;
        e.call();
        const long needed = allocations - start;
        for (long n = 1; n <= needed; ++n) {
            velnor_test::reset_log();
            fail_at = allocations + n;
            const vl_rc result = e.call();
            fail_at = 0;
            EXPECT_TRUE(result == VL_RC_NO_MEMORY || result == VL_RC_SUCCESS ||
                        result == VL_RC_INVALID_FREQUENCY)
                << e.name << " allocation " << n << " gave " << result;
            EXPECT_EQ(vlsim_open_handle_count(), 0u) << e.name << " allocation " << n;
        }
    }
}

} // namespace
