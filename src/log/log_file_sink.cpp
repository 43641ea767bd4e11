#include "log/log_file_sink.h"

namespace {

// The watcher, a companion library, adds its lines to the log the library
// owns and empties at its own first failure in the process; it never empties
// the file itself, which would lose the library's lines.
#if defined(VELNOR_LOG_KEEPS_FILE)
constexpr auto taking = velnor::os::owned_file_t::taking_t::keep;
#else
constexpr auto taking = velnor::os::owned_file_t::taking_t::empty;
#endif

} // namespace

log_file_sink_t::log_file_sink_t(const std::filesystem::path& file)
    : file_(file, "log file", taking) {}

void log_file_sink_t::sink_it_(const spdlog::details::log_msg& msg) {
    spdlog::memory_buf_t formatted;
    formatter_->format(msg, formatted);
    file_.append(formatted.data(), formatted.size());
}

void log_file_sink_t::flush_() {}
