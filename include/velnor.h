/**
 * \file velnor.h
 * \brief Device access to Velnor synchronisation boards: the 22 exported
 *        functions, their result codes and the records they exchange.
 *
 * C-compatible; include it from C or C++. On Windows the functions are
 * imported from Velnor.dll (link Velnor.lib); define VELNOR_STATIC when
 * linking the library statically. See \ref index "the overview" for the
 * result codes, the log file and the rules for threads and handles.
 */

/* clang-format off */
/**
 * \mainpage Velnor API reference
 *
 * Velnor.dll finds the Velnor boards installed in the machine, opens one by
 * its index and controls it: versions and serial number, identification LED,
 * trigger polarity and status, the sample clock of the board's AD9516 clock
 * generator, single AD9516 registers, and firmware update. Every operation
 * on an open board is exactly one synchronous control request to the
 * board's kernel driver. All functions are declared in velnor.h and listed
 * by task under \ref functions "Functions" below.
 *
 * \section calling_order Calling order
 * vl_get_library_version() and vl_get_device_count() need no board.
 * vl_device_open() hands out a ::vl_device handle for the board at an index
 * of the current list; every vl_device_* operation takes that handle;
 * vl_device_close() releases it. Nothing about boards is cached: each count
 * and each open asks the system again, so an index is a board's position in
 * the list at that moment.
 *
 * \section functions Functions
 * Each function's entry on the velnor.h page gives its parameters, what it
 * returns and, under "Return values", every result code it can return.
 *
 * | Task | Functions |
 * |------|-----------|
 * | Library and boards | vl_get_library_version(), vl_get_device_count(), vl_device_open(), vl_device_close() |
 * | Versions and serial number | vl_device_get_driver_version(), vl_device_get_firmware_version(), vl_device_get_serial() |
 * | Identification LED | vl_device_get_id_led_state(), vl_device_set_id_led_state() |
 * | Trigger | vl_device_get_trigger_polarity(), vl_device_set_trigger_polarity(), vl_device_get_trigger_status(), vl_device_set_trigger_status() |
 * | Sample clock | vl_device_set_clock(), vl_device_get_clock() |
 * | AD9516 registers | vl_device_ad9516_reg_write(), vl_device_ad9516_reg_read() |
 * | Firmware update | vl_device_update_start_async(), vl_device_update_get_status(), vl_device_update_write(), vl_device_update_complete(), vl_device_update_reset() |
 * | Result code names | vl_rc_name() (inline, in the header) |
 * | Boards arriving and leaving | vl_watch_start(), vl_watch_stop() (velnor_watch.h, in VelnorWatch.dll beside Velnor.dll) |
 *
 * \section result_codes Result codes
 * Every function returns a ::vl_rc: 0 on success, a negative code on
 * failure. Outputs are written only after success. vl_rc_name() gives a
 * code's name.
 *
 * | Value | Enumerator | Name | Meaning |
 * |------:|------------|------|---------|
 * | 0 | ::VL_RC_SUCCESS | success | the call completed |
 * | -1 | ::VL_RC_INTERNAL_ERROR | internal_error | the system gave a null file handle, or an unexpected internal fault |
 * | -2 | ::VL_RC_AD9516_COMMUNICATION_ERROR | ad9516_communication_error | driver status: the driver could not talk to the AD9516 |
 * | -3 | ::VL_RC_INVALID_DEVICE | invalid_device | no board at that index |
 * | -4 | ::VL_RC_NULL_PARAMETER | null_parameter | a required pointer (or the handle) is null; nothing was sent |
 * | -5 | ::VL_RC_FAILED | failed | a system call failed (device list, CreateFileW, CloseHandle, DeviceIoControl); the log line names it |
 * | -6 | ::VL_RC_NO_MEMORY | no_memory | memory ran out |
 * | -7 | ::VL_RC_INVALID_DEVICE_TYPE | invalid_device_type | driver status: the device is not a board of this kind |
 * | -8 | ::VL_RC_UPDATE_INVALID_STATUS | update_invalid_status | driver status: the update step does not fit the update's state |
 * | -9 | ::VL_RC_INVALID_DATA | invalid_data | driver status: a value outside the board's range, or a bad firmware image |
 * | -10 | ::VL_RC_TIMEOUT | timeout | driver status: the board did not answer in time |
 * | -11 | ::VL_RC_PLL_NOT_LOCKED | pll_not_locked | driver status: the clock generator's PLL did not lock |
 * | -13 | ::VL_RC_INVALID_FREQUENCY | invalid_frequency | the AD9516 cannot produce the requested frequency; nothing was sent |
 *
 * Codes -2 and -7 to -11 are status words of the board's driver, passed
 * through unchanged; the library never raises them itself. A driver may
 * report any 32-bit value, so a caller can also see values outside the
 * table (even positive ones); their name is "invalid_rc", as is -12's.
 * Any function may return ::VL_RC_NO_MEMORY when memory runs out (even
 * while it reports another failure) and ::VL_RC_INTERNAL_ERROR for an
 * unexpected internal fault: no exception ever leaves the library. Under
 * "Return values" each function lists every code it can return; for the
 * operations on an open board that includes the status words the Velnor
 * board's driver gives for that request.
 *
 * \section log_file The log file
 * Each failed call writes one line, naming the function, to
 * <tt>Velnor.log</tt> in the user's temporary directory (<tt>\%TEMP\%</tt>
 * on Windows, <tt>$TMPDIR</tt> or <tt>/tmp</tt> on Linux), for example:
 *
 * <pre>[2026-12-08 14:41:56.902] [Velnor] [error] [vl_device_set_clock] Error: Velnor:-13, Invalid clock frequency: 123456789Hz. Try 123125000Hz or 123750000Hz: invalid_frequency</pre>
 *
 * The line gives the time, the function, the error code (category name, a
 * colon and the value: "Velnor" for the library's codes, "system" for an
 * operating-system error value, "generic" when the configuration manager
 * could not list the boards) and the text, which for a failed system call
 * names the call and quotes the system's message. The file is created
 * and emptied at the first failure of each process and flushed after every
 * line; every process on the machine writes the same file. Nothing is logged
 * on success, and nothing is written to standard output. The library reads
 * no configuration: no environment variable, registry key or file changes
 * what it does.
 *
 * \section threads Threads
 * Any function may be called from any thread. The library starts no thread
 * and takes no lock of its own on the request path (only the logger's, when
 * a failure is written). It does not serialise calls on one handle: the
 * order in which concurrent requests reach a board is the driver's. A handle
 * must not be closed while another thread still uses it, and must not be
 * used after a successful close.
 *
 * \section handles Handles
 * A ::vl_device handle comes from vl_device_open() and belongs to the caller
 * until a successful vl_device_close(). A close the system refuses leaves
 * the handle valid, so it can be retried. A null handle is refused with
 * ::VL_RC_NULL_PARAMETER before anything is sent; a closed or foreign handle
 * is undefined behaviour.
 *
 * \section transport Requests to the driver
 * Each operation on an open board sends one control request and waits for
 * the driver's reply, with no retry and no time-out of its own. The reply
 * begins with the driver's 4-byte status word; the request's result (a
 * version, a state, the clock) follows it. The library fills the reply with
 * zero bytes before it sends the request and does not look at the count of
 * bytes the driver says it returned, so any byte the driver leaves unwritten
 * reads as 0: a reply without a status word reads as success, and a short
 * result reads as zeros in its missing bytes. A driver that writes nothing at
 * all therefore gives ::VL_RC_SUCCESS with every output 0. The Velnor board's
 * driver always writes the whole reply; with any other driver, a zero in an
 * output may be a reply that was cut short.
 *
 * \section records Records
 * ::vl_version (44 bytes) and ::vl_clock (16 bytes) cross the boundary by
 * pointer and are also the driver's wire format; a firmware update block is
 * ::VL_UPDATE_BLOCK_SIZE bytes.
 */
