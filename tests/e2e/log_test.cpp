// Velnor.log as Wine's runtime places and writes it.
#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <string>
#include <vector>

#include "e2e_modes.h"
#include "velnor.h"
#include "velnor_log.h"

namespace e2e {
namespace {

const std::regex line_prefix(
    R"(^\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\] \[Velnor\] \[error\] \[vl_\w+\] Error: )");

DWORD run_this_binary(const std::wstring& arguments) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return 1000 + GetLastError();
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 999;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

TEST(Log, LinesLandInTheTempDirectoryAndEndWithCrLf) {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(temp[length - 1], L'\\') << "the path keeps the system's trailing backslash";

    EXPECT_EQ(vl_get_library_version(nullptr), VL_RC_NULL_PARAMETER);
    const std::string contents = read_log();
    ASSERT_FALSE(contents.empty()) << "no Velnor.log beside the temp directory's text";
    ASSERT_EQ(contents.substr(contents.size() - 2), "\r\n");
    size_t bare_newlines = 0;
    for (size_t i = 0; i < contents.size(); ++i) {
        bare_newlines += contents[i] == '\n' && (i == 0 || contents[i - 1] != '\r');
    }
    EXPECT_EQ(bare_newlines, 0u);
    for (const std::string& line : log_lines(contents)) {
        EXPECT_TRUE(std::regex_search(line, line_prefix)) << line;
    }
    EXPECT_EQ(last_log_message(),
              "[vl_get_library_version] Error: Velnor:-4, version is null: null_parameter");
}

TEST(Log, FirstFailureOfEachProcessEmptiesTheFile) {
    write_log("[stale] a line from an earlier process\r\n");
    ASSERT_EQ(run_this_binary(L"--log-child"), 0u)
        << "the child's successful calls changed the log file";
    const std::vector<std::string> lines = log_lines(read_log());
    ASSERT_EQ(lines.size(), 2u);
    const std::string expected[] = {
        "[vl_device_open] Error: Velnor:-3, Cannot retrieve device at index 2, only 2 "
        "device(s) found on the system: invalid_device",
        "[vl_get_library_version] Error: Velnor:-4, version is null: null_parameter",
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(std::regex_search(lines[i], line_prefix)) << lines[i];
        EXPECT_NE(lines[i].find(expected[i]), std::string::npos) << lines[i];
    }
}

} // namespace

int run_log_child() {
    const std::string before = read_log();
    size_t count = 0;
    vl_device* handle = nullptr;
    if (vl_get_device_count(&count) != VL_RC_SUCCESS || vl_device_open(0, &handle) != 0 ||
        vl_device_close(handle) != VL_RC_SUCCESS) {
        return 2;
    }
    if (read_log() != before) {
        return 3;
    }
    vl_device_open(2, &handle);
    vl_get_library_version(nullptr);
    return 0;
}

} // namespace e2e
