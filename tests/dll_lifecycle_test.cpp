// The simulation build of Velnor.dll loaded and unloaded again and again,
// with and without a logger, and a process that exits while another of its
// threads is inside an export.
#include "support/loaded_library.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using velnor_test::loaded_library_t;

const std::string version_line =
    "[vl_get_library_version] Error: Velnor:-4, version is null: null_parameter";

bool ends_with_line_ending(const std::string& bytes) {
    return bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0;
}

TEST(DllLifecycle, LoadsAndUnloadsAHundredTimesWithoutAFailure) {
    velnor_test::reset_log();
    for (int round = 0; round < 100; ++round) {
        loaded_library_t library;
        ASSERT_TRUE(library) << "round " << round << ": error " << GetLastError();
        const auto get_version = library.get_library_version();
        ASSERT_NE(get_version, nullptr);
        vl_version version{};
        ASSERT_EQ(get_version(&version), VL_RC_SUCCESS);
        ASSERT_STREQ(version.text, "1.0.2");
        ASSERT_TRUE(library.unload()) << "round " << round;
        ASSERT_FALSE(velnor_test::simulation_library_mapped()) << "round " << round;
    }
    EXPECT_FALSE(std::filesystem::exists(velnor_test::log_file()));
}

// Each load is a new process-wide library state: its first failure makes the
// logger and empties the file; unloading leaves the flushed lines on disk.
TEST(DllLifecycle, LoadsAndUnloadsAHundredTimesAfterFailuresMadeTheLogger) {
    velnor_test::reset_log();
    for (int round = 0; round < 100; ++round) {
        loaded_library_t library;
        ASSERT_TRUE(library) << "round " << round;
        const auto get_version = library.get_library_version();
        ASSERT_NE(get_version, nullptr);
        ASSERT_EQ(get_version(nullptr), VL_RC_NULL_PARAMETER);
        ASSERT_EQ(get_version(nullptr), VL_RC_NULL_PARAMETER);
        ASSERT_TRUE(library.unload()) << "round " << round;
        ASSERT_FALSE(velnor_test::simulation_library_mapped()) << "round " << round;

        const std::string bytes = velnor_test::read_log_bytes();
        ASSERT_TRUE(ends_with_line_ending(bytes)) << "round " << round;
        const std::vector<std::string> lines = velnor_test::read_log_lines();
        ASSERT_EQ(lines.size(), 2u) << "round " << round;
        for (const std::string& line : lines) {
            ASSERT_NE(line.find(version_line), std::string::npos) << line;
        }
    }
    // The unloaded library let go of the file.
    std::error_code error;
    EXPECT_TRUE(std::filesystem::remove(velnor_test::log_file(), error)) << error.message();
}

// A second reference keeps the library, its logger and its file alive.
TEST(DllLifecycle, UnloadingOneOfTwoReferencesKeepsTheLogger) {
    velnor_test::reset_log();
    loaded_library_t first;
    ASSERT_TRUE(first);
    ASSERT_EQ(first.get_library_version()(nullptr), VL_RC_NULL_PARAMETER);
    {
        loaded_library_t second;
        ASSERT_TRUE(second);
        ASSERT_EQ(second.get_library_version()(nullptr), VL_RC_NULL_PARAMETER);
    }
    ASSERT_TRUE(velnor_test::simulation_library_mapped());
    ASSERT_EQ(first.get_library_version()(nullptr), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(velnor_test::read_log_lines().size(), 3u);
    ASSERT_TRUE(first.unload());
    EXPECT_EQ(velnor_test::read_log_lines().size(), 3u);
}

// Runs the helper beside this program and returns its exit code: 999 when it
// did not end within a minute (it is killed then), 1000 + the error when it
// could not start.
DWORD run_export_during_exit() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::filesystem::path helper =
        std::filesystem::path(self).parent_path() / "export_during_exit.exe";
    std::wstring command = L"\"" + helper.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return 1000 + GetLastError();
    }
    DWORD code = 999;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, 998);
        WaitForSingleObject(process.hProcess, 10000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

TEST(DllLifecycle, ProcessExitsInTimeWhileAnotherThreadIsInsideAnExport) {
    for (int run = 0; run < 10; ++run) {
        velnor_test::reset_log();
        ASSERT_EQ(run_export_during_exit(), 0u) << "run " << run << " (999: it hung)";
        const std::string bytes = velnor_test::read_log_bytes();
        ASSERT_TRUE(ends_with_line_ending(bytes)) << "run " << run << ": a line was cut";
        const std::vector<std::string> lines = velnor_test::read_log_lines();
        ASSERT_GE(lines.size(), 50u);
        for (const std::string& line : lines) {
            ASSERT_NE(line.find(version_line), std::string::npos) << line;
        }
    }
}

} // namespace
