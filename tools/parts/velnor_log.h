// The library's log, Velnor.log in its temporary folder: the only place
// where it gives the detail of a failure. The tool points that folder at one
// of its own before the first library call, so the lines it reads back are
// this run's alone: by default a new folder <temp>/velnorctl-<process id>-<8
// hex digits> made for this run (never one an earlier run left, even when
// the system gives out the same process id again), removed at exit when
// nothing was logged; --log-dir chooses another.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace velnorctl {

// Makes requested (or, when empty, a new default folder) the library's
// temporary folder: creates it and sets TMPDIR (TMP and TEMP on Windows) in
// this process's environment. Call before any library call. Throws
// tool_error_t (file) when a requested folder cannot be made; when the
// default one cannot (the temporary folder is missing or refuses it), the
// library's temporary folder is left as it is and one warning line on
// standard error says that no log, and no trace, is written.
//
// The folder is tried with a write first. The library's logging reports a
// line it cannot write (a full disk) on standard error, in its own words,
// with no way to catch them; a folder that does not take the write is
// therefore not given to the library: its lines go nowhere instead, and
// log_trouble() says why.
void use_log_folder(const std::string& requested);

// The folder chosen, for a program the tool runs (velnorctl record) to log
// and record in: kept at exit whatever the result. Throws tool_error_t
// (file) when there is none or it did not take a write.
std::filesystem::path hand_over_log_folder();

// Removes the default folder again at exit when the library wrote nothing
// there, or when the run succeeded (what the library logged then, such as
// the refusals clock --list provokes, reports no failure of the user's). A
// folder of another run is never touched.
void remove_unused_log_folder(bool succeeded) noexcept;

// The log file in the folder chosen (empty before use_log_folder).
std::filesystem::path velnor_log_path();

// The size of the log file now (0 when there is none).
uint64_t velnor_log_size();

// The line the library wrote for a failed call of function that began when
// the log had size mark, without its line ending: the first line naming
// function after the mark and after every line an earlier failure took (so
// each failure gets its own, however many identical lines there are). A log
// emptied since the mark (the library empties it at a process's first
// failure) is read from its start. Empty when there is none.
std::string log_line_since(uint64_t mark, const std::string& function);

// Whether the library's lines cannot be written in the folder chosen (found
// at use_log_folder, or by trying the folder again now: a write that fails,
// something other than a regular file of its own at Velnor.log, a path
// longer than the system lets the library use), and the message that says
// so, given only the first time.
struct log_trouble_t {
    bool unwritable = false;
    std::string first_report; // "cannot write the library's log in 'FOLDER': REASON"
};
log_trouble_t log_trouble();

} // namespace velnorctl
