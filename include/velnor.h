/*
 * velnor.h - device access to Velnor synchronisation boards.
 *
 * The library finds the boards installed in the machine, opens one by its
 * index and controls it. Every operation on an open board is exactly one
 * synchronous control request to the board's kernel driver.
 *
 * Result codes
 *   Every function returns a vl_rc: 0 (VL_RC_SUCCESS) on success, a negative
 *   code on failure. Codes -2 and -7 to -11 are status words of the board's
 *   driver, passed through unchanged; the driver may report any 32-bit value,
 *   so a caller can also see values outside the table below (even positive
 *   ones). Any function may also return VL_RC_NO_MEMORY when memory runs out
 *   (even while it reports another failure), and VL_RC_INTERNAL_ERROR for an
 *   unexpected internal fault; no exception ever leaves the library.
 *   Outputs are written only after success.
 *
 * Log file
 *   Each failed call writes one line, naming the function, to "Velnor.log" in
 *   the user's temporary directory. The file is emptied at the first failure
 *   of each process and flushed after every line. Nothing is logged on
 *   success, and nothing is written to standard output.
 *
 * Threads
 *   Any function may be called from any thread. The library starts no thread
 *   and does not serialise calls on one handle: the order in which concurrent
 *   requests reach a board is the driver's. A handle must not be closed while
 *   another thread still uses it.
 *
 * Handles
 *   A vl_device handle comes from vl_device_open and is released by a
 *   successful vl_device_close. A null handle is refused with
 *   VL_RC_NULL_PARAMETER; a closed or foreign handle is undefined behaviour.
 */
#ifndef VELNOR_H
#define VELNOR_H

#include <stddef.h>
#include <stdint.h>

#if defined(VELNOR_STATIC)
#define VL_API
#elif defined(_WIN32)
#if defined(VELNOR_BUILDING)
#define VL_API __declspec(dllexport)
#else
#define VL_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define VL_API __attribute__((visibility("default")))
#else
#define VL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** Result code of every exported function. */
typedef int32_t vl_rc;

/** Named result codes. Any other value has the name "invalid_rc". */
enum vl_rc_code {
    VL_RC_SUCCESS = 0, /**< "success" */
    VL_RC_INTERNAL_ERROR =
        -1, /**< "internal_error": the system gave a null handle, or an unexpected internal fault */
    VL_RC_AD9516_COMMUNICATION_ERROR = -2, /**< "ad9516_communication_error": driver status */
    VL_RC_INVALID_DEVICE = -3, /**< "invalid_device": index not less than the number of boards */
    VL_RC_NULL_PARAMETER = -4, /**< "null_parameter": a required pointer is null */
    VL_RC_FAILED = -5,         /**< "failed": a system call failed; the log line names it */
    VL_RC_NO_MEMORY = -6,      /**< "no_memory": memory exhausted */
    VL_RC_INVALID_DEVICE_TYPE = -7,   /**< "invalid_device_type": driver status */
    VL_RC_UPDATE_INVALID_STATUS = -8, /**< "update_invalid_status": driver status */
    VL_RC_INVALID_DATA = -9,          /**< "invalid_data": driver status */
    VL_RC_TIMEOUT = -10,              /**< "timeout": driver status */
    VL_RC_PLL_NOT_LOCKED = -11,       /**< "pll_not_locked": driver status */
    VL_RC_INVALID_FREQUENCY =
        -13 /**< "invalid_frequency": the AD9516 cannot produce the frequency */
};

/**
 * The name of a result code: "success", "invalid_frequency", ...; the name
 * "invalid_rc" for any value outside the table. Inline, so the DLL keeps its
 * 22 exports; the library's error messages use this same table.
 */
