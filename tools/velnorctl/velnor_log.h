// The library's log, Velnor.log in its temporary folder: the only place
// where it gives the detail of a failure. The tool points that folder at one
// of its own before the first library call, so the lines it reads back are
// this process's alone: by default <temp>/velnorctl-<process id>, removed at
// exit when nothing was logged; --log-dir chooses another.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace velnorctl {

// Makes requested (or, when empty, the default folder) the library's
// temporary folder: creates it and sets TMPDIR (TMP and TEMP on Windows) in
// this process's environment. Call before any library call. Throws
// tool_error_t (file) when a requested folder cannot be made; when the
// default one cannot, the library's temporary folder is left as it is.
void use_log_folder(const std::string& requested);

// Removes the default folder again at exit when the library wrote nothing
// there, or when the run succeeded (what the library logged then, such as
// the refusals clock --list provokes, reports no failure of the user's).
void remove_unused_log_folder(bool succeeded) noexcept;

// The log file in the folder chosen (empty before use_log_folder).
std::filesystem::path velnor_log_path();

// The size of the log file now (0 when there is none).
uint64_t velnor_log_size();

// The newest line that names function among the lines written after the log
// had size mark, without its line ending; empty when there is none.
std::string log_line_since(uint64_t mark, const std::string& function);

} // namespace velnorctl
