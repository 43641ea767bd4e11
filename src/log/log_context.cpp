#include "log/log_context.h"

#include <fmt/format.h>

#include <filesystem>
#include <utility>

velnor_log_context_t::velnor_log_context_t(std::string logger_name)
    : name(std::move(logger_name)),
      log_path(fmt::format("{}/{}", std::filesystem::temp_directory_path().string(), "Velnor.log")),
      level(0) {}

velnor_log_context_t::~velnor_log_context_t() = default;
