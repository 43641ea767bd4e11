// Reads back what the library wrote to its log file, Velnor.log in the
// temporary directory: the only place where it gives the detail of a failure.
#pragma once

#include <filesystem>
#include <string>

namespace velnorctl {

std::filesystem::path velnor_log_path();

// The newest line of the log that names function, without its line ending;
// empty when the file cannot be read or holds no such line.
std::string last_log_line_of(const std::string& function);

} // namespace velnorctl
