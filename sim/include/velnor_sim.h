/*
 * velnor_sim.h - the virtual platform's C API: a stand-in for the Windows
 * configuration manager, the kernel32 file calls and the board's kernel
 * driver, so that Velnor applications can be developed and tested without a
 * board (and, on Linux, without Windows).
 *
 * A simulation build of the Velnor library sends every system call here
 * instead of to Windows. The virtual boards behave like real ones: they keep
 * their state (LED, trigger, clock, AD9516 registers, firmware update) and
 * refuse what the driver refuses. Tests watch the platform through its call
 * counters and request log, and steer it through fault switches.
 *
 * Board behaviour (what the virtual driver answers)
 *   - LED 0 off, 1 on, 2 blinking; trigger polarity 0 rising, 1 falling;
 *     trigger status 0 disarmed, 1 armed, 2 triggered (after
 *     vlsim_fire_trigger on an armed board). Other values: status -9.
 *   - Clock mode 0: the board looks for a VCO frequency on the 10 MHz grid in
 *     1.8-2.2 GHz, a VCO divider 2-6 and a channel divider 1-32 giving the
 *     frequency exactly, programs the AD9516 dividers, or answers -11
 *     (pll_not_locked). Mode 1: external reference, 1 Hz to 1 GHz. Other
 *     modes: -9. Reading the clock returns the record last set. Power-on
 *     clock: mode 0, 100 MHz.
 *   - AD9516 registers 0x000-0x232, one byte each. The write value is a
 *     32-bit address then a 32-bit value whose upper 24 bits are 0;
 *     otherwise -9.
 *   - Firmware update: start (from idle, done or failed) erases for three
 *     status polls, then accepts 1032-byte blocks in order (offset = bytes
 *     received so far, length 1-1024); complete verifies the "VLFW" image
 *     (64-byte header, CRC-32 of the payload) and makes its version the
 *     firmware version, or answers -9 and enters "failed". Calls out of
 *     order answer -8. Status: state (0 idle, 1 erasing, 2 ready,
 *     3 verifying, 4 done, 5 failed) and bytes received.
 *
 * The boards themselves are the board model of board/ (board_model.h);
 * the facts of their protocol are in velnor_board_protocol.h.
 *
 * State is process-wide and thread-safe. At process start one board with the
 * default configuration is present; vlsim_reset removes every board, fault
 * and record.
 */
#ifndef VELNOR_SIM_H
#define VELNOR_SIM_H

#include <velnor.h>

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#if defined(VLSIM_STATIC)
#define VLSIM_API
#elif defined(_WIN32)
#if defined(VLSIM_BUILDING)
#define VLSIM_API __declspec(dllexport)
#else
#define VLSIM_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define VLSIM_API __attribute__((visibility("default")))
#else
#define VLSIM_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Windows values the platform answers with. */
#define VLSIM_CR_SUCCESS 0x00u
#define VLSIM_CR_FAILURE 0x13u
#define VLSIM_CR_BUFFER_SMALL 0x1Au
#define VLSIM_CR_INVALID_POINTER 0x03u
#define VLSIM_ERROR_INVALID_FUNCTION 1u
#define VLSIM_ERROR_FILE_NOT_FOUND 2u
#define VLSIM_ERROR_INVALID_HANDLE 6u
#define VLSIM_ERROR_INVALID_PARAMETER 87u
#define VLSIM_ERROR_INSUFFICIENT_BUFFER 122u
#define VLSIM_ERROR_DEVICE_NOT_CONNECTED 1167u

/* Same layout as the Windows GUID. */
typedef struct vlsim_guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
} vlsim_guid;

/* The board interface class is VLB_INTERFACE_CLASS_INIT of
 * velnor_board_protocol.h:
 *     static const vlsim_guid board_class = VLB_INTERFACE_CLASS_INIT; */

/* ---- The system calls (what the simulation build of the library calls) ---- */

VLSIM_API uint32_t vlsim_CM_Get_Device_Interface_List_SizeA(uint32_t* length,
                                                            const vlsim_guid* guid,
                                                            const char* device_id, uint32_t flags);
VLSIM_API uint32_t vlsim_CM_Get_Device_Interface_ListW(const vlsim_guid* guid,
                                                       const wchar_t* device_id, wchar_t* buffer,
                                                       uint32_t length, uint32_t flags);
