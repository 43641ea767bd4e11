#include "log/logger.h"

#include "log/log_context.h"
#include "log/log_file_sink.h"
#include "platform/os.h"

#include <spdlog/spdlog.h>

#include <mutex>
#include <utility>

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
    // The directory stays where it is while the file is opened in it; one
    // that has gone since the path was fixed costs the line. Nothing here
    // makes a folder, and a link, FIFO or device planted as the file is
    // refused, costing the line too.
    const velnor::os::directory_hold_t hold(context.directory);
    auto sink = std::make_shared<log_file_sink_t>(context.file);
    auto logger = std::make_shared<spdlog::logger>(context.name, std::move(sink));
    // Registers it and gives it the registry's formatter, as spdlog's own
    // factories do.
    spdlog::initialize_logger(logger);
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
