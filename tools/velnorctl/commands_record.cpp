// velnorctl record -- COMMAND [ARGS...]: runs a program with the recording
// build of the library in place of the product, so that every call it makes
// to the board is written to a trace, waits for it, and names the trace.
// Linux only: there the recording build is a folder of its own beside the
// tool's library, which the dynamic loader takes first when it heads
// LD_LIBRARY_PATH. The Windows tool has no such command (the recording
// Velnor.dll is copied beside the application instead).
#include "commands.h"

#ifdef _WIN32

void velnorctl::add_record_command(CLI::App&, action_t&) {}

#else

#include "errors.h"
#include "text_escape.h"
#include "velnor_log.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <vector>

extern char** environ;

namespace velnorctl {

namespace {

namespace fs = std::filesystem;

constexpr const char* recording_library = "libvelnor.so.1";

// The recording build's folder, from the tool's own: the install tree's place
// (<libdir>/velnor/trace), else the build tree's (lib/trace).
fs::path recording_folder() {
    std::error_code error;
    const fs::path tool = fs::read_symlink("/proc/self/exe", error);
    std::string tried;
    for (const char* relative : {VELNORCTL_INSTALLED_RECORDING, VELNORCTL_BUILT_RECORDING}) {
        const fs::path folder = (tool.parent_path() / relative).lexically_normal();
        std::error_code missing;
        if (!error && fs::is_regular_file(folder / recording_library, missing)) {
            return folder;
        }
        tried += (tried.empty() ? "" : ", ") + printable((folder / recording_library).string());
    }
    throw tool_error_t(exit_code_t::file,
                       "cannot record: no recording build of the library beside this velnorctl "
                       "(looked for " +
                           tried + ")");
}

// The traces and logs in folder and the folders in it (a program may give
// the library a folder of its own there, as velnorctl does), by the names
// the library gives them.
struct written_t {
    std::set<fs::path> traces;
    std::set<fs::path> logs;
};

written_t written_in(const fs::path& folder) {
    constexpr int deepest = 2;
    written_t found;
    std::error_code error;
    fs::recursive_directory_iterator entry(folder, fs::directory_options::skip_permission_denied,
                                           error);
    for (const fs::recursive_directory_iterator end; !error && entry != end;
         entry.increment(error)) {
        if (entry.depth() >= deepest) {
            entry.disable_recursion_pending();
        }
        const std::string name = entry->path().filename().string();
        if (name.rfind("Velnor-trace-", 0) == 0 && name.size() > 20 &&
            name.compare(name.size() - 7, 7, ".pcapng") == 0) {
            found.traces.insert(entry->path());
        } else if (name == "Velnor.log") {
            found.logs.insert(entry->path());
        }
    }
    return found;
}

// This process's environment with the recording build chosen for a C or C++
// program (LD_LIBRARY_PATH), a Python or .NET one (VELNOR_LIBRARY), and the
// library's temporary folder (TMPDIR) at folder.
std::vector<std::string> recording_environment(const fs::path& library, const fs::path& folder) {
    std::vector<std::string> variables;
    std::string search = library.parent_path().string();
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        const std::string name = variable.substr(0, variable.find('='));
        if (name == "LD_LIBRARY_PATH") {
            const std::string value = variable.substr(name.size() + 1);
            search += value.empty() ? "" : ":" + value; // never an empty entry: the current folder
        } else if (name != "VELNOR_LIBRARY" && name != "TMPDIR") {
            variables.push_back(variable);
        }
    }
    variables.push_back("LD_LIBRARY_PATH=" + search);
    variables.push_back("VELNOR_LIBRARY=" + library.string());
    variables.push_back("TMPDIR=" + folder.string());
    return variables;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (std::string& text : texts) {
        result.push_back(text.data());
    }
    result.push_back(nullptr);
    return result;
}

// The program being recorded, for the handler that passes a stop request on.
volatile sig_atomic_t recorded_pid = 0;

void pass_on(int signal_number) {
    if (recorded_pid > 0) {
        kill(static_cast<pid_t>(recorded_pid), signal_number);
    }
}

// While the program runs, as a shell waits: Ctrl-C and Ctrl-\ (which the
// terminal sends to the program too) leave the tool waiting, and SIGTERM or
// SIGHUP sent to the tool goes on to the program; the trace is named either
// way. The dispositions come back when this ends.
class waiting_signals_t {
public:
    waiting_signals_t() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        struct sigaction forward {};
        forward.sa_handler = pass_on;
        for (size_t i = 0; i < count; ++i) {
            sigaction(signals[i], i < 2 ? &ignore : &forward, &saved_[i]);
        }
    }
    ~waiting_signals_t() {
        for (size_t i = 0; i < count; ++i) {
            sigaction(signals[i], &saved_[i], nullptr);
        }
        recorded_pid = 0;
    }
    waiting_signals_t(const waiting_signals_t&) = delete;
    waiting_signals_t& operator=(const waiting_signals_t&) = delete;