VLSIM_API void* vlsim_CreateFileW(const wchar_t* path, uint32_t access, uint32_t share_mode,
                                  void* security, uint32_t disposition, uint32_t flags,
                                  void* template_file);
VLSIM_API int vlsim_CloseHandle(void* handle);
VLSIM_API int vlsim_DeviceIoControl(void* handle, uint32_t code, void* in, uint32_t in_length,
                                    void* out, uint32_t out_length, uint32_t* bytes_returned,
                                    void* overlapped);
/* The calling thread's last error, as set by the calls above. */
VLSIM_API uint32_t vlsim_GetLastError(void);

/*
 * The text Windows' FormatMessage gives for a system error value (US English,
 * final full stop kept, no line break), for every value the platform answers
 * with and the ones commonly given to its fault switches (0-6, 8, 14, 21, 31,
 * 32, 50, 87, 121, 122, 234, 995, 998, 1113, 1167, 1450, 1460, 1784);
 * "unknown error" for any other value. The text is static: never free it.
 */
VLSIM_API const char* vlsim_error_text(uint32_t error);

/* ---- Boards ---- */

/* Versions are the library's vl_version: what the board reports is what the library hands on. */
typedef struct vlsim_board_config {
    char serial[33];     /* up to 32 characters, zero-ended */
    vl_version driver;   /* driver version the board reports */
    vl_version firmware; /* firmware version before any update */
} vlsim_board_config;

/* Removes every board, fault switch and record; counters restart at 0. No board remains. */
VLSIM_API void vlsim_reset(void);

/* Fills config with the defaults of the board vlsim_add_board would add next: serial
 * "VLN-SIM-<id as 4 digits>", driver 2.4.1, firmware 1.3.0. */
VLSIM_API void vlsim_default_board_config(vlsim_board_config* config);

/*
 * Adds a board (config null: defaults) and returns its id (0, 1, ... in
 * order of arrival since the last reset). Its interface path is
 * \\?\ROOT#VELNOR#<id as 4 digits>#<the interface class, VLB_INTERFACE_CLASS_TEXT>.
 */
VLSIM_API int vlsim_add_board(const vlsim_board_config* config);

/* Removes a board: it leaves the list and its open handles fail their requests with
 * ERROR_DEVICE_NOT_CONNECTED. Returns 0, or -1 for an unknown id. */
VLSIM_API int vlsim_remove_board(int id);

/* Number of boards present; during a replay, the trace's boards (the paths it
 * opens). */
VLSIM_API size_t vlsim_board_count(void);

/* Copies the interface path of board id (zero-ended, truncated to size); during a
 * replay, the trace's board numbered id: the index the recorded program gave it
 * (its position in the interface list it opened it from), as `velnorctl trace
 * show` numbers it. Returns its length, or -1. */
VLSIM_API int vlsim_board_path(int id, wchar_t* buffer, size_t size);

/* An armed trigger on board id fires (status becomes 2). Returns 0 or -1. */
VLSIM_API int vlsim_fire_trigger(int id);

/* Reads an AD9516 register of board id directly. Returns 0 or -1. */
VLSIM_API int vlsim_read_register(int id, uint32_t address, uint8_t* value);

/* ---- Boards that come and go ---- */

typedef enum vlsim_board_event {
    VLSIM_BOARD_PRESENT = 0, /* present when the listener was registered */
    VLSIM_BOARD_ARRIVED = 1,
    VLSIM_BOARD_REMOVED = 2
} vlsim_board_event;

/*
 * Told of a board's interface path as the boards change: vlsim_add_board
 * (and a board added before a list fetch) arrives; vlsim_remove_board and
 * vlsim_reset remove; vlsim_load_trace removes the boards present and then
 * the trace's boards arrive, and its end (vlsim_reset) removes them. While a
 * replay is on, boards added or removed by id are not the ones present and
 * are not reported.
 *
 * The listener runs on the thread that changed the boards, with the
 * platform's lock held, so the listeners hear every change in one order. It
 * must return quickly and call nothing of the platform (queue the event and
 * return); path is valid during the call only.
 */
typedef void (*vlsim_board_listener)(void* context, vlsim_board_event event, const wchar_t* path);

