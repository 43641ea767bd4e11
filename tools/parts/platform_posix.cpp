// The tool's system calls on Linux and other POSIX systems.
#include "errors.h"
#include "platform.h"
#include "terminal.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velnorctl {

namespace {

using platform::stop_request_t;

// Set by the signal handler, read by whichever thread watches for stops (in
// the panel another thread than the one the signal came to): a lock-free
// atomic is both safe in a handler and visible across threads.
std::atomic<int> caught{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler needs a lock-free flag");

// The signals that stop an update, what each is recorded as, and the action
// it had before.
struct caught_signal_t {
    int number;
    stop_request_t request;
    struct sigaction previous;
};
caught_signal_t stop_signals[] = {{SIGINT, stop_request_t::sigint, {}},
                                  {SIGTERM, stop_request_t::sigterm, {}},
                                  {SIGHUP, stop_request_t::sighup, {}}};

extern "C" void on_signal(int number) {
    for (const caught_signal_t& signal : stop_signals) {
        if (signal.number == number) {
            caught = static_cast<int>(signal.request);
        }
    }
}

// Closes a descriptor when it goes.
struct descriptor_t {
    int fd;
    ~descriptor_t() {
        if (fd >= 0) {
            close(fd);
        }
    }
};

// Opens path for reading as the library opens its log: the name itself must
// be a regular file (a link there fails with ELOOP, a FIFO opens without
// waiting and is refused by the check after it). -1 when it is not one.
int open_plain_file(const std::filesystem::path& path, struct stat& info) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

std::optional<size_t> platform::longest_log_path() {
    return std::nullopt;
}

std::optional<std::string> platform::read_plain_file(const std::filesystem::path& path,
                                                     uint64_t offset, uint64_t limit) {
    struct stat info {};
    const descriptor_t file{open_plain_file(path, info)};
    if (file.fd < 0) {
        return std::nullopt;
    }
    const auto size = static_cast<uint64_t>(info.st_size);
    std::string bytes(static_cast<size_t>(offset < size ? std::min(size - offset, limit) : 0),
                      '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = pread(file.fd, bytes.data() + done, bytes.size() - done,
                                  static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            break; // emptied since the size was read
        }
        done += static_cast<size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

std::optional<uint64_t> platform::plain_file_size(const std::filesystem::path& path) {
    struct stat info {};
    const descriptor_t file{open_plain_file(path, info)};
    if (file.fd < 0) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(info.st_size);
}

unsigned long platform::process_id() {
    return static_cast<unsigned long>(getpid());
}

void platform::point_temporary_folder_at(const std::filesystem::path& path) {
    if (setenv("TMPDIR", path.c_str(), 1) != 0) {
        throw tool_error_t(exit_code_t::file, "cannot set TMPDIR to the log folder");
    }
}

std::tm platform::local_time(std::time_t moment) {
    std::tm local{};
    localtime_r(&moment, &local);
    return local;
}

void platform::start_catching_stop_requests() {
    caught = static_cast<int>(stop_request_t::none);
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (caught_signal_t& signal : stop_signals) {
        // A signal the tool was started with ignored (nohup, a background
        // job) stays ignored: whoever started it asked for that.
        sigaction(signal.number, nullptr, &signal.previous);
        if (signal.previous.sa_handler != SIG_IGN) {
            sigaction(signal.number, &action, nullptr);
        }
    }
}

void platform::stop_catching_stop_requests() {
    for (const caught_signal_t& signal : stop_signals) {
        sigaction(signal.number, &signal.previous, nullptr);
    }
}

platform::stop_request_t platform::caught_stop_request() {
    return static_cast<stop_request_t>(caught.load());
}

namespace {

sigset_t stop_signal_set() {
    sigset_t set;
    sigemptyset(&set);
    for (const caught_signal_t& signal : stop_signals) {
        sigaddset(&set, signal.number);
    }
    return set;
}

} // namespace

void platform::hold_stop_requests() {
    const sigset_t set = stop_signal_set();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void platform::take_stop_requests_here() {
    const sigset_t set = stop_signal_set();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

bool platform::simulation_library_loaded() {
    return false;
}

bool stdin_is_terminal() {
    return isatty(STDIN_FILENO) != 0;
}

bool stdout_is_terminal() {
    return isatty(STDOUT_FILENO) != 0;
}

bool protect_closed_stdout() {
    if (fcntl(STDOUT_FILENO, F_GETFD) != -1) {
        return false;
    }
    const int null = open("/dev/null", O_WRONLY);
    if (null != -1 && null != STDOUT_FILENO) {
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    return true;
}

} // namespace velnorctl

int main(int argc, char** argv) {
    // A reader that goes away (velnorctl ... | head -1) makes the next write
    // fail instead of ending the process: an update in progress is then
    // reset and the exit code says standard output could not be written.
    std::signal(SIGPIPE, SIG_IGN);
    // Under a file-size limit (ulimit -f) a write past it fails with EFBIG
    // and is reported, instead of SIGXFSZ ending the tool mid-update.
    std::signal(SIGXFSZ, SIG_IGN);
    return velnorctl::run_tool(std::vector<std::string>(argv, argv + argc));
}
