// Failing exports when Velnor.log cannot be written: each still returns its
// own code, nothing crashes, and at most the one line arrives.
#include "support/library_fixture.h"

#include <spdlog/spdlog.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <regex>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#endif

namespace {

namespace fs = std::filesystem;
using velnor_test::LibraryTest;

class LogFileFaults : public LibraryTest {
protected:
    // One failure in the library's category and one from the platform.
    static void expect_failures_return_their_codes() {
        EXPECT_EQ(vl_get_library_version(nullptr), VL_RC_NULL_PARAMETER);
        vlsim_fail_next(VLSIM_CALL_LIST_SIZE, 0x13);
        size_t count = 77;
        EXPECT_EQ(vl_get_device_count(&count), VL_RC_FAILED);
        EXPECT_EQ(count, 77u);
    }

    // Once the log is usable again, the next failure writes its line.
    static void expect_next_failure_logs_one_line() {
        velnor_test::reset_log();
        EXPECT_EQ(vl_device_close(nullptr), VL_RC_NULL_PARAMETER);
        EXPECT_EQ(velnor_test::read_log_lines().size(), 1u);
    }
};

TEST_F(LogFileFaults, LogPathTakenByADirectory) {
    fs::create_directory(velnor_test::log_file());
    expect_failures_return_their_codes();
    EXPECT_TRUE(fs::is_directory(velnor_test::log_file()));
    fs::remove(velnor_test::log_file());
    expect_next_failure_logs_one_line();
}

#ifndef _WIN32
TEST_F(LogFileFaults, TemporaryDirectoryReadOnly) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind root";
    }
    fs::permissions(velnor_test::temp_dir(), fs::perms::owner_read | fs::perms::owner_exec);
    expect_failures_return_their_codes();
    fs::permissions(velnor_test::temp_dir(), fs::perms::owner_all);
    EXPECT_FALSE(fs::exists(velnor_test::log_file()));
    expect_next_failure_logs_one_line();
}
#endif

#ifndef _WIN32
// What another user of a shared temporary folder may plant as Velnor.log.
// Each is refused as it stands, at once: the calls return their own codes,
// the planted entry and any file it names keep their contents, no file is
// made where a link points, and nothing is read from a FIFO's far end.
TEST_F(LogFileFaults, PlantedLinkFifoOrSecondNameIsRefusedAtOnce) {
    const fs::path log = velnor_test::log_file();
    const fs::path victim = velnor_test::temp_dir() / "victim.txt";
    const fs::path nowhere = velnor_test::temp_dir() / "made-through-a-link";
    const std::string contents = "a file of the user's own\n";
    enum class plant { link_to_file, link_to_nothing, fifo, fifo_with_reader, second_name };
    struct planted_t {
        const char* what;
        plant how;
        fs::file_type type; // of the planted entry itself
    };
    const planted_t cases[] = {
        {"symbolic link to a file", plant::link_to_file, fs::file_type::symlink},
        {"symbolic link to nothing", plant::link_to_nothing, fs::file_type::symlink},
        {"FIFO without a reader", plant::fifo, fs::file_type::fifo},
        {"FIFO with a reader", plant::fifo_with_reader, fs::file_type::fifo},
        {"second name of a file", plant::second_name, fs::file_type::regular},
    };
    for (const planted_t& c : cases) {
        SCOPED_TRACE(c.what);
        velnor_test::reset_log();
        std::ofstream(victim, std::ios::binary) << contents;
        switch (c.how) {
        case plant::link_to_file:
            fs::create_symlink(victim, log);
            break;
        case plant::link_to_nothing:
            fs::create_symlink(nowhere, log);
            break;
        case plant::fifo:
        case plant::fifo_with_reader:
            ASSERT_EQ(::mkfifo(log.c_str(), 0600), 0);
            break;
        case plant::second_name:
            fs::create_hard_link(victim, log);
            break;
        }
        const bool with_reader = c.how == plant::fifo_with_reader;
        const int reader = with_reader ? ::open(log.c_str(), O_RDONLY | O_NONBLOCK) : -1;
        ASSERT_EQ(reader >= 0, with_reader);

        // A writer stuck waiting for a FIFO's reader is let go by opening its
        // far end, so the test fails instead of hanging.
        std::promise<void> done;
        std::future<void> returned = done.get_future();
        std::thread caller([&done] {
            expect_failures_return_their_codes();
            done.set_value();
        });
        const bool prompt = returned.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        const int release = prompt ? -1 : ::open(log.c_str(), O_RDONLY | O_NONBLOCK);
        caller.join();
        EXPECT_TRUE(prompt) << "the failing calls waited on the planted entry";

        EXPECT_EQ(fs::symlink_status(log).type(), c.type);
        EXPECT_EQ(velnor_test::read_file_bytes(victim), contents);
        EXPECT_FALSE(fs::exists(fs::symlink_status(nowhere)));
        if (reader >= 0) {
            char byte = 0;
            EXPECT_LE(::read(reader, &byte, 1), 0) << "a line went into the FIFO";
            ::close(reader);
        }
        if (release >= 0) {
            ::close(release);
        }
        fs::remove(log);
        expect_next_failure_logs_one_line();
    }
}
#endif

