// The one reader of the library's log file for every test program, the
// benchmarks and the fuzz harnesses. Each caller says where the file is (its
// private temporary directory, or the path the DLL itself reports) and which
// line ending the logger writes; the reading is the same everywhere.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace velnor_test {

// The file's bytes as written; "" when it does not exist.
std::string read_file_bytes(const std::filesystem::path& file);

// bytes split at each eol; a trailing piece without eol is kept as a line.
std::vector<std::string> split_log_lines(const std::string& bytes, const std::string& eol);

// What follows marker in line (the message after the logger's prefix), or
// the whole line when marker is not in it.
std::string text_after(const std::string& line, const std::string& marker);

// Line feeds in the file (0 when it does not exist).
std::uint64_t count_log_lines(const std::filesystem::path& file);

// Empties the file when it has grown past max_bytes; the logger appends, so
// emptying it under an open logger is safe. Missing files are left alone.
void trim_log_file(const std::filesystem::path& file, std::uintmax_t max_bytes);

} // namespace velnor_test
