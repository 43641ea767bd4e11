#include "log/log_file_sink.h"

log_file_sink_t::log_file_sink_t(const std::filesystem::path& file) : file_(file, "log file") {}

void log_file_sink_t::sink_it_(const spdlog::details::log_msg& msg) {
    spdlog::memory_buf_t formatted;
    formatter_->format(msg, formatted);
    file_.append(formatted.data(), formatted.size());
}

void log_file_sink_t::flush_() {}