#ifdef __linux__
// Takes what the process writes to standard output and standard error while
// `body` runs, through pipes: the test's own files may not grow meanwhile.
std::pair<std::string, std::string> output_of(const std::function<void()>& body) {
    int out[2];
    int err[2];
    EXPECT_EQ(::pipe(out), 0);
    EXPECT_EQ(::pipe(err), 0);
    std::fflush(stdout);
    std::fflush(stderr);
    const int saved_out = ::dup(1);
    const int saved_err = ::dup(2);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    body();
    std::fflush(stdout);
    std::fflush(stderr);
    ::dup2(saved_out, 1);
    ::dup2(saved_err, 2);
    for (const int fd : {saved_out, saved_err, out[1], err[1]}) {
        ::close(fd);
    }
    auto drain = [](int fd) {
        std::string text;
        char buffer[4096];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
            text.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fd);
        return text;
    };
    return {drain(out[0]), drain(err[0])};
}

// Every write to the file fails (it may not grow past 0 bytes: EFBIG); the
// logger reports that on standard error, never on standard output, and the
// calls keep their own codes.
TEST_F(LogFileFaults, WritesThatFail) {
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit none = saved;
    none.rlim_cur = 0;
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    const auto [out, err] = output_of([&] {
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &none), 0);
        expect_failures_return_their_codes();
        ::setrlimit(RLIMIT_FSIZE, &saved);
    });
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(out, "");
    // spdlog's own handler, at most one report a second.
    EXPECT_TRUE(
        std::regex_match(err, std::regex(R"(\[\*\*\* LOG ERROR #0001 \*\*\*\] \[[-0-9 :]+\] )"
                                         R"(\[Velnor\] \{Failed writing to the log file: )"
                                         R"(File too large\}\n)")))
        << err;
    EXPECT_EQ(velnor_test::read_log_bytes(), "");
    expect_next_failure_logs_one_line();
}
#endif

// The log's path is fixed at the process's first failure; a temporary
// directory that has become a file afterwards makes the file unopenable.
TEST_F(LogFileFaults, TemporaryDirectoryReplacedByAFile) {
    EXPECT_EQ(vl_device_close(nullptr), VL_RC_NULL_PARAMETER); // fixes the path
    velnor_test::reset_log();
    const fs::path dir = velnor_test::temp_dir();
    const fs::path moved = dir.string() + ".moved";
    fs::rename(dir, moved);
    std::ofstream(dir) << "not a directory";
    expect_failures_return_their_codes();
    EXPECT_TRUE(fs::is_regular_file(dir));
    fs::remove(dir);
    fs::rename(moved, dir);
    expect_next_failure_logs_one_line();
}