/* clang-format on */
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

/** Result code of every exported function: 0 on success, negative on failure (see ::vl_rc_code). */
typedef int32_t vl_rc;

/** Named result codes (see \ref result_codes). Any other value has the name "invalid_rc". */
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
 * The name of a result code. Inline, so the DLL keeps its 22 exports; the
 * library's error messages use this same table.
 * \param[in] code any result code, named or not.
 * \return "success", "invalid_frequency", ... (a static string); "invalid_rc"
 *         for any value outside the table.
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

/** Opaque handle of an open board, from vl_device_open() until a successful vl_device_close(). */
typedef struct vl_device vl_device;

/**
 * A version: three numbers and the same version as zero-filled text.
 * 44 bytes, 4-byte alignment; also the driver's wire format.
 */
typedef struct vl_version {
    uint32_t major; /**< major version number */
    uint32_t minor; /**< minor version number */
    uint32_t patch; /**< patch version number */
    char text[32];  /**< ended by a zero byte unless all 32 bytes are used */
} vl_version;

/*
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
    uint32_t mode;        /**< a ::vl_clock_mode value */
    uint8_t reserved[4];  /**< carried unchanged to and from the board */
    int64_t frequency_hz; /**< the clock frequency in hertz */
} vl_clock;

/** Size of one firmware update block in bytes. */
#define VL_UPDATE_BLOCK_SIZE 1032

