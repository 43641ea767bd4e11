// Failing exports when Velnor.log cannot be written: each still returns its
// own code, nothing crashes, and at most the one line arrives.
#include "support/library_fixture.h"

#include <spdlog/spdlog.h>

#include <filesystem>
#include <fstream>
#include <functional>

#ifndef _WIN32
#include <unistd.h>
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

#ifdef __linux__
// Every write fails with ENOSPC; the logger reports that on standard error,
// never on standard output.
TEST_F(LogFileFaults, FullDisk) {
    fs::create_symlink("/dev/full", velnor_test::log_file());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    expect_failures_return_their_codes();
    const std::string reported = testing::internal::GetCapturedStderr();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_NE(reported.find("No space left on device"), std::string::npos) << reported;
    fs::remove(velnor_test::log_file());
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
