#include "velnor_log.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace e2e {

std::wstring log_path() {
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    return std::wstring(buffer, length) + L"/Velnor.log";
}

std::string read_log() {
    std::ifstream file(std::filesystem::path(log_path()), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void write_log(const std::string& contents) {
    std::ofstream file(std::filesystem::path(log_path()), std::ios::binary | std::ios::trunc);
    file << contents;
}

std::vector<std::string> log_lines(const std::string& contents) {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start < contents.size()) {
        std::string::size_type end = contents.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(contents.substr(start));
            break;
        }
        lines.push_back(contents.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string last_log_message() {
    std::vector<std::string> lines = log_lines(read_log());
    if (lines.empty()) {
        return {};
    }
    static const std::string marker = "[Velnor] [error] ";
    std::string::size_type at = lines.back().find(marker);
    return at == std::string::npos ? lines.back() : lines.back().substr(at + marker.size());
}

} // namespace e2e
