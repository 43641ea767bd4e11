#include "files.h"

#include "errors.h"
#include "text_escape.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace velnorctl {

namespace {

std::string quoted(const std::string& path) {
    return "'" + printable(path) + "'";
}

// The system's words for the last failed call of the C library (which the
// file streams use), or general ones when it left none.
std::string last_reason(const char* otherwise) {
    return errno != 0 ? std::generic_category().message(errno) : otherwise;
}

// The path from the UTF-8 text of a command line (on Windows converted from
// the UTF-16 one), never through a code page.
std::filesystem::path file_path(const std::string& path) {
    try {
        return std::filesystem::u8path(path);
    } catch (const std::exception&) {
        throw tool_error_t(exit_code_t::file, quoted(path) + " is not a file name (not UTF-8)");
    }
}

} // namespace

uint64_t regular_file_size(const std::string& path) {
    std::error_code error;
    const std::filesystem::path file = file_path(path);
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    if (std::filesystem::is_directory(status)) {
        throw tool_error_t(exit_code_t::file, quoted(path) + " is a folder, not a file");
    }
    if (error || !std::filesystem::exists(status)) {
        const std::error_code why =
            error ? error : std::make_error_code(std::errc::no_such_file_or_directory);
        throw tool_error_t(exit_code_t::file,
                           "cannot open " + quoted(path) + " for reading: " + why.message());
    }
    if (!std::filesystem::is_regular_file(status)) {
        throw tool_error_t(exit_code_t::file, quoted(path) + " is not a regular file");
    }
    const auto size = std::filesystem::file_size(file, error);
    if (error) {
        throw tool_error_t(exit_code_t::file,
                           "cannot read " + quoted(path) + ": " + error.message());
    }
    return static_cast<uint64_t>(size);
}

std::vector<uint8_t> read_file(const std::string& path, uint64_t limit) {
    const uint64_t size = regular_file_size(path);
    if (size > limit) {
        throw tool_error_t(exit_code_t::file, quoted(path) + " holds " + std::to_string(size) +
                                                  " bytes, more than the " + std::to_string(limit) +
                                                  " a board accepts");
    }
    return read_prefix(path, size);
}

std::vector<uint8_t> read_prefix(const std::string& path, uint64_t length) {
    const std::filesystem::path name = file_path(path);
    errno = 0;
    std::ifstream file(name, std::ios::binary);
    if (!file) {
        throw tool_error_t(exit_code_t::file, "cannot open " + quoted(path) + " for reading: " +
                                                  last_reason("the system gave no reason"));
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    errno = 0;
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(length));
    if (file.bad()) {
        throw tool_error_t(exit_code_t::file, "cannot read " + quoted(path) + ": " +
                                                  last_reason("the system gave no reason"));
    }
    bytes.resize(static_cast<size_t>(file.gcount()));
    return bytes;
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::filesystem::path file_name = file_path(path);
    std::error_code ignored;
    if (std::filesystem::is_directory(file_name, ignored)) {
        throw tool_error_t(exit_code_t::file, quoted(path) + " is a folder, not a file");
    }
    errno = 0;
    std::ofstream file(file_name, std::ios::binary | std::ios::trunc);
    if (!file) {
        throw tool_error_t(exit_code_t::file, "cannot open " + quoted(path) + " for writing: " +
                                                  last_reason("the system gave no reason"));
    }
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        throw tool_error_t(exit_code_t::file, "cannot write " + quoted(path) + ": " +
                                                  last_reason("the system gave no reason"));
    }
}

} // namespace velnorctl
