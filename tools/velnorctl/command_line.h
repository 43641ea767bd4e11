// What the tool says about a command line it cannot take: CLI11's own text
// for options, and for a command word it does not know the nearest one.
#pragma once

#include "errors.h"

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace velnorctl {

// Prints help or the version for those requests (exit ok), else the error on
// standard error with the message context in front; returns the exit code.
exit_code_t report_parse_error(CLI::App& app, const CLI::ParseError& error);

// The name nearest to word by edit distance (the first of equals), or empty.
std::string nearest_name(const std::string& word, const std::vector<std::string>& names);

} // namespace velnorctl
