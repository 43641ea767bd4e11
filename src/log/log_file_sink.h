// The sink of the library's logger: spdlog's formatting, written to the log
// file the library holds open itself (see velnor::os::owned_file_t), so that
// the file is opened without following a link or waiting on a FIFO.
#pragma once

#include "platform/os.h"

#include <spdlog/sinks/base_sink.h>

#include <filesystem>
#include <mutex>

class log_file_sink_t final : public spdlog::sinks::base_sink<std::mutex> {
public:
    // Opens the file and (but in the watcher) empties it; throws when it
    // cannot be taken.
    explicit log_file_sink_t(const std::filesystem::path& file);

protected:
    // One record, formatted and written whole; a failed write throws, and
    // the logger hands that to spdlog's error handler.
    void sink_it_(const spdlog::details::log_msg& msg) override;
    // Nothing is buffered: each record is in the file once written.
    void flush_() override;

private:
    velnor::os::owned_file_t file_;
};
