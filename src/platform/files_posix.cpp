// The temporary directory and the files the library owns in it (the log, the
// traces) on a POSIX host: names are bytes, so the narrow text is the name itself.
#include "platform/os.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace velnor::os {
namespace {

[[noreturn]] void fail_to_own(const char* what, const std::filesystem::path& file, int error) {
    throw std::filesystem::filesystem_error(what, file,
                                            std::error_code(error, std::system_category()));
}

int descriptor(std::intptr_t handle) {
    return static_cast<int>(handle);
}

// The error value that names what a file's status shows in the way: 0 for a
// regular file with one name.
int refusal_of_file(const struct stat& info) {
    if (S_ISLNK(info.st_mode)) {
        return ELOOP;
    }
    if (S_ISDIR(info.st_mode)) {
        return EISDIR;
    }
    if (!S_ISREG(info.st_mode)) {
        return ENOTSUP; // a FIFO with a reader, a device, a socket
    }
    return info.st_nlink != 1 ? EMLINK : 0;
}

// What holds a name that a new file could not take, for the line that says
// why: the link, folder or other file there, or EEXIST for a plain file.
int what_is_at(const std::filesystem::path& file) {
    struct stat info {};
    if (::lstat(file.c_str(), &info) != 0) {
        return EEXIST; // gone again since
    }
    const int error = refusal_of_file(info);
    return error != 0 ? error : EEXIST;
}

} // namespace

std::filesystem::path temp_directory() {
    return std::filesystem::temp_directory_path();
}

std::optional<std::string> file_system_text(const std::filesystem::path& dir) {
    return dir.native();
}

directory_hold_t::directory_hold_t(const std::filesystem::path& dir) {
    std::error_code error;
    if (!std::filesystem::is_directory(dir, error)) {
        throw std::filesystem::filesystem_error(
            "log directory", dir, error ? error : std::make_error_code(std::errc::not_a_directory));
    }
}

directory_hold_t::~directory_hold_t() = default;

owned_file_t::owned_file_t(const std::filesystem::path& file, const char* what, taking_t taking)
    : write_failure_(std::string("Failed writing to the ") + what) {
    // O_NOFOLLOW: a planted link fails here (ELOOP) instead of naming the
    // file to empty. O_NONBLOCK: a FIFO without a reader fails at once
    // (ENXIO) instead of waiting for one; on a regular file it changes
    // nothing. O_EXCL: a new file's name that exists fails (EEXIST), whatever
    // it names, and is never opened.
    const bool create_new = taking == taking_t::create_new;
    const int flags = O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC |
                      (create_new ? O_EXCL : 0);
    const int fd = ::open(file.c_str(), flags, create_new ? 0600 : 0666);
    if (fd < 0) {
        const int error = errno;
        fail_to_own(what, file, create_new && error == EEXIST ? what_is_at(file) : error);
    }
    struct stat info {};
    int error = ::fstat(fd, &info) != 0 ? errno : refusal_of_file(info);
    if (error == 0 && taking == taking_t::empty && ::ftruncate(fd, 0) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::close(fd);
        fail_to_own(what, file, error);
    }
    handle_ = fd;
}

file_refusal_t file_refusal_of(const std::error_code& error) {
    if (error.category() != std::system_category()) {
        return file_refusal_t::other;
    }
    switch (error.value()) {
    case ELOOP:
        return file_refusal_t::link;
    case EISDIR:
    case ENXIO:
    case ENOTSUP:
        return file_refusal_t::not_regular;
    case EMLINK:
        return file_refusal_t::second_name;
    case EEXIST:
        return file_refusal_t::name_taken;
    default:
        return file_refusal_t::other;
    }
}

owned_file_t::~owned_file_t() {
    ::close(descriptor(handle_));
}

void owned_file_t::append(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(descriptor(handle_), data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::system_error(errno, std::system_category(), write_failure_);
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

} // namespace velnor::os