static inline const char* vl_rc_name(vl_rc code) {
    switch (code) {
    case VL_RC_SUCCESS:
        return "success";
    case VL_RC_INTERNAL_ERROR:
        return "internal_error";
    case VL_RC_AD9516_COMMUNICATION_ERROR:
        return "ad9516_communication_error";
    case VL_RC_INVALID_DEVICE:
        return "invalid_device";
    case VL_RC_NULL_PARAMETER:
        return "null_parameter";
    case VL_RC_FAILED:
        return "failed";
    case VL_RC_NO_MEMORY:
        return "no_memory";
    case VL_RC_INVALID_DEVICE_TYPE:
        return "invalid_device_type";
    case VL_RC_UPDATE_INVALID_STATUS:
        return "update_invalid_status";
    case VL_RC_INVALID_DATA:
        return "invalid_data";
    case VL_RC_TIMEOUT:
        return "timeout";
    case VL_RC_PLL_NOT_LOCKED:
        return "pll_not_locked";
    case VL_RC_INVALID_FREQUENCY:
        return "invalid_frequency";
    default:
        return "invalid_rc";
    }
}

/** Opaque handle of an open board. */
typedef struct vl_device vl_device;

/**
 * A version: three numbers and the same version as zero-filled text.
 * 44 bytes, 4-byte alignment; also the driver's wire format.
 */
typedef struct vl_version {
    uint32_t major;
    uint32_t minor;
    uint32_t patch;
    char text[32]; /**< ended by a zero byte unless all 32 bytes are used */
} vl_version;

/**
 * The board's named values. The library passes every value through
 * unchecked; these are what the board's driver gives them to mean.
 */
/** Identification LED states (vl_device_get_id_led_state / _set_). */
enum vl_led_state {
    VL_LED_OFF = 0,  /**< off */
    VL_LED_ON = 1,   /**< on */
    VL_LED_BLINK = 2 /**< blinking */
};

/** Trigger polarities (vl_device_get_trigger_polarity / _set_). */
enum vl_trigger_polarity {
    VL_TRIGGER_RISING = 0, /**< trigger on the rising edge */
    VL_TRIGGER_FALLING = 1 /**< trigger on the falling edge */
};

/**
 * Trigger states (vl_device_get_trigger_status / _set_). A caller sets
 * VL_TRIGGER_DISARMED or VL_TRIGGER_ARMED; the board reports
 * VL_TRIGGER_TRIGGERED once an armed trigger has fired.
 */
enum vl_trigger_status {
    VL_TRIGGER_DISARMED = 0, /**< not armed */
    VL_TRIGGER_ARMED = 1,    /**< armed, waiting for the edge */
    VL_TRIGGER_TRIGGERED = 2 /**< fired (read only) */
};

/** Update states, the first value of vl_device_update_get_status. */
enum vl_update_state {
    VL_UPDATE_IDLE = 0,      /**< no update in progress */
    VL_UPDATE_ERASING = 1,   /**< erasing after vl_device_update_start_async */
    VL_UPDATE_READY = 2,     /**< ready for blocks */
    VL_UPDATE_VERIFYING = 3, /**< verifying after vl_device_update_complete */
    VL_UPDATE_DONE = 4,      /**< the image is the board's firmware now */
    VL_UPDATE_FAILED = 5     /**< the image was refused; reset or start again */
};

/** Clock modes the board accepts. The library checks only mode 0. */
enum vl_clock_mode {
    VL_CLOCK_MODE_INTERNAL = 0, /**< AD9516 synthesis; the frequency must be producible */
    VL_CLOCK_MODE_EXTERNAL = 1  /**< external reference passed through, 1 Hz to 1 GHz */
};

/**
 * The board's sample clock. 16 bytes, 8-byte alignment; also the driver's
 * wire format (little-endian). The reserved bytes are carried unchanged in
 * both directions.
 */
typedef struct vl_clock {
    uint32_t mode;
    uint8_t reserved[4];
    int64_t frequency_hz;
} vl_clock;

/** Size of one firmware update block in bytes. */
#define VL_UPDATE_BLOCK_SIZE 1032

/** Builds the 8-byte AD9516 register-write value: address low, contents high. */
#define VL_AD9516_REG_WRITE_VALUE(address, contents)                                               \
    ((uint64_t)(uint32_t)(address) | ((uint64_t)(uint8_t)(contents) << 32))

