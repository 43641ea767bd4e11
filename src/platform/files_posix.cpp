// The temporary directory and the log file on a POSIX host: names are bytes,
// so the narrow text is the name itself.
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
    // (ENXIO) instead of waiting for one; on a regular file it changes nothing.
    const int fd = ::open(
        file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        fail_to_own(what, file, errno);
    }
    struct stat info {};
    const bool read = ::fstat(fd, &info) == 0;
    int error = read ? 0 : errno;
    // A FIFO with a reader, a device, or a second name of another file.
    if (read && (!S_ISREG(info.st_mode) || info.st_nlink != 1)) {
        error = ENOTSUP;
    }
    if (error == 0 && taking == taking_t::empty && ::ftruncate(fd, 0) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::close(fd);
        fail_to_own(what, file, error);
    }
    handle_ = fd;
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
            throw std::system_error(errno, std::generic_category(), write_failure_);
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

} // namespace velnor::os
