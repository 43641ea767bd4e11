#include "velnor_log.h"

#include "errors.h"
#include "platform.h"
#include "text_escape.h"

#include <cstdlib>
#include <fstream>
#include <system_error>

namespace velnorctl {

namespace {

struct log_folder_t {
    std::filesystem::path path;
    bool is_default = false;
};

log_folder_t& folder() {
    static log_folder_t chosen;
    return chosen;
}

} // namespace

void use_log_folder(const std::string& requested) {
    std::error_code error;
    std::filesystem::path path;
    if (requested.empty()) {
        const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
        path = temporary / ("velnorctl-" + std::to_string(platform::process_id()));
        if (!error) {
            std::filesystem::create_directories(path, error);
        }
        if (error || !std::filesystem::is_directory(path)) {
            // No usable temporary folder: the library cannot log there either.
            // The commands still work; a failure then comes without its detail.
            return;
        }
        platform::point_temporary_folder_at(path);
        folder() = {path, true};
        return;
    }
    path = std::filesystem::absolute(std::filesystem::u8path(requested), error);
    if (error) {
        throw tool_error_t(exit_code_t::file, "log folder '" + printable(requested) +
                                                  "' cannot be used: " + error.message());
    }
    std::filesystem::create_directories(path, error);
    if (error || !std::filesystem::is_directory(path)) {
        throw tool_error_t(exit_code_t::file,
                           "cannot make the log folder '" + printable(path.u8string()) +
                               "': " + (error ? error.message() : "not a folder"));
    }
    platform::point_temporary_folder_at(path);
    folder() = {path, false};
}

void remove_unused_log_folder(bool succeeded) noexcept {
    if (folder().is_default) {
        std::error_code ignored;
        if (succeeded) {
            std::filesystem::remove(velnor_log_path(), ignored);
        }
        std::filesystem::remove(folder().path, ignored); // only when empty
    }
}

std::filesystem::path velnor_log_path() {
    return folder().path.empty() ? std::filesystem::path() : folder().path / "Velnor.log";
}

uint64_t velnor_log_size() {
    std::error_code error;
    const std::filesystem::path path = velnor_log_path();
    const auto size = path.empty() ? 0 : std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<uint64_t>(size);
}

std::string log_line_since(uint64_t mark, const std::string& function) {
    const std::filesystem::path path = velnor_log_path();
    if (path.empty()) {
        return {};
    }
    std::ifstream file(path, std::ios::binary);
    if (!file || !file.seekg(static_cast<std::streamoff>(mark))) {
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
