// Test support for programs that run the library in their own process: a
// private temporary directory (where the library's log goes) and the log
// file in it, read through support/log_file.h.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace velnor_test {

// The process's private temporary directory (set up by the test main).
const std::filesystem::path& temp_dir();

// Points the process's temporary directory at dir (TMPDIR, or TMP/TEMP on Windows).
void set_temp_dir_variable(const std::filesystem::path& dir);

// Velnor.log in the private temporary directory.
std::filesystem::path log_file();

// The raw bytes of the log file ("" when it does not exist).
std::string read_log_bytes();

// The log's lines, without their line endings.
std::vector<std::string> read_log_lines();

// The platform's line ending as the logger writes it.
const char* line_ending();

// Forgets the "Velnor" logger and deletes the log file, so that the next
// failure starts a fresh file.
void reset_log();

// Runs a shell command and returns its exit status.
int run_command(const std::string& command);

} // namespace velnor_test
