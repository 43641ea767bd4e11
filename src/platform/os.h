// The platform room, the OS seam: the library's only door to the operating
// system, the six calls it makes with their Win32 signatures. One backend
// forwards them to Windows, the other to the virtual platform; the choice is
// made when the library is built. Calls to system functions are wrapped here so that nothing above
// this header knows which platform it runs on.
//
// The temporary directory, where the log goes, is the host's real file
// system in both backends: its functions and the log file below follow the host
// (Windows' code pages and handles, or POSIX's byte names), not the backend.
#pragma once

#include "platform/win_types.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

// The recording build compiles the real backend a second time with
// VELNOR_OS_FORWARDED defined, which names its calls velnor::os_forwarded;
// its own calls in velnor::os record each call and forward it there.
#if defined(VELNOR_OS_FORWARDED)
#define VELNOR_OS_NAMESPACE os_forwarded
#else
#define VELNOR_OS_NAMESPACE os
#endif

namespace velnor::VELNOR_OS_NAMESPACE {

#include "platform/os_calls.h"

// The user's temporary directory, read and checked the way the standard
// library's temp_directory_path does: on Windows GetTempPathW into 261
// characters, its text kept as the system reports it (trailing backslash
// included). Throws std::filesystem::filesystem_error naming
// "temp_directory_path" when the text is too long or does not name an
// existing directory (a reparse point must also be openable).
std::filesystem::path temp_directory();

// The directory's text in the code page the narrow file functions use: UTF-8
// when the C runtime's locale code page is UTF-8, otherwise the ANSI code
// page, or the OEM code page when the process switched the file functions to
// OEM. Empty when a character cannot be represented there (never replaced by
// a look-alike or a default character). On POSIX hosts the name's bytes.
std::optional<std::string> file_system_text(const std::filesystem::path& dir);

// Keeps a directory where it is while the log file is opened in it. On
// Windows an open handle that shares no delete access: the directory can be
// neither removed nor renamed while the hold lives. POSIX has no such lock;
// there the hold checks only. Throws std::filesystem::filesystem_error when
// dir is not an existing directory.
class directory_hold_t {
public:
    explicit directory_hold_t(const std::filesystem::path& dir);
    ~directory_hold_t();
    directory_hold_t(const directory_hold_t&) = delete;
    directory_hold_t& operator=(const directory_hold_t&) = delete;

private:
    [[maybe_unused]] void* handle_ = nullptr; // used by the Windows hold only
};

// A file the library writes in the shared temporary directory (the log, the
// trace), held open for appending and closed with its owner. The name is
// opened as it stands, in one step: a symbolic link (on Windows any reparse
// point) is not followed, a FIFO or device is not waited on, and only a
// regular file with no second name is taken. The log's file is made when
// missing (never a folder) and, unless kept, emptied once taken. A trace's
// file is always made new (owner-only on POSIX, 0600): a name that exists is
// never opened, whatever it is. Anything else is left as it was and the
// constructor throws std::filesystem::filesystem_error with the system's own
// error value for each case, which file_refusal_of() names.
class owned_file_t {
public:
    // Whether taking the file empties it (the library's log, once per
    // process), keeps what is in it (a companion library's lines, added to
    // the log the library owns), or makes a new file under a name nothing
    // has (a trace).
    enum class taking_t { empty, keep, create_new };

    owned_file_t(const std::filesystem::path& file, const char* what,
                 taking_t taking = taking_t::empty);
    ~owned_file_t();
    owned_file_t(const owned_file_t&) = delete;
    owned_file_t& operator=(const owned_file_t&) = delete;

    // Writes the bytes at the file's end, wherever other processes' lines
    // have moved it. Throws std::system_error ("Failed writing to the
    // <what>", the system's error value) when they cannot all be written.
    void append(const char* data, std::size_t size);

private:
    std::intptr_t handle_; // a file descriptor on POSIX, a HANDLE on Windows
    std::string write_failure_;
};

// What kept owned_file_t from a file, named from the system's error value
// itself (never through std::errc, which not every standard library maps for
// Windows' values):
//   link         a symbolic link (POSIX ELOOP; Windows any reparse point,
//                ERROR_CANT_RESOLVE_FILENAME)
//   not_regular  a folder, FIFO, device or socket (EISDIR, ENXIO, ENOTSUP;
//                ERROR_NOT_SUPPORTED)
//   second_name  a regular file with another name too, a hard link
//                (EMLINK; ERROR_TOO_MANY_LINKS)
//   name_taken   a regular file that a new file's name already names
//                (EEXIST; ERROR_FILE_EXISTS)
//   other        anything else: no access, no space, no such folder, ...
enum class file_refusal_t { link, not_regular, second_name, name_taken, other };
file_refusal_t file_refusal_of(const std::error_code& error);

} // namespace velnor::VELNOR_OS_NAMESPACE
