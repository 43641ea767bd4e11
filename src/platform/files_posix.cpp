// The temporary directory on a POSIX host: names are bytes, so the narrow
// text is the name itself.
#include "platform/os.h"

#include <system_error>

namespace velnor::os {

std::filesystem::path temp_directory() {
    return std::filesystem::temp_directory_path();
}

std::optional<std::string> file_system_text(const std::filesystem::path& dir) {
    return dir.native();
}

directory_hold_t::directory_hold_t(const std::filesystem::path& dir) {
    std::error_code error;
    if (!std::filesystem::is_directory(dir, error)) {
        throw std::filesystem::filesystem_error(
            "log directory", dir, error ? error : std::make_error_code(std::errc::not_a_directory));
    }
}

directory_hold_t::~directory_hold_t() = default;

} // namespace velnor::os
