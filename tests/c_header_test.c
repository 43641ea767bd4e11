/* The public header is C: this file compiles as C11 and calls the exports. */
#include <velnor.h>

#include <stdio.h>
#include <string.h>

int main(void) {
    vl_version version;
    size_t count = 0;
    vl_device* device = NULL;
    vl_clock clock;
    char serial[33] = {0};
    int failures = 0;

    memset(&clock, 0, sizeof clock);
    failures += vl_get_library_version(&version) != VL_RC_SUCCESS;
    failures += strcmp(version.text, "1.0.2") != 0;
    failures += vl_get_library_version(NULL) != VL_RC_NULL_PARAMETER;
    failures += vl_get_device_count(&count) != VL_RC_SUCCESS;
    if (count > 0 && vl_device_open(0, &device) == VL_RC_SUCCESS) {
        clock.mode = VL_CLOCK_MODE_INTERNAL;
        clock.frequency_hz = 123456789;
        failures += vl_device_set_clock(device, &clock) != VL_RC_INVALID_FREQUENCY;
        clock.frequency_hz = 125000000;
        failures += vl_device_set_clock(device, &clock) != VL_RC_SUCCESS;
        failures += vl_device_get_serial(device, serial, sizeof serial) != VL_RC_SUCCESS;
        failures += vl_device_ad9516_reg_write(device, VL_AD9516_REG_WRITE_VALUE(0x10, 0x7C)) != 0;
        failures += vl_device_close(device) != VL_RC_SUCCESS;
    }
    printf("%u boards, %d failures\n", (unsigned)count, failures);
    return failures == 0 ? 0 : 1;
}
