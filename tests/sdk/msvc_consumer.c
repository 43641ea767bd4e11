/*
 * msvc_consumer.c - a program built the way a Visual Studio user builds one:
 * compiled for the MSVC ABI and linked by an MSVC-compatible linker against
 * the SDK's lib/Velnor.lib. No C runtime is at hand here, so it is
 * freestanding: it writes with WriteFile and ends with ExitProcess.
 *
 * Run beside the simulation DLLs, it calls exports of every kind and checks
 * their answers on the one virtual board a process starts with, then adds a
 * board through lib/velnor_sim.lib and counts again; it prints
 * "msvc consumer: N checks passed" and exits 0, or names the first mismatch
 * and exits 1.
 */
#include <velnor.h>
#include <velnor_sim.h>

typedef void* win_handle;
__declspec(dllimport) win_handle __stdcall GetStdHandle(unsigned long which);
__declspec(dllimport) int __stdcall WriteFile(win_handle file, const void* data, unsigned long size,
                                              unsigned long* written, void* overlapped);
__declspec(dllimport) __declspec(noreturn) void __stdcall ExitProcess(unsigned int code);
#define STD_OUTPUT_HANDLE ((unsigned long)-11)

static int checks;

static void put(const char* text) {
    unsigned long length = 0;
    unsigned long written = 0;
    while (text[length] != '\0') {
        ++length;
    }
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, length, &written, 0);
}

static void put_int(long long value) {
    char digits[24];
    int n = 0;
    unsigned long long magnitude =
        value < 0 ? 0ull - (unsigned long long)value : (unsigned long long)value;
    do {
        digits[n++] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) {
        put("-");
    }
    while (n > 0) {
        char one[2] = {digits[--n], '\0'};
        put(one);
    }
}

static int same_text(const char* a, const char* b, int limit) {
    for (int i = 0; i < limit; ++i) {
        if (a[i] != b[i]) {
            return 0;
        }
        if (a[i] == '\0') {
            return 1;
        }
    }
    return 1;
}

static void expect_rc(const char* call, vl_rc actual, vl_rc expected) {
    ++checks;
    if (actual != expected) {
        put("msvc consumer: ");
        put(call);
        put(" returned ");
        put_int(actual);
        put(", expected ");
        put_int(expected);
        put("\n");
        ExitProcess(1);
    }
}

static void expect_true(const char* what, int ok) {
    ++checks;
    if (!ok) {
        put("msvc consumer: wrong ");
        put(what);
        put("\n");
        ExitProcess(1);
    }
}

void consumer_main(void) {
    vl_version version;
    size_t count = 0;
    vl_device* board = 0;
    char serial[32];
    vl_clock clock;
    vl_clock read_back;
    uint32_t led = 99;

    expect_rc("vl_get_library_version", vl_get_library_version(&version), VL_RC_SUCCESS);
    expect_true("library version", version.major == 1 && version.minor == 0 && version.patch == 2 &&
                                       same_text(version.text, "1.0.2", 32));
    expect_rc("vl_get_library_version(NULL)", vl_get_library_version(0), VL_RC_NULL_PARAMETER);

    expect_rc("vl_get_device_count", vl_get_device_count(&count), VL_RC_SUCCESS);
    expect_true("board count", count == 1);
    expect_rc("vl_device_open(1)", vl_device_open(1, &board), VL_RC_INVALID_DEVICE);
    expect_rc("vl_device_open(0)", vl_device_open(0, &board), VL_RC_SUCCESS);

    expect_rc("vl_device_get_serial", vl_device_get_serial(board, serial, sizeof serial),
              VL_RC_SUCCESS);
    expect_true("serial", same_text(serial, "VLN-SIM-0000", 32));
    expect_rc("vl_device_get_driver_version", vl_device_get_driver_version(board, &version),
              VL_RC_SUCCESS);
    expect_true("driver version", version.major == 2 && version.minor == 4 && version.patch == 1 &&
                                      same_text(version.text, "2.4.1", 32));

    expect_rc("vl_device_set_id_led_state", vl_device_set_id_led_state(board, VL_LED_BLINK),
              VL_RC_SUCCESS);
    expect_rc("vl_device_get_id_led_state", vl_device_get_id_led_state(board, &led), VL_RC_SUCCESS);
    expect_true("LED state", led == VL_LED_BLINK);
    expect_rc("vl_device_set_id_led_state(7)", vl_device_set_id_led_state(board, 7),
              VL_RC_INVALID_DATA);

    /* The 16-byte record crosses the boundary both ways: its layout must be
       the same in both compilers. */
    clock.mode = VL_CLOCK_MODE_INTERNAL;
    clock.reserved[0] = 0xA5;
    clock.reserved[1] = 0;
    clock.reserved[2] = 0;
    clock.reserved[3] = 0x5A;
    clock.frequency_hz = 125000000;
    expect_rc("vl_device_set_clock(125 MHz)", vl_device_set_clock(board, &clock), VL_RC_SUCCESS);
    expect_rc("vl_device_get_clock", vl_device_get_clock(board, &read_back), VL_RC_SUCCESS);
    expect_true("clock read back", read_back.mode == 0 && read_back.frequency_hz == 125000000 &&
                                       read_back.reserved[0] == 0xA5 &&
                                       read_back.reserved[3] == 0x5A);
    clock.frequency_hz = 123456789;
    expect_rc("vl_device_set_clock(123456789 Hz)", vl_device_set_clock(board, &clock),
              VL_RC_INVALID_FREQUENCY);

    expect_rc("vl_device_close", vl_device_close(board), VL_RC_SUCCESS);

    expect_true("id from vlsim_add_board", vlsim_add_board(0) == 1);
    expect_rc("vl_get_device_count", vl_get_device_count(&count), VL_RC_SUCCESS);
    expect_true("board count after vlsim_add_board", count == 2);

    put("msvc consumer: ");
    put_int(checks);
    put(" checks passed\n");
    ExitProcess(0);
}
