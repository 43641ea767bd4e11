#include "trace_file.h"

#include <velnor_trace_format.h>

#include <cstring>
#include <memory>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velnor::sim {
namespace {

/* The bytes that say "pcapng, little-endian": a section header's type and its
 * byte-order magic, both in the first 12 bytes. */
constexpr std::size_t magic_size = 12;

#ifdef _WIN32

struct handle_closer_t {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using file_handle_t = std::unique_ptr<void, handle_closer_t>;

std::wstring wide_path(const std::string& path) {
    const int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(),
                                          static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(count > 0 ? count : 0), L'\0');
    if (count > 0) {
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(),
                            static_cast<int>(path.size()), wide.data(), count);
    }
    return wide;
}

std::string system_text(DWORD code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string out = length > 0 ? std::string(text, length) : "error " + std::to_string(code);
    LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) {
        out.pop_back();
    }
    return out;
}

bool read_regular(const std::string& path, std::uint64_t limit, std::vector<std::uint8_t>& bytes,
                  std::uint64_t& file_size, std::string& error) {
    const std::wstring wide = wide_path(path);
    if (wide.empty() && !path.empty()) {
        error = "cannot open it: the path is not UTF-8";
        return false;
    }
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = "is a folder, not a trace file";
        return false;
    }
    const file_handle_t file(CreateFileW(wide.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        error = "cannot open it: " + system_text(GetLastError());
        return false;
    }
    switch (GetFileType(file.get())) {
    case FILE_TYPE_DISK:
        break;
    case FILE_TYPE_PIPE:
        error = "is a pipe, not a trace file";
        return false;
    default:
        error = "is a device, not a trace file";
        return false;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) {
        error = "cannot read it: " + system_text(GetLastError());
        return false;
    }
    file_size = static_cast<std::uint64_t>(size.QuadPart);
    bytes.resize(static_cast<std::size_t>(file_size < limit ? file_size : limit));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t left = bytes.size() - done;
        const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.data() + done, chunk, &got, nullptr)) {
            error = "cannot read it: " + system_text(GetLastError());
            return false;
        }
        if (got == 0) {
            break; /* shorter than when its size was asked */
        }
        done += got;
    }
    bytes.resize(done);
    return true;
}

#else

struct descriptor_t {
    int fd = -1;
    ~descriptor_t() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

std::string kind_refusal(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "is a folder, not a trace file";
    }
    if (S_ISFIFO(mode)) {
        return "is a FIFO (named pipe), not a trace file";
    }
    if (S_ISSOCK(mode)) {
        return "is a socket, not a trace file";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "is a device, not a trace file";
    }
    return "is not a regular file";
}

/* Reads at most `count` bytes at the current offset; false on a read error. */
bool read_all(int fd, std::uint8_t* data, std::size_t count, std::size_t& done) {
    done = 0;
    while (done < count) {
        const ssize_t got = ::read(fd, data + done, count - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool read_regular(const std::string& path, std::uint64_t limit, std::vector<std::uint8_t>& bytes,
                  std::uint64_t& file_size, std::string& error) {
    /* Non-blocking, so that a FIFO without a writer is refused rather than
     * waited on; a link is followed (a trace may be reached through one). */
    descriptor_t file;
    file.fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (file.fd < 0) {
        const int code = errno;
        struct stat status {};
        if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
            error = kind_refusal(status.st_mode);
        } else {
            error = std::string("cannot open it: ") + std::strerror(code);
        }
        return false;
    }
    struct stat status {};
    if (::fstat(file.fd, &status) != 0) {
        error = std::string("cannot read it: ") + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        error = kind_refusal(status.st_mode);
        return false;
    }
    file_size = static_cast<std::uint64_t>(status.st_size);
    bytes.resize(static_cast<std::size_t>(file_size < limit ? file_size : limit));
    std::size_t done = 0;
    if (!read_all(file.fd, bytes.data(), bytes.size(), done)) {
        error = std::string("cannot read it: ") + std::strerror(errno);
        return false;
    }
    bytes.resize(done);
    return true;
}

#endif

} // namespace

bool read_regular_file(const std::string& path, std::uint64_t limit,
                       std::vector<std::uint8_t>& bytes, std::uint64_t& file_size,
                       std::string& error) {
    bytes.clear();
    file_size = 0;
    return read_regular(path, limit, bytes, file_size, error);
}

trace_load_t load_trace_file(const std::string& path, trace_t& trace, std::string& error,
                             std::uint64_t limit) {
    std::vector<std::uint8_t> bytes;
    std::uint64_t file_size = 0;
    /* The magic first: a large file that is not a trace is refused without
     * being read. */
    if (!read_regular_file(path, magic_size, bytes, file_size, error)) {
        return trace_load_t::unreadable;
    }
    if (!trace_magic_ok(bytes.data(), bytes.size(), error)) {
        return trace_load_t::not_a_trace;
    }
    if (!read_regular_file(path, limit, bytes, file_size, error)) {
        return trace_load_t::unreadable;
    }
    if (!read_trace(bytes.data(), bytes.size(), trace, error)) {
        return trace_load_t::not_a_trace;
    }
    if (file_size > bytes.size() && (trace.damage.empty() || trace.cut_short)) {
        const std::string read = limit % (1ull << 30) == 0 ? std::to_string(limit >> 30) + " GiB"
                                                           : std::to_string(limit) + " bytes";
        trace.damage = "the trace goes on past " + read + " (" + std::to_string(file_size) +
                       " bytes); the part after the first " + read + " is not read";
    }
    return trace_load_t::loaded;
}

} // namespace velnor::sim
