// File reads and writes; failures throw tool_error_t (file) naming the path.
// A folder (or a device, a pipe) given where a file belongs is said to be one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velnorctl {

// The size of a regular file, found without reading it.
uint64_t regular_file_size(const std::string& path);

// The whole file, refused without reading when it is larger than limit bytes.
std::vector<uint8_t> read_file(const std::string& path, uint64_t limit);

// Up to length bytes from the start of the file (fewer when it is shorter).
std::vector<uint8_t> read_prefix(const std::string& path, uint64_t length);

void write_file(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace velnorctl