/**
 * Builds the 8-byte value of vl_device_ad9516_reg_write().
 * \param address the register address (low 32 bits of the value).
 * \param contents the byte to write (bits 32 to 39).
 */
#define VL_AD9516_REG_WRITE_VALUE(address, contents)                                               \
    ((uint64_t)(uint32_t)(address) | ((uint64_t)(uint8_t)(contents) << 32))

/** Highest AD9516 register address the board accepts. */
#define VL_AD9516_MAX_REGISTER 0x232

/* ---- Library ------------------------------------------------------------ */

/**
 * Reports the library's own version (1.0.2).
 * \param[out] version receives the version; text "1.0.2", zero-filled.
 * \return the result code.
 * \retval VL_RC_SUCCESS the version was written.
 * \retval VL_RC_NULL_PARAMETER version is null ("version is null").
 * \retval VL_RC_NO_MEMORY memory ran out while the failure was reported.
 * \retval VL_RC_INTERNAL_ERROR an unexpected internal fault.
 */
VL_API vl_rc vl_get_library_version(vl_version* version);

/**
 * Counts the boards present now. Nothing is cached: every call asks the
 * system's configuration manager again.
 * \param[out] count receives the number of boards.
 * \return the result code.
 * \retval VL_RC_SUCCESS the count was written.
 * \retval VL_RC_NULL_PARAMETER count is null ("Count is null").
 * \retval VL_RC_FAILED the system's device list could not be read; the log
 *         line names the call and its result.
 * \retval VL_RC_NO_MEMORY memory ran out.
 * \retval VL_RC_INTERNAL_ERROR an unexpected internal fault.
 */
VL_API vl_rc vl_get_device_count(size_t* count);

/* ---- Handles ------------------------------------------------------------ */

/**
 * Opens the board at position index of the current device list.
 * \param[in] index position in the list, from 0 to count - 1.
 * \param[out] handle receives the new handle; written only on success.
 * \return the result code.
 * \retval VL_RC_SUCCESS the board is open; close it with vl_device_close().
 * \retval VL_RC_NULL_PARAMETER handle is null ("handle is null").
 * \retval VL_RC_INVALID_DEVICE index is not less than the number of boards.
 * \retval VL_RC_FAILED the device list could not be read, or CreateFileW
 *         failed on the board's interface path (the log line quotes it).
 * \retval VL_RC_INTERNAL_ERROR the system returned a null file handle, or an
 *         unexpected internal fault.
 * \retval VL_RC_NO_MEMORY the handle's record could not be allocated.
 */
VL_API vl_rc vl_device_open(size_t index, vl_device** handle);