/** Highest AD9516 register address the board accepts. */
#define VL_AD9516_MAX_REGISTER 0x232

/* ---- Library ------------------------------------------------------------ */

/**
 * Reports the library's own version (1.0.2).
 * @param version receives the version; text "1.0.2", zero-filled.
 * @return VL_RC_SUCCESS, VL_RC_NULL_PARAMETER ("version is null").
 */
VL_API vl_rc vl_get_library_version(vl_version* version);

/**
 * Counts the boards present now. Nothing is cached: every call asks the
 * system again.
 * @param count receives the number of boards.
 * @return VL_RC_SUCCESS, VL_RC_NULL_PARAMETER ("Count is null"),
 *         VL_RC_FAILED (the system's device list could not be read; the log
 *         names the call and its result), VL_RC_NO_MEMORY.
 */
VL_API vl_rc vl_get_device_count(size_t* count);

/* ---- Handles ------------------------------------------------------------ */

/**
 * Opens the board at position index of the current device list.
 * @param index position in the list, from 0 to count - 1.
 * @param handle receives the new handle; written only on success.
 * @return VL_RC_SUCCESS, VL_RC_NULL_PARAMETER ("handle is null"),
 *         VL_RC_INVALID_DEVICE (index past the end), VL_RC_FAILED (device
 *         list or CreateFileW failed), VL_RC_INTERNAL_ERROR (the system
 *         returned a null handle), VL_RC_NO_MEMORY.
 */
VL_API vl_rc vl_device_open(size_t index, vl_device** handle);

/**
 * Closes a handle and releases it. If the system refuses the close, the
 * handle stays valid and may be closed again.
 * @return VL_RC_SUCCESS, VL_RC_NULL_PARAMETER ("handle is null"),
 *         VL_RC_FAILED (CloseHandle failed).
 */
VL_API vl_rc vl_device_close(vl_device* handle);

/*
 * Every function below sends one control request on an open handle and can
 * return, besides the codes it lists:
 *   VL_RC_NULL_PARAMETER  handle or a required output pointer is null;
 *                         nothing is sent;
 *   VL_RC_FAILED          DeviceIoControl failed (board removed, ...);
 *   any driver status     e.g. VL_RC_INVALID_DATA for a value out of range.
 */

/* ---- Properties --------------------------------------------------------- */

/** Reads the driver version. @return VL_RC_NULL_PARAMETER ("version is null"). */
VL_API vl_rc vl_device_get_driver_version(vl_device* handle, vl_version* version);

/** Reads the firmware version. @return VL_RC_NULL_PARAMETER ("version is null"). */
VL_API vl_rc vl_device_get_firmware_version(vl_device* handle, vl_version* version);

/**
 * Reads the serial number (up to 32 characters) into buffer with a bounded
 * copy of min(size, 32) bytes: characters up to and including the first
 * zero byte, the rest of those bytes zero-filled, nothing beyond them.
 * A 32-character serial, or a buffer shorter than the serial plus its
 * terminator, receives no terminating zero byte. Size 0 writes nothing.
 * @param buffer may be null only when size is 0.
 */
VL_API vl_rc vl_device_get_serial(vl_device* handle, char* buffer, size_t size);

/** Identification LED: a vl_led_state value (the board's). */
VL_API vl_rc vl_device_get_id_led_state(vl_device* handle, uint32_t* state);
/** Sets the identification LED; the value is passed to the board unchecked. */
VL_API vl_rc vl_device_set_id_led_state(vl_device* handle, uint32_t state);

/** Trigger polarity: a vl_trigger_polarity value (the board's). */
VL_API vl_rc vl_device_get_trigger_polarity(vl_device* handle, uint32_t* polarity);
/** Sets the trigger polarity; the value is passed to the board unchecked. */
VL_API vl_rc vl_device_set_trigger_polarity(vl_device* handle, uint32_t polarity);

