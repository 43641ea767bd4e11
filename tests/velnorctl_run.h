// Running velnorctl as a user would, for its end-to-end suites: each run is
// a fresh process on the virtual platform, with a temporary folder of the
// test's own (where the tool makes its log folders), and a run can also be
// started, watched line by line and signalled.
#pragma once

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace velnorctl_run {

namespace fs = std::filesystem;

constexpr int library_failure = 1, usage_error = 2, no_board = 3, file_error = 4, update_failed = 5,
              hung_up = 129, interrupted = 130, terminated = 143;

struct outcome_t {
    int exit = -1;
    std::string out;
    std::string err;
};

inline std::string slurp(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

inline std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

// A run in progress: its standard output comes through a pipe as it is written.
struct running_t {
    pid_t pid = -1;
    int out = -1;
    std::string printed;
    fs::path err;
};

class Velnorctl : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        for (char& c : name) {
            c = c == '/' ? '_' : c;
        }
        dir_ =
            fs::temp_directory_path() / ("velnorctl_test_" + std::to_string(getpid()) + "_" + name);
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "tmp");
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string command_line(const std::string& arguments, const std::string& input_name) {
        return "TMPDIR=" + quoted(temporary().string()) + " exec '" VELNORCTL_EXE "' " + arguments +
               " <" + quoted((dir_ / input_name).string());
    }

    outcome_t run(const std::string& arguments, const std::string& input = "") {
        std::ofstream(dir_ / "in") << input;
        const std::string command = command_line(arguments, "in") + " >" +
                                    quoted((dir_ / "out").string()) + " 2>" +
                                    quoted((dir_ / "err").string());
        const int status = std::system(command.c_str());
        outcome_t result;
        result.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = slurp(dir_ / "out");
        result.err = slurp(dir_ / "err");
        return result;
    }

    // Starts a run whose output the test reads as it comes; name keeps the
    // files of runs that go on at the same time apart.
    running_t start(const std::string& arguments, const std::string& input,
                    const std::string& name = "run") {
        std::ofstream(dir_ / (name + ".in")) << input;
        running_t run;
        run.err = dir_ / (name + ".err");
        const std::string command =
            command_line(arguments, name + ".in") + " 2>" + quoted(run.err.string());
        int pipe_ends[2];
        if (pipe(pipe_ends) != 0) {
            ADD_FAILURE() << "pipe";
            return run;
        }
        run.pid = fork();
        if (run.pid == 0) {
            dup2(pipe_ends[1], STDOUT_FILENO);
            close(pipe_ends[0]);
            close(pipe_ends[1]);
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(pipe_ends[1]);
        run.out = pipe_ends[0];
        return run;
    }

    // Reads the run's output until it holds text (true) or the output ends.
    static bool read_until(running_t& run, const std::string& text) {
        char buffer[4096];
        while (run.printed.find(text) == std::string::npos) {
            const ssize_t got = read(run.out, buffer, sizeof buffer);
            if (got <= 0) {
                return false;
            }
            run.printed.append(buffer, static_cast<size_t>(got));
        }
        return true;
    }

    static outcome_t finish(running_t& run) {
        char buffer[4096];
        for (ssize_t got; (got = read(run.out, buffer, sizeof buffer)) > 0;) {
            run.printed.append(buffer, static_cast<size_t>(got));
        }
        close(run.out);
        int status = 0;
        waitpid(run.pid, &status, 0);
        outcome_t result;
        result.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = run.printed;
        result.err = slurp(run.err);
        return result;
    }

    fs::path file(const std::string& name) const { return dir_ / name; }
    fs::path temporary() const { return dir_ / "tmp"; }

    // Every Velnor.log the runs left under the temporary folder.
    std::vector<fs::path> logs() const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::recursive_directory_iterator(temporary())) {
            if (entry.path().filename() == "Velnor.log") {
                found.push_back(entry.path());
            }
        }
        return found;
    }
    bool log_exists() const { return !logs().empty(); }
    bool temporary_is_empty() const { return fs::is_empty(temporary()); }

    // A packed image of a 5000-byte payload, version 1.4.0.
    std::string packed_image() {
        std::vector<char> payload(5000);
        for (size_t i = 0; i < payload.size(); ++i) {
            payload[i] = static_cast<char>(i * 7 % 251);
        }
        std::ofstream(file("payload.bin"), std::ios::binary).write(payload.data(), 5000);
        const outcome_t pack = run("firmware pack '" + file("payload.bin").string() +
                                   "' --version 1.4.0 -o '" + file("fw.vlfw").string() + "'");
        EXPECT_EQ(pack.exit, 0) << pack.err;
        return file("fw.vlfw").string();
    }

    fs::path dir_;
};

} // namespace velnorctl_run
