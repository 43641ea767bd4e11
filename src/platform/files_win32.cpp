// The temporary directory on Windows: the system's wide text, its narrow
// form in the file functions' code page, a hold on the directory, and the
// files the library owns in it (the log, the traces).
#include "platform/os.h"

#include <locale.h>

#include <system_error>

namespace velnor::os {
namespace {

constexpr DWORD temp_path_capacity =
    MAX_PATH + 1; // 261 characters, as the standard library reads it

[[noreturn]] void fail(const char* what, const std::filesystem::path& dir, DWORD error) {
    throw std::filesystem::filesystem_error(
        what, dir, std::error_code(static_cast<int>(error), std::system_category()));
}

// The code page the C runtime's narrow file functions use.
UINT file_code_page() {
    if (___lc_codepage_func() == CP_UTF8) {
        return CP_UTF8;
    }
    return ::AreFileApisANSI() ? CP_ACP : CP_OEMCP;
}

HANDLE as_handle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

HANDLE open_directory(const std::filesystem::path& dir, DWORD share) {
    return ::CreateFileW(dir.c_str(), FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The error value that names what an open handle shows in the way:
// ERROR_SUCCESS for a regular file with one name.
DWORD refusal_of_file(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(handle, &info) == 0) {
        return ::GetLastError();
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return ERROR_CANT_RESOLVE_FILENAME;
    }
    if (::GetFileType(handle) != FILE_TYPE_DISK ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return ERROR_NOT_SUPPORTED;
    }
    return info.nNumberOfLinks != 1 ? ERROR_TOO_MANY_LINKS : ERROR_SUCCESS;
}

// What holds a name that a new file could not take, for the line that says
// why: opened for its attributes only, never followed, never written.
DWORD what_is_at(const std::filesystem::path& file) {
    const HANDLE handle = ::CreateFileW(
        file.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return ERROR_FILE_EXISTS;
    }
    const DWORD error = refusal_of_file(handle);
    ::CloseHandle(handle);
    return error != ERROR_SUCCESS ? error : ERROR_FILE_EXISTS;
}

} // namespace

std::filesystem::path temp_directory() {
    wchar_t buffer[temp_path_capacity] = {};
    const DWORD length = ::GetTempPathW(temp_path_capacity, buffer);
    if (length == 0) {
        fail("temp_directory_path", {}, ::GetLastError());
    }
    if (length >= temp_path_capacity) {
        fail("temp_directory_path", {}, ERROR_FILENAME_EXCED_RANGE);
    }
    std::filesystem::path dir(std::wstring(buffer, length));
    const DWORD attributes = ::GetFileAttributesW(buffer);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        fail("temp_directory_path", dir, ::GetLastError());
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        fail("temp_directory_path", dir, ERROR_DIRECTORY);
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        const HANDLE handle =
            open_directory(dir, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
        if (handle == INVALID_HANDLE_VALUE) {
            fail("temp_directory_path", dir, ::GetLastError());
        }
        ::CloseHandle(handle);
    }
    return dir;
}

std::optional<std::string> file_system_text(const std::filesystem::path& dir) {
    const std::wstring& wide = dir.native();
    if (wide.empty()) {
        return std::string();
    }
    const UINT code_page = file_code_page();
    const bool utf8 = code_page == CP_UTF8;
    // UTF-8 refuses unpaired surrogates; other code pages must not fall back
    // on a look-alike ("best fit") or the default character.
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL substituted = FALSE;
    BOOL* const used_default = utf8 ? nullptr : &substituted;
    const int wide_length = static_cast<int>(wide.size());
    const int size = ::WideCharToMultiByte(code_page, flags, wide.data(), wide_length, nullptr, 0,
                                           nullptr, used_default);
    if (size <= 0 || substituted) {
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    if (::WideCharToMultiByte(code_page, flags, wide.data(), wide_length, text.data(), size,
                              nullptr, used_default) != size ||
        substituted) {
        return std::nullopt;
    }
    return text;
}

directory_hold_t::directory_hold_t(const std::filesystem::path& dir) {
    // No FILE_SHARE_DELETE: while this handle is open the directory cannot be
    // removed or renamed, so nobody can make a new one under its name.
    const HANDLE handle = open_directory(dir, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (handle == INVALID_HANDLE_VALUE) {
        fail("log directory", dir, ::GetLastError());
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool read = ::GetFileInformationByHandle(handle, &info) != 0;
    const DWORD error = read ? ERROR_DIRECTORY : ::GetLastError();
    if (!read || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ::CloseHandle(handle);
        fail("log directory", dir, error);
    }
    handle_ = handle;
}

directory_hold_t::~directory_hold_t() {
    ::CloseHandle(handle_);
}

owned_file_t::owned_file_t(const std::filesystem::path& file, const char* what, taking_t taking)
    : write_failure_(std::string("Failed writing to the ") + what) {
    // FILE_FLAG_OPEN_REPARSE_POINT opens a planted link itself, not what it
    // names, so that it can be refused below untouched. CREATE_NEW: a new
    // file's name that exists fails, whatever it names, and is never opened.
    const bool create_new = taking == taking_t::create_new;
    const HANDLE handle =
        ::CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      create_new ? CREATE_NEW : OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        const bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        fail(what, file, create_new && taken ? what_is_at(file) : error);
    }
    DWORD error = refusal_of_file(handle);
    // The file pointer is at the start: this empties the file.
    if (error == ERROR_SUCCESS && taking == taking_t::empty && !::SetEndOfFile(handle)) {
        error = ::GetLastError();
    }
    if (error != ERROR_SUCCESS) {
        ::CloseHandle(handle);
        fail(what, file, error);
    }
    handle_ = reinterpret_cast<std::intptr_t>(handle);
}

file_refusal_t file_refusal_of(const std::error_code& error) {
    if (error.category() != std::system_category()) {
        return file_refusal_t::other;
    }
    switch (static_cast<DWORD>(error.value())) {
    case ERROR_CANT_RESOLVE_FILENAME:
        return file_refusal_t::link;
    case ERROR_NOT_SUPPORTED:
        return file_refusal_t::not_regular;
    case ERROR_TOO_MANY_LINKS:
        return file_refusal_t::second_name;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return file_refusal_t::name_taken;
    default:
        return file_refusal_t::other;
    }
}

owned_file_t::~owned_file_t() {
    ::CloseHandle(as_handle(handle_));
}

void owned_file_t::append(const char* data, std::size_t size) {
    constexpr std::size_t most = 1u << 30;
    while (size > 0) {
        // Both offsets all ones: each write goes to the end of the file as it
        // is then, after any line another process has appended.
        OVERLAPPED at_end{};
        at_end.Offset = 0xFFFFFFFFu;
        at_end.OffsetHigh = 0xFFFFFFFFu;
        const DWORD chunk = static_cast<DWORD>(size < most ? size : most);
        DWORD written = 0;
        const bool wrote = ::WriteFile(as_handle(handle_), data, chunk, &written, &at_end) != 0;
        if (!wrote || written == 0) {
            const DWORD error = wrote ? ERROR_WRITE_FAULT : ::GetLastError();
            throw std::system_error(static_cast<int>(error), std::system_category(),
                                    write_failure_);
        }
        data += written;
        size -= written;
    }
}

} // namespace velnor::os
