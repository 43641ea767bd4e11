#include "velnor_log.h"

#include "errors.h"
#include "platform.h"
#include "text_escape.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <system_error>

namespace velnorctl {

namespace {

namespace fs = std::filesystem;

struct log_folder_t {
    fs::path path;
    bool is_default = false;   // made by this run, so removed by it
    bool handed_over = false;  // a program the tool ran logs and records there: kept
    std::string unwritable;    // why the folder did not take a write, if it did not
    bool trouble_told = false; // the unwritable folder has been reported
    uint64_t taken = 0;        // the end of the last line a failure took
};

log_folder_t& folder() {
    static log_folder_t chosen;
    return chosen;
}

// Eight hex digits that differ from run to run, also for a process id the
// system gives out again.
std::string run_suffix() {
    std::random_device device;
    const auto now =
        static_cast<uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    const auto mixed = static_cast<uint32_t>(device() ^ now ^ (now >> 32));
    char text[9];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(mixed));
    return text;
}

std::string reason(int error) {
    return error != 0 ? std::generic_category().message(error) : "the write failed";
}

// Writes and removes a file of the size of a few hundred log lines; returns
// why that failed, or nothing when it worked.
std::string try_writing(const fs::path& path) {
    const fs::path probe = path / (program_name() + "-write-test-" + run_suffix());
    std::string failure;
    {
        errno = 0;
        std::ofstream file(probe, std::ios::binary | std::ios::trunc);
        if (!file) {
            failure = reason(errno);
        } else {
            const std::string block(4096, '\n');
            for (int i = 0; i < 16 && file; ++i) {
                file.write(block.data(), static_cast<std::streamsize>(block.size()));
            }
            if (file) {
                file.flush();
            }
            if (file) {
                file.close();
            }
            if (file.fail()) {
                failure = reason(errno);
            }
        }
    }
    std::error_code ignored;
    fs::remove(probe, ignored);
    return failure;
}

// Gives the library a folder that is not there, so that it drops its lines
// quietly (it never makes a folder) instead of failing to write them.
void send_lines_nowhere(const fs::path& path) {
    platform::point_temporary_folder_at(path / (program_name() + "-no-log-" + run_suffix()));
}

// Why the library cannot log at the log file's path, when the system's
// limit on the length of a path rules it out; empty when it can.
std::string too_long(const fs::path& folder) {
    const std::optional<size_t> longest = platform::longest_log_path();
    const size_t length = (folder / "Velnor.log").native().size();
    if (!longest || length <= *longest) {
        return {};
    }
    return "the log's path would be " + std::to_string(length) + " characters long, more than " +
           "the " + std::to_string(*longest) + " the system lets the library use";
}

// Why the library will not write Velnor.log in folder when something other
// than a regular file has its name (planted by another user, say); empty
// when it will. Looked at without following a link or opening the file.
std::string planted(const fs::path& folder) {
    std::error_code error;
    const fs::path log = folder / "Velnor.log";
    const fs::file_type type = fs::symlink_status(log, error).type();
    if (type == fs::file_type::regular && fs::hard_link_count(log, error) > 1 && !error) {
        return "Velnor.log there is a second name of another file, and the library writes only "
               "to a file of its own";
    }
    const char* kind = type == fs::file_type::symlink     ? "a link"
                       : type == fs::file_type::fifo      ? "a FIFO"
                       : type == fs::file_type::socket    ? "a socket"
                       : type == fs::file_type::directory ? "a folder"
                       : type == fs::file_type::block || type == fs::file_type::character
                           ? "a device"
                           : nullptr;
    return kind == nullptr ? std::string()
                           : std::string("Velnor.log there is ") + kind +
                                 ", not a regular file, and the library writes only to one";
}

// Why the library's lines cannot be written in folder; empty when they can.
std::string why_unwritable(const fs::path& folder) {
    for (const std::string& reason : {too_long(folder), planted(folder)}) {
        if (!reason.empty()) {
            return reason;
        }
    }
    return try_writing(folder);
}

void use(const fs::path& path, bool is_default) {
    folder() = {path, is_default, false, why_unwritable(path), false, 0};
    if (folder().unwritable.empty()) {
        platform::point_temporary_folder_at(path);
    } else {
        send_lines_nowhere(path);
    }
}

// A new folder of this run's own in temporary, or nothing, with the reason
// in why.
std::optional<fs::path> make_run_folder(const fs::path& temporary, std::string& why) {
    const std::string stem = program_name() + "-" + std::to_string(platform::process_id()) + "-";
    for (int attempt = 0; attempt < 16; ++attempt) {
        const fs::path path = temporary / (stem + run_suffix());
        std::error_code error;
        if (fs::create_directory(path, error)) { // false when it was there already
            fs::permissions(path, fs::perms::owner_all, fs::perm_options::replace, error);
            return path;
        }
        if (error && error != std::errc::file_exists) {
            why = error.message();
            return std::nullopt;
        }
    }
    why = "every name tried was taken";
    return std::nullopt;
}

// The temporary folder the library asks the system for, named as the
// system finds it (the first of these variables that is set), for a message.
std::string temporary_folder_name() {
#ifdef _WIN32
    for (const wchar_t* variable : {L"TMP", L"TEMP", L"USERPROFILE"}) {
        if (const wchar_t* value = _wgetenv(variable); value != nullptr && *value != L'\0') {
            return fs::path(value).u8string();
        }
    }
    return "%TMP%";
#else
    for (const char* variable : {"TMPDIR", "TMP", "TEMP", "TEMPDIR"}) {
        if (const char* value = std::getenv(variable); value != nullptr && *value != '\0') {
            return value;
        }
    }
    return "/tmp";
#endif
}

// Says, in one line on standard error, that the library gets no folder:
// it never makes one, so it writes no log, and the recording build no trace.
void warn_no_log_folder(const std::string& what) {
    std::cerr << program_name() << ": warning: " << what
              << ": no log (Velnor.log) is written, nor, with the recording build, a trace; "
                 "--log-dir DIR names a folder for them\n";
}

// The most of the log read for one failure's line: far more than a run's
// lines, far less than a file planted to exhaust the tool.
constexpr uint64_t most_read = 16u << 20;

// The log from start on, read once, when the byte before start ends a line;
// nothing when it does not (or the log is shorter): the log was emptied and
// written again since, and every line in it is newer. A regular file only,
// read without following a link or waiting: the folder may be one another
// user can write in.
std::optional<std::string> lines_from(const fs::path& path, uint64_t start) {
    if (start == 0) {
        return platform::read_plain_file(path, 0, most_read);
    }
    std::optional<std::string> text = platform::read_plain_file(path, start - 1, most_read + 1);
    if (!text || text->empty() || text->front() != '\n') {
        return std::nullopt;
    }
    text->erase(0, 1);
    return text;
}

} // namespace

