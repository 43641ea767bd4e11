// The trace's file on Windows.
#include "platform/trace_file.h"

#include "platform/win_types.h"

namespace velnor::os {

namespace {
std::error_code last_system_error() {
    return {static_cast<int>(::GetLastError()), std::system_category()};
}

HANDLE as_handle(std::intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}
} // namespace

trace_file_t::~trace_file_t() {
    close();
}

std::error_code trace_file_t::open(const std::filesystem::path& path, std::string& reason) {
    close();
    // OPEN_ALWAYS rather than CREATE_ALWAYS: an existing file is emptied only
    // after it proved to be a plain file, and a reparse point is opened as
    // itself, never followed.
    const HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        reason = "cannot open it";
        return last_system_error();
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool plain =
        ::GetFileType(file) == FILE_TYPE_DISK &&
        ::GetFileInformationByHandle(file, &info) != FALSE &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
    if (!plain) {
        ::CloseHandle(file);
        reason = "not a regular file";
        return std::make_error_code(std::errc::invalid_argument);
    }
    if (::SetEndOfFile(file) == FALSE) {
        const std::error_code error = last_system_error();
        ::CloseHandle(file);
        reason = "cannot empty it";
        return error;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return {};
}

std::error_code trace_file_t::write(const std::uint8_t* data, std::size_t size) {
    DWORD written = 0;
    if (::WriteFile(as_handle(handle_), data, static_cast<DWORD>(size), &written, nullptr) ==
        FALSE) {
        return last_system_error();
    }
    if (written != size) {
        return std::make_error_code(std::errc::no_space_on_device);
    }
    return {};
}

void trace_file_t::close() noexcept {
    if (handle_ != invalid) {
        ::CloseHandle(as_handle(handle_));
        handle_ = invalid;
    }
}

std::uint32_t current_process_id() {
    return ::GetCurrentProcessId();
}

std::uint32_t current_thread_id() {
    return ::GetCurrentThreadId();
}

host_error_keeper_t::host_error_keeper_t() : saved_(::GetLastError()) {}

host_error_keeper_t::~host_error_keeper_t() {
    ::SetLastError(saved_);
}

} // namespace velnor::os