/**
 * Closes a handle and releases it. If the system refuses the close, the
 * handle stays valid and may be closed again.
 * \param[in] handle an open handle; invalid after success.
 * \return the result code.
 * \retval VL_RC_SUCCESS the handle is closed and released.
 * \retval VL_RC_NULL_PARAMETER handle is null ("handle is null").
 * \retval VL_RC_FAILED CloseHandle failed; the handle is still open.
 * \retval VL_RC_NO_MEMORY memory ran out while the failure was reported.
 * \retval VL_RC_INTERNAL_ERROR an unexpected internal fault.
 */
VL_API vl_rc vl_device_close(vl_device* handle);

/*
 * Every function below sends one control request on an open handle. Besides
 * the codes each one lists, the board's driver may answer any other status
 * word, which is returned unchanged.
 */

/* ---- Properties --------------------------------------------------------- */

/**
 * Reads the version of the board's driver.
 * \param[in] handle an open handle.
 * \param[out] version receives the driver version.
 * \return the result code.
 * \retval VL_RC_SUCCESS the version was written.
 * \retval VL_RC_NULL_PARAMETER handle or version is null ("version is null");
 *         nothing was sent.
 * \retval VL_RC_FAILED DeviceIoControl failed (board removed, ...).
 * \retval VL_RC_NO_MEMORY memory ran out while a failure was reported.
 * \retval VL_RC_INTERNAL_ERROR an unexpected internal fault.
 */
VL_API vl_rc vl_device_get_driver_version(vl_device* handle, vl_version* version);

/**
 * Reads the version of the board's firmware.
 * \param[in] handle an open handle.
 * \param[out] version receives the firmware version.
 * \return the result code.
 * \retval VL_RC_SUCCESS the version was written.
 * \retval VL_RC_NULL_PARAMETER handle or version is null ("version is null");
 *         nothing was sent.
 * \retval VL_RC_FAILED DeviceIoControl failed (board removed, ...).
 * \retval VL_RC_NO_MEMORY memory ran out while a failure was reported.
 * \retval VL_RC_INTERNAL_ERROR an unexpected internal fault.
 */
VL_API vl_rc vl_device_get_firmware_version(vl_device* handle, vl_version* version);

/**
 * Reads the serial number (up to 32 characters) into buffer with a bounded
 * copy of min(size, 32) bytes: characters up to and including the first
 * zero byte, the rest of those bytes zero-filled, nothing beyond them.
 * A 32-character serial, or a buffer shorter than the serial plus its
 * terminator, receives no terminating zero byte. Size 0 writes nothing.
 * \param[in] handle an open handle.
 * \param[out] buffer receives the serial; may be null only when size is 0.
 * \param[in] size the buffer's size in bytes.
 * \return the result code.
 * \retval VL_RC_SUCCESS the serial was copied.
 * \retval VL_RC_NULL_PARAMETER handle is null, or buffer is null with a size
 *         above 0; nothing was sent.
 * \retval VL_RC_FAILED DeviceIoControl failed (board removed, ...).
 * \retval VL_RC_NO_MEMORY memory ran out while a failure was reported.
 * \retval VL_RC_INTERNAL_ERROR an unexpected internal fault.
 */
VL_API vl_rc vl_device_get_serial(vl_device* handle, char* buffer, size_t size);

/**
 * Reads the identification LED.
 * \param[in] handle an open handle.
 * \param[out] state receives a ::vl_led_state value (the board's).
 * \return the result code.
 * \retval VL_RC_SUCCESS the state was written.
 * \retval VL_RC_NULL_PARAMETER handle or state is null; nothing was sent.
 * \retval VL_RC_FAILED DeviceIoControl failed (board removed, ...).
 * \retval VL_RC_NO_MEMORY memory ran out while a failure was reported.
 * \retval VL_RC_INTERNAL_ERROR an unexpected internal fault.
 */
