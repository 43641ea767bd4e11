/*
 * board_driver_control.h - the virtual board driver's private test-control
 * request. The library never sends it; test harnesses use it to steer a board
 * and to watch what reached it.
 *
 * Control code VLBD_CTL_TEST_CONTROL (function 0x901, buffered, any access),
 * input a vlbd_control_in, output a vlbd_control_out (at least 8 bytes). The
 * request is never counted and never affected by a forced status.
 *
 * Operations:
 *   VLBD_OP_QUERY         change nothing; report the counters.
 *   VLBD_OP_FORCE_STATUS  from now on, request `request` answers status word
 *                         `status` with a zero payload and leaves the board
 *                         untouched (sticky until cleared).
 *   VLBD_OP_FAIL_REQUEST  from now on, request `request` completes with the
 *                         NTSTATUS `status` (an error, so DeviceIoControl
 *                         fails) and leaves the board untouched (sticky).
 *   VLBD_OP_CLEAR_STATUS  request `request` is served by the board again
 *                         (clears a forced status and a forced failure).
 *   VLBD_OP_RESET         clear every forced status and the request counter and
 *                         power the board on again (LED, trigger, clock,
 *                         registers, update and firmware back to their defaults).
 *   VLBD_OP_FIRE_TRIGGER  an armed trigger fires (status becomes triggered).
 *   VLBD_OP_UNPLUG        the board is unplugged: its interface is disabled
 *                         (IoSetDeviceInterfaceState FALSE), so it leaves the
 *                         board list and the system tells its watchers; the
 *                         handles already open stay open, and every board
 *                         request on them fails with STATUS_DEVICE_REMOVED
 *                         (test control still works, through the handle
 *                         that unplugged it).
 *   VLBD_OP_PLUG          the board is plugged in again: its interface is
 *                         enabled, it can be opened, and its requests are
 *                         served (the board keeps its state).
 * UNPLUG of an unplugged board and PLUG of a plugged one change nothing.
 * An unknown operation, a request number of 18 or more, or a FAIL_REQUEST
 * status that is not an error is refused with STATUS_INVALID_PARAMETER.
 */
#ifndef VELNOR_BOARD_DRIVER_CONTROL_H
#define VELNOR_BOARD_DRIVER_CONTROL_H

#include <stdint.h>

#define VLBD_CTL_TEST_CONTROL                                                                      \
    0x222404u /* CTL_CODE(0x22, 0x901, METHOD_BUFFERED, FILE_ANY_ACCESS) */

enum vlbd_control_op {
    VLBD_OP_QUERY = 0,
    VLBD_OP_FORCE_STATUS = 1,
    VLBD_OP_CLEAR_STATUS = 2,
    VLBD_OP_RESET = 3,
    VLBD_OP_FIRE_TRIGGER = 4,
    VLBD_OP_FAIL_REQUEST = 5,
    VLBD_OP_UNPLUG = 6,
    VLBD_OP_PLUG = 7
};

typedef struct vlbd_control_in {
    uint32_t op;      /* vlbd_control_op */
    uint32_t request; /* request number 0-17 (FORCE_STATUS, FAIL_REQUEST, CLEAR_STATUS) */
    int32_t status;   /* status word (FORCE_STATUS) or NTSTATUS (FAIL_REQUEST) */
} vlbd_control_in;

typedef struct vlbd_control_out {
    uint32_t request_count; /* board requests (0-17 and unknown codes) since the last reset */
    uint32_t forced_mask;   /* bit n set: request n answers a forced status or fails */
} vlbd_control_out;

#endif /* VELNOR_BOARD_DRIVER_CONTROL_H */
