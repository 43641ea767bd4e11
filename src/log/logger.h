// The log room: the library's logger "Velnor", one sink on a file in the
// temporary directory, made at the first failure of the process. It depends
// on nothing of the library's but fmt and spdlog, so any room may log.
#pragma once

#include <memory>
#include <string_view>
#include <system_error>

namespace spdlog {
class logger;
}

// The "Velnor" logger, made (and its file emptied) when the registry has
// none. Throws when the temporary directory or the file cannot be used;
// the next call tries again.
std::shared_ptr<spdlog::logger> velnor_logger();

namespace velnor {

// Writes one error line "[function] Error: category:value, text". Never
// throws: a line that cannot be written is lost, nothing else happens.
void log_failure(const char* function, const std::error_code& code, std::string_view text) noexcept;

} // namespace velnor