    static constexpr size_t count = 4;
    static constexpr int signals[count] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};

private:
    struct sigaction saved_[count] {};
};

// posix_spawn's attributes, given back whatever happens.
class spawn_attributes_t {
public:
    spawn_attributes_t() { posix_spawnattr_init(&attributes_); }
    ~spawn_attributes_t() { posix_spawnattr_destroy(&attributes_); }
    spawn_attributes_t(const spawn_attributes_t&) = delete;
    spawn_attributes_t& operator=(const spawn_attributes_t&) = delete;
    posix_spawnattr_t* get() { return &attributes_; }

private:
    posix_spawnattr_t attributes_{};
};

// Runs command with environment and returns its exit status as a shell
// gives it: the code it exited with, or 128 + N for signal N.
int run_program(std::vector<std::string> command, std::vector<std::string> environment) {
    std::vector<char*> arguments = pointers(command);
    std::vector<char*> variables = pointers(environment);
    waiting_signals_t waiting;
    // The program starts with the signals' defaults and none blocked.
    spawn_attributes_t attributes;
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal_number : waiting_signals_t::signals) {
        sigaddset(&defaults, signal_number);
    }
    // The tool ignores these for itself; the program gets them as it would
    // without the tool.
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGXFSZ);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(attributes.get(), &defaults);
    posix_spawnattr_setsigmask(attributes.get(), &none);
    posix_spawnattr_setflags(attributes.get(), POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    std::cout.flush();
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, arguments[0], nullptr, attributes.get(), arguments.data(),
                                   variables.data());
    if (error != 0) {
        throw tool_error_t(exit_code_t::file,
                           "cannot run '" + printable(command[0]) + "': " + std::strerror(error));
    }
    recorded_pid = pid;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            throw tool_error_t(exit_code_t::file, "cannot wait for '" + printable(command[0]) +
                                                      "': " + std::strerror(errno));
        }
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

void record(const std::vector<std::string>& command) {
    const fs::path library = recording_folder() / recording_library;
    const fs::path folder = hand_over_log_folder();
    const written_t before = written_in(folder);
    const int status = run_program(command, recording_environment(library, folder));
    // Named on standard error, so that the program's own output stays as it was.
    const written_t after = written_in(folder);
    size_t traces = 0;
    for (const fs::path& trace : after.traces) {
        if (before.traces.count(trace) == 0) {
            std::cerr << "Trace: " << printable(trace.string()) << '\n';
            ++traces;
        }
    }
    if (traces == 0) {
        std::cerr << "velnorctl: no trace in '" << printable(folder.string()) << "': '"
                  << printable(command[0])
                  << "' made no call to the library, or did not load the recording build\n";
    }
    for (const fs::path& log : after.logs) {
        std::cerr << "Log: " << printable(log.string()) << '\n';
    }
    if (status != 0) {
        throw reported_failure_t(static_cast<exit_code_t>(status));
    }
}

} // namespace

void add_record_command(CLI::App& app, action_t& chosen) {
    auto command = std::make_shared<std::vector<std::string>>();
    CLI::App* subcommand = app.add_subcommand(
        "record", "Run a program with the recording build of the library, so that its calls are "
                  "written to a trace: velnorctl [--log-dir DIR] record -- COMMAND [ARGS...]. The "
                  "trace and the log go to DIR (default: a new folder in the temporary folder) "
                  "and are named on standard error at the end; the exit code is the program's "
                  "(128+N for signal N)");
    subcommand->add_option("COMMAND", *command, "The program and its arguments, after --")
        ->required();
    subcommand->callback([command, &chosen] { chosen = [command] { record(*command); }; });
}

} // namespace velnorctl

#endif
