#include "support/test_env.h"

#include "support/log_file.h"

#include <spdlog/spdlog.h>

#include <cstdlib>
#include <random>

namespace velnor_test {

const std::filesystem::path& temp_dir() {
    static const std::filesystem::path dir = [] {
        std::filesystem::path base = std::filesystem::temp_directory_path();
        std::random_device random;
        std::filesystem::path path =
            base / ("velnor-test-" + std::to_string(random()) + "-" + std::to_string(random()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return dir;
}

void set_temp_dir_variable(const std::filesystem::path& dir) {
#ifdef _WIN32
    _putenv_s("TMP", dir.string().c_str());
    _putenv_s("TEMP", dir.string().c_str());
#else
    setenv("TMPDIR", dir.string().c_str(), 1);
#endif
}

std::filesystem::path log_file() {
    return temp_dir() / "Velnor.log";
}

std::string read_log_bytes() {
    return read_file_bytes(log_file());
}

const char* line_ending() {
#ifdef _WIN32
    return "\r\n";
#else
    return "\n";
#endif
}

std::vector<std::string> read_log_lines() {
    return split_log_lines(read_log_bytes(), line_ending());
}

void reset_log() {
    spdlog::drop("Velnor");
    std::error_code ignored;
    std::filesystem::remove(log_file(), ignored);
}

int run_command(const std::string& command) {
    return std::system(command.c_str());
}

} // namespace velnor_test
