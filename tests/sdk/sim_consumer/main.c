/* Replaces the simulation's board with one of its own and reads it back. */
#include <velnor.h>
#include <velnor_sim.h>

#include <stdio.h>
#include <string.h>

int main(void) {
    vlsim_board_config config;
    vl_device* board = NULL;
    size_t count = 0;
    char serial[33] = {0};

    vlsim_reset();
    vlsim_default_board_config(&config);
    strcpy(config.serial, "SDK-TEST-0042");
    if (vlsim_add_board(&config) != 0) {
        puts("sim consumer: vlsim_add_board gave another id");
        return 1;
    }
    if (vl_get_device_count(&count) != VL_RC_SUCCESS || count != 1 ||
        vl_device_open(0, &board) != VL_RC_SUCCESS ||
        vl_device_get_serial(board, serial, 32) != VL_RC_SUCCESS ||
        vl_device_close(board) != VL_RC_SUCCESS) {
        puts("sim consumer: the board did not answer");
        return 1;
    }
    printf("sim consumer: %u board, serial %s\n", (unsigned)count, serial);
    return 0;
}
