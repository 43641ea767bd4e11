// velnor_log.h - reads the library's log file as the tests see it on disk.
#pragma once

#include <string>
#include <vector>

namespace e2e {

// "<GetTempPathW text>/Velnor.log", the path the library writes to.
std::wstring log_path();

// The whole file, bytes as written; empty when the file does not exist.
std::string read_log();

// Replaces the file's contents (to prove the library empties it).
void write_log(const std::string& contents);

// The file split at CR LF; a trailing piece without CR LF is kept as a line.
std::vector<std::string> log_lines(const std::string& contents);

// The text after "[Velnor] [error] " of the file's last line, or "" when there is none.
std::string last_log_message();

} // namespace e2e