void use_log_folder(const std::string& requested) {
    std::error_code error;
    if (requested.empty()) {
        // No usable temporary folder: the library cannot log there either.
        // The commands still work; a failure then comes without its detail.
        const fs::path temporary = fs::temp_directory_path(error);
        if (error) {
            const std::string name = temporary_folder_name();
            const fs::file_type type = fs::status(fs::u8path(name), error).type();
            warn_no_log_folder(
                "the temporary folder '" + printable(name) + "' " +
                (type == fs::file_type::not_found ? "does not exist" : "is not a folder"));
            return;
        }
        std::string why;
        const std::optional<fs::path> path = make_run_folder(temporary, why);
        if (!path) {
            warn_no_log_folder("cannot make a folder in the temporary folder '" +
                               printable(temporary.u8string()) + "': " + why);
            return;
        }
        use(*path, true);
        return;
    }
    const fs::path path = fs::absolute(fs::u8path(requested), error);
    if (error) {
        throw tool_error_t(exit_code_t::file, "log folder '" + printable(requested) +
                                                  "' cannot be used: " + error.message());
    }
    fs::create_directories(path, error);
    if (error || !fs::is_directory(path)) {
        throw tool_error_t(exit_code_t::file,
                           "cannot make the log folder '" + printable(path.u8string()) +
                               "': " + (error ? error.message() : "not a folder"));
    }
    use(path, false);
}

fs::path hand_over_log_folder() {
    log_folder_t& chosen = folder();
    if (chosen.path.empty()) {
        throw tool_error_t(exit_code_t::file,
                           "no folder to record in: the temporary folder cannot be used; "
                           "name one with --log-dir DIR");
    }
    if (!chosen.unwritable.empty()) {
        throw tool_error_t(exit_code_t::file, "cannot record in '" +
                                                  printable(chosen.path.u8string()) +
                                                  "': " + chosen.unwritable);
    }
    chosen.handed_over = true;
    return chosen.path;
}

void remove_unused_log_folder(bool succeeded) noexcept {
    if (folder().is_default && !folder().handed_over) {
        std::error_code ignored;
        if (succeeded) {
            fs::remove(velnor_log_path(), ignored);
        }
        fs::remove(folder().path, ignored); // only when empty
    }
}

fs::path velnor_log_path() {
    return folder().path.empty() ? fs::path() : folder().path / "Velnor.log";
}

uint64_t velnor_log_size() {
    const fs::path path = velnor_log_path();
    return path.empty() ? 0 : platform::plain_file_size(path).value_or(0);
}

std::string log_line_since(uint64_t mark, const std::string& function) {
    const fs::path path = velnor_log_path();
    if (path.empty()) {
        return {};
    }
    uint64_t start = std::max(mark, folder().taken);
    std::optional<std::string> text = lines_from(path, start);
    if (!text) {
        start = 0;
        text = lines_from(path, start);
    }
    if (!text) {
        return {};
    }
    const std::string tag = "[" + function + "]";
    for (size_t at = 0; at < text->size();) {
        const size_t end = std::min(text->find('\n', at), text->size());
        std::string line = text->substr(at, end - at);
        at = end + 1;
        if (line.find(tag) != std::string::npos) {
            folder().taken = start + std::min<uint64_t>(at, text->size());
            while (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return line;
        }
    }
    return {};
}

log_trouble_t log_trouble() {
    log_folder_t& chosen = folder();
    if (chosen.path.empty()) {
        return {};
    }
    if (chosen.unwritable.empty()) {
        // It took the write at the start; a disk that filled since, or a
        // file planted since, shows now.
        chosen.unwritable = why_unwritable(chosen.path);
        if (chosen.unwritable.empty()) {
            return {};
        }
        try {
            send_lines_nowhere(chosen.path);
        } catch (const tool_error_t&) {
            // The lines still fail to be written; the report below says why.
        }
    }
    log_trouble_t trouble{true, ""};
    if (!chosen.trouble_told) {
        chosen.trouble_told = true;
        trouble.first_report = "cannot write the library's log in '" +
                               printable(chosen.path.u8string()) + "': " + chosen.unwritable;
    }
    return trouble;
}

} // namespace velnorctl