/*
 * Registers a listener: before this returns, it is called with every board
 * present as VLSIM_BOARD_PRESENT, in the order of the interface list, and
 * from then on with every change; no change falls between the two. Stays
 * registered across vlsim_reset. Returns 0 and the registration's id (never
 * 0), or -1 when listener or registration is null (ERROR_INVALID_PARAMETER)
 * or vlsim_fail_next_listen refused it, with the thread's last error set.
 */
VLSIM_API int vlsim_listen(vlsim_board_listener listener, void* context, uint64_t* registration);

/* Ends a registration: once this returns, its listener is not running and is
 * never called again. Returns 0, or -1 for an unknown id. */
VLSIM_API int vlsim_unlisten(uint64_t registration);

/* Number of listeners registered. */
VLSIM_API size_t vlsim_listener_count(void);

/* The next vlsim_listen fails with error as the thread's last error (as the
 * system's registration for device notifications fails). A fault switch. */
VLSIM_API void vlsim_fail_next_listen(uint32_t error);

/* ---- Watching ---- */

typedef enum vlsim_call {
    VLSIM_CALL_LIST_SIZE = 0,
    VLSIM_CALL_LIST_FETCH = 1,
    VLSIM_CALL_CREATE_FILE = 2,
    VLSIM_CALL_CLOSE_HANDLE = 3,
    VLSIM_CALL_DEVICE_IO_CONTROL = 4,
    VLSIM_CALL_KIND_COUNT = 5
} vlsim_call;

/* Calls of one kind since the last reset (vlsim_GetLastError is not counted). */
VLSIM_API uint64_t vlsim_call_count(vlsim_call kind);

/* Handles opened by CreateFileW and not yet closed. */
VLSIM_API size_t vlsim_open_handle_count(void);

typedef struct vlsim_open_record {
    wchar_t path[300];
    uint32_t access;
    uint32_t share_mode;
    void* security;
    uint32_t disposition;
    uint32_t flags;
    void* template_file;
    void* result;
} vlsim_open_record;

/* The arguments of the last CreateFileW. Returns 0, or -1 when none since the reset. */
VLSIM_API int vlsim_last_open(vlsim_open_record* record);

#define VLSIM_LOGGED_INPUT_MAX 1032
typedef struct vlsim_request_record {
    void* handle;
    uint32_t code;
    uint32_t in_length;
    uint8_t in[VLSIM_LOGGED_INPUT_MAX]; /* the first in_length bytes (at most 1032) */
    int in_was_null;
    uint32_t out_length;
    uint32_t bytes_returned;
    int succeeded;  /* the call's result */
    uint32_t error; /* last error when it failed */
} vlsim_request_record;

/* Number of DeviceIoControl requests logged since the last reset or clear. The log keeps
 * the newest 4096; vlsim_call_count still counts every request. */
VLSIM_API size_t vlsim_request_count(void);
/* Copies request i (0 = oldest). Returns 0, or -1 when out of range. */
VLSIM_API int vlsim_request_at(size_t i, vlsim_request_record* record);
/* Copies the newest request. Returns 0, or -1 when none. */
VLSIM_API int vlsim_last_request(vlsim_request_record* record);
/* Empties the request log. */
VLSIM_API void vlsim_clear_requests(void);

/* ---- Fault switches ---- */

/*
 * The next call of that kind fails: list calls return value as their
 * CONFIGRET; CreateFileW returns INVALID_HANDLE_VALUE, CloseHandle and
 * DeviceIoControl return FALSE, each with value as the thread's last error.
 * A failed close leaves the handle open.
 */
VLSIM_API void vlsim_fail_next(vlsim_call kind, uint32_t value);

/* The n-th platform call from now (1 = the next), whatever its kind, fails as above. */
VLSIM_API void vlsim_fail_call_at(uint64_t n, uint32_t value);

/* The next CreateFileW returns a null handle (and opens nothing). */
VLSIM_API void vlsim_next_open_returns_null(void);

/* A board arrives between the next size query and the fetch that follows it. */
VLSIM_API void vlsim_add_board_before_next_fetch(const vlsim_board_config* config);

/*
 * The next size query reports length and the next fetch copies these
 * characters instead of the real list (empty pieces, a missing final NUL...).
 */
