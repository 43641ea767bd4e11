#include "log/log_context.h"

#include "platform/os.h"

#include <fmt/format.h>

#include <optional>
#include <utility>

namespace {

constexpr const char* file_name = "Velnor.log";

std::filesystem::path file_in(const std::filesystem::path& dir) {
    std::filesystem::path file = dir;
    file += "/";
    file += file_name;
    return file;
}

std::string narrow_text(const std::filesystem::path& dir) {
    if (std::optional<std::string> text = velnor::os::file_system_text(dir)) {
        return std::move(*text);
    }
    return dir.u8string();
}

} // namespace

velnor_log_context_t::velnor_log_context_t(std::string logger_name)
    : name(std::move(logger_name)), level(0), directory(velnor::os::temp_directory()),
      file(file_in(directory)) {
    log_path = fmt::format("{}/{}", narrow_text(directory), file_name);
}

velnor_log_context_t::~velnor_log_context_t() = default;
