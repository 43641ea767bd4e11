#include "log/logger.h"

#include "log/log_context.h"
#include "platform/os.h"

#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include <mutex>

namespace {

constexpr const char* logger_name = "Velnor";

// Two threads failing first at once would both register "Velnor" and
// spdlog would refuse the second; creation is therefore one step, and the
// log context is only ever built (or its failed build retried) under it.
std::mutex& creation_mutex() {
    static std::mutex mutex;
    return mutex;
}

const velnor_log_context_t& log_context() {
    static const velnor_log_context_t context{logger_name};
    return context;
}

} // namespace

std::shared_ptr<spdlog::logger> velnor_logger() {
    if (auto logger = spdlog::get(logger_name)) {
        return logger;
    }
    std::lock_guard<std::mutex> lock(creation_mutex());
    if (auto logger = spdlog::get(logger_name)) {
        return logger;
    }
    const velnor_log_context_t& context = log_context();
    spdlog::drop(context.name);
    // The sink makes any missing folder on its path; holding the directory
    // leaves it nothing to make, and a directory that has gone since the
    // path was fixed costs the line, never a folder of the library's own.
    const velnor::os::directory_hold_t hold(context.directory);
    auto logger = spdlog::basic_logger_mt(context.name, context.file.native(), true);
    const auto level = static_cast<spdlog::level::level_enum>(context.level);
    logger->flush_on(level);
    logger->set_level(level);
    return logger;
}

namespace velnor {

void log_failure(const char* function, const std::error_code& code,
                 std::string_view text) noexcept {
    try {
        std::shared_ptr<spdlog::logger> logger = velnor_logger();
        logger->error("[{}] Error: {}:{}, {}", function, code.category().name(), code.value(),
                      text);
    } catch (...) {
        // The caller's result is the failure it already has; a lost line changes nothing.
    }
}

} // namespace velnor