VLSIM_API void vlsim_set_next_list_raw(const wchar_t* chars, uint32_t length);

/* Request fn (0-17) answers this status word with a zero payload, until cleared. */
VLSIM_API void vlsim_set_request_status(uint32_t fn, int32_t status);
/* Request fn is carried out and writes its payload, but answers this non-zero status. */
VLSIM_API void vlsim_set_request_status_with_payload(uint32_t fn, int32_t status);
/* Request fn writes only the first n reply bytes (0 included) and returns n, until cleared. */
VLSIM_API void vlsim_set_request_reply_length(uint32_t fn, uint32_t n);
/* Clears the request switches of fn. */
VLSIM_API void vlsim_clear_request_faults(uint32_t fn);

/* Clears every fault switch (boards and logs stay). */
VLSIM_API void vlsim_clear_faults(void);

/* ---- Replaying a trace ---- */

/*
 * A trace (Velnor-trace-*.pcapng, written by the recording build of the
 * library) replaces the board model: after vlsim_load_trace the platform
 * resets, presents the trace's boards, and answers every platform call from
 * the trace. Calls are matched per handle: the configuration manager's calls
 * against its records in order; an open of a path against that path's next
 * recorded open; the calls on a handle that open gave against the recorded
 * handle's records, in order. Handles (so threads that each open their own)
 * replay independently of one another. A call matches a record of the same
 * kind with the same pointer arguments given or null, control code, input
 * bytes and buffer sizes (for enumeration, the interface class, flags and
 * buffer length). It then gets the recorded result, output bytes, count of
 * returned bytes (never more than the recorded reply nor the capacity) and
 * last error; a successful open gets a handle value of the replay's own.
 * GetLastError is answered from the last error the replayed call left.
 *
 * A call that does not match, or comes when its handle has no record left,
 * fails: the configuration manager's calls return CR_FAILURE (0x13),
 * CreateFileW returns INVALID_HANDLE_VALUE and CloseHandle and
 * DeviceIoControl return FALSE, with ERROR_NOT_SUPPORTED (50) as the last
 * error. The record stays the next expected one.
 *
 * The path is UTF-8 (opened as UTF-16 on Windows) and must name a regular
 * file: a FIFO, a folder or a device is refused without waiting. At most the
 * first 1 GiB of a file is read; a trace that goes on past it replays up to
 * the last whole record before it, as a damaged one does.
 *
 * Returns 0, or -1 when the file cannot be read, is not a trace, is damaged
 * before its first whole record or gives a list size that does not agree
 * with the fetch recorded after it (the platform is then unchanged and
 * vlsim_trace_divergence says why). A damage after that ends the replay at
 * the last whole record, and so does a time stamp more than a year after the
 * first record's. vlsim_reset ends a replay.
 */
VLSIM_API int vlsim_load_trace(const char* path);

/* Empty while the replay is on track (or no replay is on); otherwise the
 * first divergence: which record the board and handle expected (and the
 * thread that recorded it) and what came instead, in the words of `velnorctl
 * trace show`, or that the records ran out or the trace is damaged there.
 * After a refused vlsim_load_trace, why it was refused (until the next load
 * or vlsim_reset). The text is the calling thread's copy, valid until its
 * next call. */
VLSIM_API const char* vlsim_trace_divergence(void);

/* How many records of the loaded trace are not replayed yet (GetLastError's
 * are not counted), or -1 when no replay is on. A replay that ended with
 * records left is not finished, even with an empty divergence. */
VLSIM_API int64_t vlsim_trace_records_left(void);

/* The first record not replayed yet, in file order, in the words of `velnorctl
 * trace show` ("record 5, DeviceIoControl set_led blink, reply capacity 4
 * (board 0, thread 77)"); empty when none is left or no replay is on. The
 * calling thread's copy, valid until its next call. */
VLSIM_API const char* vlsim_trace_next_record(void);

/* 0 (the default): answer at once. Non-zero: each answer waits until as much
 * time has passed since the replay's first call as the trace recorded; the
 * wait holds no lock, so other threads' calls go on meanwhile. */
VLSIM_API void vlsim_set_trace_pacing(int on);

#define VLSIM_ERROR_NOT_SUPPORTED 50u

#ifdef __cplusplus
}
#endif

#endif /* VELNOR_SIM_H */