VL_API vl_rc vl_device_get_id_led_state(vl_device* handle, uint32_t* state);
/**
 * Sets the identification LED; the value is passed to the board unchecked.
 * \param[in] handle an open handle.
 * \param[in] state a ::vl_led_state value.
 * \return the result code.
 * \retval VL_RC_SUCCESS the LED shows the state.
 * \retval VL_RC_NULL_PARAMETER handle is null; nothing was sent.
 * \retval VL_RC_FAILED DeviceIoControl failed (board removed, ...).
 * \retval VL_RC_INVALID_DATA the board refused the value (above ::VL_LED_BLINK).
 * \retval VL_RC_NO_MEMORY memory ran out while a failure was reported.
 * \retval VL_RC_INTERNAL_ERROR an unexpected internal fault.
 */
VL_API vl_rc vl_device_set_id_led_state(vl_device* handle, uint32_t state);

/**
 * Reads the trigger polarity.
 * \param[in] handle an open handle.
 * \param[out] polarity receives a ::vl_trigger_polarity value (the board's).
 * \return the result code.
 * \retval VL_RC_SUCCESS the polarity was written.
 * \retval VL_RC_NULL_PARAMETER handle or polarity is null; nothing was sent.
 * \retval VL_RC_FAILED DeviceIoControl failed (board removed, ...).
 * \retval VL_RC_NO_MEMORY memory ran out while a failure was reported.
 * \retval VL_RC_INTERNAL_ERROR an unexpected internal fault.
 */
VL_API vl_rc vl_device_get_trigger_polarity(vl_device* handle, uint32_t* polarity);
/**
 * Sets the trigger polarity; the value is passed to the board unchecked.
 * \param[in] handle an open handle.
 * \param[in] polarity a ::vl_trigger_polarity value.
 * \return the result code.
 * \retval VL_RC_SUCCESS the polarity is set.
 * \retval VL_RC_NULL_PARAMETER handle is null; nothing was sent.
 * \retval VL_RC_FAILED DeviceIoControl failed (board removed, ...).
 * \retval VL_RC_INVALID_DATA the board refused the value (above
 *         ::VL_TRIGGER_FALLING).
 * \retval VL_RC_NO_MEMORY memory ran out while a failure was reported.
 * \retval VL_RC_INTERNAL_ERROR an unexpected internal fault.
 */
VL_API vl_rc vl_device_set_trigger_polarity(vl_device* handle, uint32_t polarity);

/**
 * Reads the trigger status.
 * \param[in] handle an open handle.
 * \param[out] status receives a ::vl_trigger_status value (the board's),
 *             ::VL_TRIGGER_TRIGGERED once an armed trigger has fired.
 * \return the result code.
 * \retval VL_RC_SUCCESS the status was written.
 * \retval VL_RC_NULL_PARAMETER handle or status is null; nothing was sent.
 * \retval VL_RC_FAILED DeviceIoControl failed (board removed, ...).
 * \retval VL_RC_NO_MEMORY memory ran out while a failure was reported.
 * \retval VL_RC_INTERNAL_ERROR an unexpected internal fault.
 */
VL_API vl_rc vl_device_get_trigger_status(vl_device* handle, uint32_t* status);
/**
 * Arms (1) or disarms (0) the trigger; the value is passed unchecked.
 * \param[in] handle an open handle.
 * \param[in] status ::VL_TRIGGER_ARMED or ::VL_TRIGGER_DISARMED.
 * \return the result code.
 * \retval VL_RC_SUCCESS the trigger is armed or disarmed.
 * \retval VL_RC_NULL_PARAMETER handle is null; nothing was sent.
 * \retval VL_RC_FAILED DeviceIoControl failed (board removed, ...).
 * \retval VL_RC_INVALID_DATA the board refused the value (above
 *         ::VL_TRIGGER_ARMED).
 * \retval VL_RC_NO_MEMORY memory ran out while a failure was reported.
 * \retval VL_RC_INTERNAL_ERROR an unexpected internal fault.
 */
VL_API vl_rc vl_device_set_trigger_status(vl_device* handle, uint32_t status);

