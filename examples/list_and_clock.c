/*
 * list_and_clock.c - lists the boards with their versions, then sets the
 * first board's clock: once to a frequency the AD9516 can produce, once to
 * one it cannot, which the library refuses (Velnor.log says why).
 */
#include <velnor.h>

#include <stdio.h>

static int report(const char* what, vl_rc rc) {
    fprintf(stderr, "%s failed: %d\n", what, (int)rc);
    return 1;
}

int main(void) {
    vl_version library;
    size_t count = 0;
    vl_rc rc = vl_get_library_version(&library);
    if (rc != VL_RC_SUCCESS) {
        return report("vl_get_library_version", rc);
    }
    rc = vl_get_device_count(&count);
    if (rc != VL_RC_SUCCESS) {
        return report("vl_get_device_count", rc);
    }
    printf("library %s, %u board(s)\n", library.text, (unsigned)count);

    for (size_t i = 0; i < count; ++i) {
        vl_device* board = NULL;
        vl_version driver, firmware;
        char serial[33] = {0};
        rc = vl_device_open(i, &board);
        if (rc != VL_RC_SUCCESS) {
            return report("vl_device_open", rc);
        }
        if ((rc = vl_device_get_serial(board, serial, 32)) != VL_RC_SUCCESS ||
            (rc = vl_device_get_driver_version(board, &driver)) != VL_RC_SUCCESS ||
            (rc = vl_device_get_firmware_version(board, &firmware)) != VL_RC_SUCCESS) {
            vl_device_close(board);
            return report("reading the board", rc);
        }
        printf("board %u: serial %s, driver %.32s, firmware %.32s\n", (unsigned)i, serial,
               driver.text, firmware.text);

        if (i == 0) {
            vl_clock clock = {0};
            clock.mode = VL_CLOCK_MODE_INTERNAL;
            clock.frequency_hz = 125000000;
            rc = vl_device_set_clock(board, &clock);
            printf("clock %lld Hz: %s\n", (long long)clock.frequency_hz,
                   rc == VL_RC_SUCCESS ? "set" : "refused");

            clock.frequency_hz = 123456789;
            rc = vl_device_set_clock(board, &clock);
            if (rc == VL_RC_INVALID_FREQUENCY) {
                printf("clock %lld Hz: refused, not producible (see Velnor.log)\n",
                       (long long)clock.frequency_hz);
            } else {
                printf("clock %lld Hz: unexpected result %d\n", (long long)clock.frequency_hz,
                       (int)rc);
            }
        }
        vl_device_close(board);
    }
    return 0;
}