/** Trigger status: a vl_trigger_status value (the board's). */
VL_API vl_rc vl_device_get_trigger_status(vl_device* handle, uint32_t* status);
/** Arms (1) or disarms (0) the trigger; the value is passed unchecked. */
VL_API vl_rc vl_device_set_trigger_status(vl_device* handle, uint32_t status);

/**
 * Writes one AD9516 register. value holds the register address in its low
 * 32 bits and the contents in the next 8 (see VL_AD9516_REG_WRITE_VALUE);
 * its 8 bytes are sent unchanged.
 */
VL_API vl_rc vl_device_ad9516_reg_write(vl_device* handle, uint64_t value);

/** Reads one AD9516 register into *value (exactly one byte is written). */
VL_API vl_rc vl_device_ad9516_reg_read(vl_device* handle, uint32_t address, uint8_t* value);

/* ---- Clock -------------------------------------------------------------- */

/**
 * Sets the sample clock. A mode-0 record is first checked against the
 * frequencies the AD9516 can produce; a refused frequency returns
 * VL_RC_INVALID_FREQUENCY whatever handle is passed, sends nothing, and the
 * log line names the nearest producible frequencies. Other modes are sent
 * unchecked. The board may answer VL_RC_PLL_NOT_LOCKED.
 * @return VL_RC_INVALID_FREQUENCY, VL_RC_NULL_PARAMETER ("clock is null").
 */
VL_API vl_rc vl_device_set_clock(vl_device* handle, const vl_clock* clock);

/** Reads the clock record last set, reserved bytes as the board keeps them. */
VL_API vl_rc vl_device_get_clock(vl_device* handle, vl_clock* clock);

/* ---- Firmware update ---------------------------------------------------- */

/** Starts an update (the board erases, then accepts blocks). */
VL_API vl_rc vl_device_update_start_async(vl_device* handle);

/**
 * Polls the update. Either output may be null.
 * @param state  a vl_update_state value (the board's).
 * @param received image bytes received so far.
 */
VL_API vl_rc vl_device_update_get_status(vl_device* handle, uint32_t* state, uint32_t* received);

/**
 * Sends one VL_UPDATE_BLOCK_SIZE-byte block as it stands. The board reads a
 * little-endian 32-bit image offset, a 32-bit data length (1 to 1024) and
 * 1024 data bytes. @return VL_RC_NULL_PARAMETER ("block is null").
 */
VL_API vl_rc vl_device_update_write(vl_device* handle, const uint8_t* block);

/** Completes the update; the board verifies the image (VL_RC_INVALID_DATA if bad). */
VL_API vl_rc vl_device_update_complete(vl_device* handle);

/** Abandons an update; the board discards the image and returns to idle. */
VL_API vl_rc vl_device_update_reset(vl_device* handle);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(vl_version) == 44, "vl_version is 44 bytes");
static_assert(alignof(vl_version) == 4, "vl_version is 4-byte aligned");
static_assert(offsetof(vl_version, text) == 12, "vl_version.text at 12");
static_assert(sizeof(vl_clock) == 16, "vl_clock is 16 bytes");
static_assert(alignof(vl_clock) == 8, "vl_clock is 8-byte aligned");
static_assert(offsetof(vl_clock, reserved) == 4, "vl_clock.reserved at 4");
static_assert(offsetof(vl_clock, frequency_hz) == 8, "vl_clock.frequency_hz at 8");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(sizeof(vl_version) == 44, "vl_version is 44 bytes");
_Static_assert(_Alignof(vl_version) == 4, "vl_version is 4-byte aligned");
_Static_assert(offsetof(vl_version, text) == 12, "vl_version.text at 12");
_Static_assert(sizeof(vl_clock) == 16, "vl_clock is 16 bytes");
_Static_assert(_Alignof(vl_clock) == 8, "vl_clock is 8-byte aligned");
_Static_assert(offsetof(vl_clock, reserved) == 4, "vl_clock.reserved at 4");
_Static_assert(offsetof(vl_clock, frequency_hz) == 8, "vl_clock.frequency_hz at 8");
#endif

#endif /* VELNOR_H */