/**
 * Writes one AD9516 register. Its 8 bytes are sent unchanged.
 * \param[in] handle an open handle.
 * \param[in] value the register address in the low 32 bits and the contents
 *            in the next 8 (see VL_AD9516_REG_WRITE_VALUE()).
 * \return the result code.
 * \retval VL_RC_SUCCESS the register holds the contents.
 * \retval VL_RC_NULL_PARAMETER handle is null; nothing was sent.
 * \retval VL_RC_FAILED DeviceIoControl failed (board removed, ...).
 * \retval VL_RC_INVALID_DATA the board refused the address (above
 *         ::VL_AD9516_MAX_REGISTER) or contents above 0xFF.
 * \retval VL_RC_NO_MEMORY memory ran out while a failure was reported.
 * \retval VL_RC_INTERNAL_ERROR an unexpected internal fault.
 */
VL_API vl_rc vl_device_ad9516_reg_write(vl_device* handle, uint64_t value);

/**
 * Reads one AD9516 register.
 * \param[in] handle an open handle.
 * \param[in] address the register address, 0 to ::VL_AD9516_MAX_REGISTER.
 * \param[out] value receives the contents (exactly one byte is written).
 * \return the result code.
 * \retval VL_RC_SUCCESS the contents were written.
 * \retval VL_RC_NULL_PARAMETER handle or value is null; nothing was sent.
 * \retval VL_RC_FAILED DeviceIoControl failed (board removed, ...).
 * \retval VL_RC_INVALID_DATA the board refused the address.
 * \retval VL_RC_NO_MEMORY memory ran out while a failure was reported.
 * \retval VL_RC_INTERNAL_ERROR an unexpected internal fault.
 */
VL_API vl_rc vl_device_ad9516_reg_read(vl_device* handle, uint32_t address, uint8_t* value);

/* ---- Clock -------------------------------------------------------------- */

/**
 * Sets the sample clock. A mode-0 record is first checked against the
 * frequencies the AD9516 can produce (a VCO of 1.8 to 2.2 GHz on a 10 MHz
 * grid divided by 2 to 6 and by 1 to 32); a refused frequency returns
 * ::VL_RC_INVALID_FREQUENCY whatever handle is passed, sends nothing, and the
 * log line names the nearest producible frequencies. Other modes are sent
 * unchecked.
 * \param[in] handle an open handle.
 * \param[in] clock the record to send, reserved bytes included.
 * \return the result code.
 * \retval VL_RC_SUCCESS the board runs on the clock.
 * \retval VL_RC_INVALID_FREQUENCY mode 0 with a frequency the AD9516 cannot
 *         produce; nothing was sent.
 * \retval VL_RC_NULL_PARAMETER handle or clock is null ("clock is null");
 *         nothing was sent.
 * \retval VL_RC_FAILED DeviceIoControl failed (board removed, ...).
 * \retval VL_RC_PLL_NOT_LOCKED the board found no divider setting for the
 *         frequency.
 * \retval VL_RC_INVALID_DATA the board refused the mode, or an external
 *         frequency outside 1 Hz to 1 GHz.
 * \retval VL_RC_NO_MEMORY memory ran out.
 * \retval VL_RC_INTERNAL_ERROR an unexpected internal fault.
 */
VL_API vl_rc vl_device_set_clock(vl_device* handle, const vl_clock* clock);

/**
 * Reads the clock record last set, reserved bytes as the board keeps them.
 * \param[in] handle an open handle.
 * \param[out] clock receives the record.
 * \return the result code.
 * \retval VL_RC_SUCCESS the record was written.
 * \retval VL_RC_NULL_PARAMETER handle or clock is null; nothing was sent.
 * \retval VL_RC_FAILED DeviceIoControl failed (board removed, ...).
 * \retval VL_RC_NO_MEMORY memory ran out while a failure was reported.
 * \retval VL_RC_INTERNAL_ERROR an unexpected internal fault.
 */
VL_API vl_rc vl_device_get_clock(vl_device* handle, vl_clock* clock);

/* ---- Firmware update ---------------------------------------------------- */

