// Whole-file reads and writes; failures throw tool_error_t (file) naming the path.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velnorctl {

std::vector<uint8_t> read_file(const std::string& path);
void write_file(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace velnorctl
