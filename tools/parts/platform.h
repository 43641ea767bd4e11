// What the tool asks of the operating system, one file per system
// (platform_windows.cpp, platform_posix.cpp, chosen by the build): the
// process id, the temporary folder the library logs in, the local time, and
// what stops the process in the middle of an update or a watch. Terminals
// and a closed standard output are in terminal.h, implemented by the same
// files.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velnorctl {

// The tool itself (main.cpp), given its command line in UTF-8, the
// program's name first. Each system's entry point prepares the process and
// calls it: on Windows the command line is taken in UTF-16 and converted,
// so that any file name a user types arrives whole.
int run_tool(const std::vector<std::string>& arguments);

} // namespace velnorctl

namespace velnorctl::platform {

unsigned long process_id();

// Points the temporary folder the library asks for (TMP and TEMP on
// Windows, TMPDIR elsewhere) at path, in this process's environment.
// Throws tool_error_t (file) when it cannot.
void point_temporary_folder_at(const std::filesystem::path& path);

// The longest path, in the system's characters, at which the library can
// still write its log (on Windows MAX_PATH less its terminating NUL); none
// where the system sets no such limit.
std::optional<size_t> longest_log_path();

// Up to limit bytes of the file at path from offset on, opened as the library
// opens its log: a regular file only, a link at path never followed, a FIFO
// or a device never waited on or read. Nothing when path is not such a file
// or cannot be read.
std::optional<std::string> read_plain_file(const std::filesystem::path& path, uint64_t offset,
                                           uint64_t limit);

// The size of the file at path, opened as read_plain_file opens it; nothing
// when it is not such a file.
std::optional<uint64_t> plain_file_size(const std::filesystem::path& path);

// The moment in the system's time zone, as the clock on the wall shows it.
std::tm local_time(std::time_t moment);

// What asked the process to stop while stop requests were caught.
enum class stop_request_t : int {
    none,
    sigint,
    sigterm,
    sighup,
    ctrl_c,
    ctrl_break,
    console_closed,
    logoff,
    shutdown
};

// From start to stop, SIGINT, SIGTERM and SIGHUP (on Windows Ctrl-C,
// Ctrl-Break, the console closing, the user logging off and the system
// shutting down) are recorded instead of ending the process.
void start_catching_stop_requests();
void stop_catching_stop_requests();
stop_request_t caught_stop_request();

// For a program of several threads that watches for stop requests on one
// of them: hold_stop_requests() keeps SIGINT, SIGTERM and SIGHUP from the
// calling thread and from every thread it starts afterwards; the watching
// thread then calls take_stop_requests_here(), so the signals arrive there
// and nowhere else. No effect on Windows, whose console events come on a
// thread of their own.
void hold_stop_requests();
void take_stop_requests_here();

// Whether the library loaded is the simulation build (on Windows the drop-in
// Velnor.dll beside velnor_sim.dll, which it loads); a build of the tool for
// the virtual platform knows that without asking.
bool simulation_library_loaded();

} // namespace velnorctl::platform