/**
 * Starts an update: the board erases (::VL_UPDATE_ERASING), then accepts
 * blocks (::VL_UPDATE_READY). Poll with vl_device_update_get_status().
 * \param[in] handle an open handle.
 * \return the result code.
 * \retval VL_RC_SUCCESS the board is erasing.
 * \retval VL_RC_NULL_PARAMETER handle is null; nothing was sent.
 * \retval VL_RC_FAILED DeviceIoControl failed (board removed, ...).
 * \retval VL_RC_UPDATE_INVALID_STATUS an update is already in progress.
 * \retval VL_RC_NO_MEMORY memory ran out while a failure was reported.
 * \retval VL_RC_INTERNAL_ERROR an unexpected internal fault.
 */
VL_API vl_rc vl_device_update_start_async(vl_device* handle);

/**
 * Polls the update.
 * \param[in] handle an open handle.
 * \param[out] state receives a ::vl_update_state value (the board's); may be
 *             null.
 * \param[out] received receives the image bytes received so far; may be null.
 * \return the result code.
 * \retval VL_RC_SUCCESS the outputs that are not null were written.
 * \retval VL_RC_NULL_PARAMETER handle is null; nothing was sent.
 * \retval VL_RC_FAILED DeviceIoControl failed (board removed, ...).
 * \retval VL_RC_NO_MEMORY memory ran out while a failure was reported.
 * \retval VL_RC_INTERNAL_ERROR an unexpected internal fault.
 */
VL_API vl_rc vl_device_update_get_status(vl_device* handle, uint32_t* state, uint32_t* received);

/**
 * Sends one ::VL_UPDATE_BLOCK_SIZE-byte block as it stands. The board reads a
 * little-endian 32-bit image offset, a 32-bit data length (1 to 1024) and
 * 1024 data bytes; blocks must come in order.
 * \param[in] handle an open handle.
 * \param[in] block the ::VL_UPDATE_BLOCK_SIZE bytes to send.
 * \return the result code.
 * \retval VL_RC_SUCCESS the board took the block.
 * \retval VL_RC_NULL_PARAMETER handle or block is null ("block is null");
 *         nothing was sent.
 * \retval VL_RC_FAILED DeviceIoControl failed (board removed, ...).
 * \retval VL_RC_UPDATE_INVALID_STATUS the board is not ready for blocks, or
 *         the offset is not the number of bytes received so far.
 * \retval VL_RC_INVALID_DATA the length is outside 1 to 1024, or the block
 *         would overrun the image.
 * \retval VL_RC_NO_MEMORY memory ran out while a failure was reported.
 * \retval VL_RC_INTERNAL_ERROR an unexpected internal fault.
 */
VL_API vl_rc vl_device_update_write(vl_device* handle, const uint8_t* block);

/**
 * Completes the update: the board verifies the image and, if it is good,
 * makes it the firmware.
 * \param[in] handle an open handle.
 * \return the result code.
 * \retval VL_RC_SUCCESS the image is the board's firmware now.
 * \retval VL_RC_NULL_PARAMETER handle is null; nothing was sent.
 * \retval VL_RC_FAILED DeviceIoControl failed (board removed, ...).
 * \retval VL_RC_UPDATE_INVALID_STATUS the board is not ready for completion.
 * \retval VL_RC_INVALID_DATA the image is bad; the update is ::VL_UPDATE_FAILED.
 * \retval VL_RC_NO_MEMORY memory ran out while a failure was reported.
 * \retval VL_RC_INTERNAL_ERROR an unexpected internal fault.
 */
VL_API vl_rc vl_device_update_complete(vl_device* handle);

/**
 * Abandons an update; the board discards the image and returns to idle.
 * \param[in] handle an open handle.
 * \return the result code.
 * \retval VL_RC_SUCCESS the update is idle.
 * \retval VL_RC_NULL_PARAMETER handle is null; nothing was sent.
 * \retval VL_RC_FAILED DeviceIoControl failed (board removed, ...).
 * \retval VL_RC_NO_MEMORY memory ran out while a failure was reported.
 * \retval VL_RC_INTERNAL_ERROR an unexpected internal fault.
 */
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
