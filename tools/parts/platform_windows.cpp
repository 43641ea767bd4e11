// The tool's system calls on Windows.
#include "errors.h"
#include "platform.h"
#include "terminal.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <streambuf>
#include <string>
#include <vector>

#include <io.h>
#include <windows.h>

namespace velnorctl {

namespace {

std::atomic<int> caught{0};

void record(platform::stop_request_t request) {
    caught.store(static_cast<int>(request));
}

// Windows ends the process as soon as the handler of one of these events
// returns: the handler holds on for the few seconds the system allows, so
// that the update sends its reset and the tool exits with its own code
// first (its exit ends this thread with the rest).
void hold_until_the_tool_exits() {
    Sleep(4500);
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
        record(platform::stop_request_t::console_closed);
        hold_until_the_tool_exits();
        return TRUE;
    case CTRL_LOGOFF_EVENT:
        record(platform::stop_request_t::logoff);
        hold_until_the_tool_exits();
        return TRUE;
    case CTRL_SHUTDOWN_EVENT:
        record(platform::stop_request_t::shutdown);
        hold_until_the_tool_exits();
        return TRUE;
    default:
        return FALSE;
    }
}

// Closes a handle when it goes.
struct file_handle_t {
    HANDLE value;
    ~file_handle_t() {
        if (value != INVALID_HANDLE_VALUE) {
            CloseHandle(value);
        }
    }
};

// Opens path for reading as the library opens its log: a link (any reparse
// point) is opened itself and refused, as is anything that is not a file on
// a disk. INVALID_HANDLE_VALUE when it is not such a file.
HANDLE open_plain_file(const std::filesystem::path& path, uint64_t& size) {
    const HANDLE handle = CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return handle;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    constexpr DWORD not_a_file = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & not_a_file) != 0) {
        CloseHandle(handle);
        return INVALID_HANDLE_VALUE;
    }
    size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return handle;
}

std::string utf8_of(const wchar_t* text) {
    const int length = static_cast<int>(wcslen(text));
    if (length == 0) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string converted(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, converted.data(), size, nullptr, nullptr);
    return converted;
}

// A console shows UTF-16 written with WriteConsoleW whatever its code page;
// the tool's UTF-8 text goes there through this buffer. Pipes and files get
// the UTF-8 bytes as they are.
class console_buffer_t : public std::streambuf {
public:
    explicit console_buffer_t(HANDLE console) : console_(console) {}

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return sync() == 0 ? traits_type::not_eof(c) : traits_type::eof();
        }
        pending_ += traits_type::to_char_type(c);
        if ((c == '\n' || pending_.size() >= 4096) && !write_complete()) {
            return traits_type::eof();
        }
        return c;
    }

    int sync() override { return write_complete() ? 0 : -1; }

private:
    // Writes the pending text up to its last complete UTF-8 sequence.
    bool write_complete() {
        size_t complete = pending_.size();
        size_t continuation = 0;
        while (continuation < 3 && continuation < complete &&
               (static_cast<unsigned char>(pending_[complete - 1 - continuation]) & 0xC0) == 0x80) {
            ++continuation;
        }
        if (continuation < complete) {
            const auto lead = static_cast<unsigned char>(pending_[complete - 1 - continuation]);
            const size_t needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            if (needed > continuation + 1) {
                complete -= continuation + 1;
            }
        }
        if (complete == 0) {
            return true;
        }
        const int length = static_cast<int>(complete);
        const int size = MultiByteToWideChar(CP_UTF8, 0, pending_.data(), length, nullptr, 0);
        std::wstring text(static_cast<size_t>(size), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, pending_.data(), length, text.data(), size);
        pending_.erase(0, complete);
        for (size_t done = 0; done < text.size();) {
            DWORD written = 0;
            const auto chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 8192));
            if (!WriteConsoleW(console_, text.data() + done, chunk, &written, nullptr) ||
                written == 0) {
                return false;
            }
            done += written;
        }
        return true;
    }

    HANDLE console_;
    std::string pending_;
};

// Sends a standard stream to the console buffer while it lives, when that
// stream is a console.
class console_stream_t {
public:
    console_stream_t(std::ostream& stream, DWORD which)
        : stream_(stream), buffer_(GetStdHandle(which)) {
        DWORD mode = 0;
        if (GetConsoleMode(GetStdHandle(which), &mode)) {
            previous_ = stream_.rdbuf(&buffer_);
        }
    }
    ~console_stream_t() {
        if (previous_ != nullptr) {
            stream_.flush();
            stream_.rdbuf(previous_);
        }
    }
    console_stream_t(const console_stream_t&) = delete;
    console_stream_t& operator=(const console_stream_t&) = delete;

private:
    std::ostream& stream_;
    console_buffer_t buffer_;
    std::streambuf* previous_ = nullptr;
};

} // namespace

std::optional<size_t> platform::longest_log_path() {
    // CreateFileW and GetTempPathW take no longer path, as the library calls them.
    return MAX_PATH - 1;
}

std::optional<std::string> platform::read_plain_file(const std::filesystem::path& path,
                                                     uint64_t offset, uint64_t limit) {
    uint64_t size = 0;
    const file_handle_t file{open_plain_file(path, size)};
    if (file.value == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::string bytes(static_cast<size_t>(offset < size ? std::min(size - offset, limit) : 0),
                      '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset + done);
        at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
        const auto chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD got = 0;
        if (!ReadFile(file.value, bytes.data() + done, chunk, &got, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF) {
                break; // emptied since the size was read
            }
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

std::optional<uint64_t> platform::plain_file_size(const std::filesystem::path& path) {
    uint64_t size = 0;
    const file_handle_t file{open_plain_file(path, size)};
    if (file.value == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    return size;
}

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

std::tm platform::local_time(std::time_t moment) {
    std::tm local{};
    localtime_s(&local, &moment);
    return local;
}

void platform::start_catching_stop_requests() {
    record(stop_request_t::none);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

void platform::stop_catching_stop_requests() {
    SetConsoleCtrlHandler(on_console_event, FALSE);
}

platform::stop_request_t platform::caught_stop_request() {
    return static_cast<stop_request_t>(caught.load());
}

void platform::hold_stop_requests() {}

void platform::take_stop_requests_here() {}

bool platform::simulation_library_loaded() {
    // The simulation build of Velnor.dll imports the virtual platform's
    // velnor_sim.dll; the product build and the tool never load it.
    return GetModuleHandleW(L"velnor_sim.dll") != nullptr;
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

// The command line in UTF-16, as Windows keeps it (linked with -municode):
// main's would come in the ANSI code page, where names in other scripts turn
// into question marks or bytes that are not UTF-8.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.push_back(velnorctl::utf8_of(argv[i]));
    }
    const velnorctl::console_stream_t out(std::cout, STD_OUTPUT_HANDLE);
    const velnorctl::console_stream_t err(std::cerr, STD_ERROR_HANDLE);
    return velnorctl::run_tool(arguments);
}