// A temporary directory removed after the path was fixed is not made again:
// the line is lost, no folder appears, and once the directory is back the
// next failure logs.
TEST_F(LogFileFaults, TemporaryDirectoryRemovedAfterFirstFailure) {
    EXPECT_EQ(vl_device_close(nullptr), VL_RC_NULL_PARAMETER);
    velnor_test::reset_log();
    fs::remove_all(velnor_test::temp_dir());
    EXPECT_EQ(vl_get_library_version(nullptr), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(spdlog::get("Velnor"), nullptr);
    EXPECT_FALSE(fs::exists(velnor_test::temp_dir()));
    fs::create_directories(velnor_test::temp_dir());
    expect_next_failure_logs_one_line();
}

#ifdef VELNOR_FAIL_UNDER_TEMP_DIR_PROGRAM
// A process whose temporary directory is unusable from the start: the log's
// path cannot be made at all.
int run_with_temp_dir(const fs::path& dir) {
    return velnor_test::run_command("TMPDIR='" + dir.string() + "' '" +
                                    VELNOR_FAIL_UNDER_TEMP_DIR_PROGRAM + "' > /dev/null");
}

TEST_F(LogFileFaults, TemporaryDirectoryIsAFileFromTheStart) {
    const fs::path file = velnor_test::temp_dir() / "plain-file";
    std::ofstream(file) << "not a directory";
    EXPECT_EQ(run_with_temp_dir(file), 0);
    EXPECT_TRUE(fs::is_regular_file(file));
}

// A temporary directory the process may not write to. Permissions do not
// bind root, as CI runs, so root runs the program as the unprivileged user
// nobody (setpriv) or, where that cannot be, in a mount namespace of its own
// with the directory bound read-only over itself (unshare -m).
TEST_F(LogFileFaults, TemporaryDirectoryReadOnlyForTheProcess) {
    const fs::path dir = velnor_test::temp_dir() / "read-only";
    fs::create_directory(dir);
    const std::string quoted = "'" + dir.string() + "'";
    const std::string program = std::string("'") + VELNOR_FAIL_UNDER_TEMP_DIR_PROGRAM + "'";
    // Turns a shell command into one that runs where dir is read-only.
    std::function<std::string(const std::string&)> wrap;
    if (geteuid() != 0) {
        fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
        wrap = [](const std::string& command) { return "sh -c \"" + command + "\""; };
    } else if (velnor_test::run_command("setpriv --reuid=65534 --regid=65534 --clear-groups "
                                        "test -x " +
                                        program + " 2>/dev/null") == 0) {
        fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
        wrap = [](const std::string& command) {
            return "setpriv --reuid=65534 --regid=65534 --clear-groups sh -c \"" + command + "\"";
        };
    } else if (velnor_test::run_command("unshare -m true 2>/dev/null") == 0) {
        wrap = [quoted](const std::string& command) {
            return "unshare -m sh -c 'mount --bind \"$1\" \"$1\" && mount -o remount,bind,ro "
                   "\"$1\" \"$1\" && exec sh -c \"$0\"' \"" +
                   command + "\" " + quoted;
        };
    } else {
        GTEST_SKIP() << "running as root with neither setpriv nor unshare -m usable: no way to "
                        "make a directory read-only for the program";
    }
    // The directory really is read-only there: a probe cannot write.
    ASSERT_NE(velnor_test::run_command(wrap("touch " + quoted + "/probe 2>/dev/null")), 0)
        << wrap("touch");
    EXPECT_EQ(
        velnor_test::run_command(wrap("TMPDIR=" + quoted + " " + program + " > /dev/null 2>&1")),
        0);
    EXPECT_TRUE(fs::is_empty(dir));
    fs::permissions(dir, fs::perms::owner_all);
}

TEST_F(LogFileFaults, TemporaryDirectoryMissingFromTheStart) {
    const fs::path missing = velnor_test::temp_dir() / "missing" / "folder";
    EXPECT_EQ(run_with_temp_dir(missing), 0);
    EXPECT_FALSE(fs::exists(missing));
}
#endif

} // namespace
