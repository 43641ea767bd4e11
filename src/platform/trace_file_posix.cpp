// The trace's file on a POSIX host.
#include "platform/trace_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace velnor::os {

namespace {
std::error_code last_errno() {
    return {errno, std::system_category()};
}
} // namespace

trace_file_t::~trace_file_t() {
    close();
}

std::error_code trace_file_t::open(const std::filesystem::path& path, std::string& reason) {
    close();
    // No O_TRUNC here: a FIFO or device must not be touched before it is refused.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        const std::error_code error = last_errno();
        reason = error.value() == ELOOP ? "it is a link" : "cannot open it";
        return error;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        reason = "not a regular file";
        return std::make_error_code(std::errc::invalid_argument);
    }
    if (::ftruncate(fd, 0) != 0) {
        const std::error_code error = last_errno();
        ::close(fd);
        reason = "cannot empty it";
        return error;
    }
    handle_ = fd;
    return {};
}

std::error_code trace_file_t::write(const std::uint8_t* data, std::size_t size) {
    const ssize_t written = ::write(static_cast<int>(handle_), data, size);
    if (written < 0) {
        return last_errno();
    }
    if (static_cast<std::size_t>(written) != size) {
        return std::make_error_code(std::errc::no_space_on_device);
    }
    return {};
}

void trace_file_t::close() noexcept {
    if (handle_ != invalid) {
        ::close(static_cast<int>(handle_));
        handle_ = invalid;
    }
}

std::uint32_t current_process_id() {
    return static_cast<std::uint32_t>(::getpid());
}

std::uint32_t current_thread_id() {
    return static_cast<std::uint32_t>(::syscall(SYS_gettid));
}

host_error_keeper_t::host_error_keeper_t() : saved_(static_cast<std::uint32_t>(errno)) {}

host_error_keeper_t::~host_error_keeper_t() {
    errno = static_cast<int>(saved_);
}

} // namespace velnor::os
