// Where the library's log goes and how its logger is configured.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

struct velnor_log_context_t {
    // Reads the temporary directory; throws when it is missing or not a
    // directory.
    explicit velnor_log_context_t(std::string logger_name);
    virtual ~velnor_log_context_t();

    std::string name;     // "Velnor"
    std::string log_path; // the temporary directory's narrow text, "/", "Velnor.log"
    std::int32_t level;   // spdlog's trace: every record passes and is flushed

    // The directory as the system reports it, and the log file in it by its
    // own (on Windows wide) name. The file is opened by that name, so a
    // directory whose name the narrow code page cannot hold still gets its
    // log; log_path then carries the name in UTF-8, for reading only.
    std::filesystem::path directory;
    std::filesystem::path file;
};
