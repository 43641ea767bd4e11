#include "support/log_file.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

namespace velnor_test {

std::string read_file_bytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> split_log_lines(const std::string& bytes, const std::string& eol) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find(eol, start);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(start));
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + eol.size();
    }
    return lines;
}

std::string text_after(const std::string& line, const std::string& marker) {
    const std::size_t at = line.find(marker);
    return at == std::string::npos ? line : line.substr(at + marker.size());
}

std::uint64_t count_log_lines(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return 0;
    }
    return static_cast<std::uint64_t>(
        std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
}

void trim_log_file(const std::filesystem::path& file, std::uintmax_t max_bytes) {
    std::error_code error;
    if (std::filesystem::file_size(file, error) > max_bytes && !error) {
        std::filesystem::resize_file(file, 0, error);
    }
}

} // namespace velnor_test
