#include "velnor_log.h"

#include "support/log_file.h"

#include <windows.h>

#include <filesystem>
#include <fstream>

namespace e2e {

std::wstring log_path() {
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    return std::wstring(buffer, length) + L"/Velnor.log";
}

std::string read_log() {
    return velnor_test::read_file_bytes(std::filesystem::path(log_path()));
}

void write_log(const std::string& contents) {
    std::ofstream file(std::filesystem::path(log_path()), std::ios::binary | std::ios::trunc);
    file << contents;
}

std::vector<std::string> log_lines(const std::string& contents) {
    return velnor_test::split_log_lines(contents, "\r\n");
}

std::string last_log_message() {
    const std::vector<std::string> lines = log_lines(read_log());
    return lines.empty() ? std::string()
                         : velnor_test::text_after(lines.back(), "[Velnor] [error] ");
}

} // namespace e2e
