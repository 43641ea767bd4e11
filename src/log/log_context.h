// Where the library's log goes and how its logger is configured.
#pragma once

#include <cstdint>
#include <string>

struct velnor_log_context_t {
    // Reads the temporary directory; throws when it is missing or its text
    // cannot be represented in the narrow code page.
    explicit velnor_log_context_t(std::string logger_name);
    virtual ~velnor_log_context_t();

    std::string name;     // "Velnor"
    std::string log_path; // the temporary directory's text, "/", "Velnor.log"
    std::int32_t level;   // spdlog's trace: every record passes and is flushed
};
