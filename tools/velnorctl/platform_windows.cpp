// The tool's system calls on Windows.
#include "errors.h"
#include "platform.h"
#include "terminal.h"

#include <atomic>
#include <cstdio>

#include <io.h>
#include <windows.h>

namespace velnorctl {

namespace {

std::atomic<int> caught{0};
std::atomic<bool> reset_done{false};

void record(platform::stop_request_t request) {
    caught.store(static_cast<int>(request));
}

BOOL WINAPI on_console_event(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
        record(platform::stop_request_t::ctrl_c);
        return TRUE;
    case CTRL_BREAK_EVENT:
        record(platform::stop_request_t::ctrl_break);
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        // Windows ends the process when this returns: give the update the
        // few seconds the system allows to send its reset first.
        record(platform::stop_request_t::console_closed);
        for (int waited = 0; waited < 4500 && !reset_done.load(); waited += 10) {
            Sleep(10);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

unsigned long platform::process_id() {
    return GetCurrentProcessId();
}

void platform::point_temporary_folder_at(const std::filesystem::path& path) {
    // The library asks GetTempPathW, which reads TMP first, then TEMP.
    const std::wstring text = path.wstring();
    if (!SetEnvironmentVariableW(L"TMP", text.c_str()) ||
        !SetEnvironmentVariableW(L"TEMP", text.c_str())) {
        throw tool_error_t(exit_code_t::file, "cannot set TMP and TEMP to the log folder");
    }
}

void platform::start_catching_stop_requests() {
    record(stop_request_t::none);
    reset_done.store(false);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

void platform::stop_catching_stop_requests() {
    stop_request_handled();
    SetConsoleCtrlHandler(on_console_event, FALSE);
}

platform::stop_request_t platform::caught_stop_request() {
    return static_cast<stop_request_t>(caught.load());
}

void platform::stop_request_handled() {
    reset_done.store(true);
}

bool stdin_is_terminal() {
    return _isatty(_fileno(stdin)) != 0;
}

bool stdout_is_terminal() {
    return _isatty(_fileno(stdout)) != 0;
}

bool protect_closed_stdout() {
    return false;
}

} // namespace velnorctl
