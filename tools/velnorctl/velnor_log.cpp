#include "velnor_log.h"

#include <fstream>
#include <sstream>
#include <system_error>

namespace velnorctl {

std::filesystem::path velnor_log_path() {
    std::error_code error;
    const std::filesystem::path directory = std::filesystem::temp_directory_path(error);
    if (error) {
        return {};
    }
    return directory / "Velnor.log";
}

std::string last_log_line_of(const std::string& function) {
    const std::filesystem::path path = velnor_log_path();
    if (path.empty()) {
        return {};
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return {};
    }
    const std::string tag = "[" + function + "]";
    std::string line;
    std::string found;
    while (std::getline(file, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
            line.pop_back();
        }
        if (line.find(tag) != std::string::npos) {
            found = line;
        }
    }
    return found;
}

} // namespace velnorctl
