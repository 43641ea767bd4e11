// The product's own backend on a Windows runtime without boards: the real
// configuration manager, temporary directory and line endings.
#include "support/test_env.h"

#include <velnor.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

std::wstring windows_temp_text() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    return std::wstring(buffer, length);
}

// The DLL has its own logger: this process's first failure empties the file.
TEST(Win32Backend, DeviceCountAnswersWithoutCrashing) {
    size_t count = 12345;
    const vl_rc result = vl_get_device_count(&count);
    if (result == VL_RC_SUCCESS) {
        EXPECT_NE(count, 12345u);
        return;
    }
    // Wine's configuration manager cannot list interfaces: the size call fails.
    EXPECT_EQ(result, VL_RC_FAILED);
    EXPECT_EQ(count, 12345u);
    const auto lines = velnor_test::read_log_lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("[vl_get_device_count] Error: generic:"), std::string::npos);
    EXPECT_NE(lines.back().find("Call to CM_Get_Device_Interface_List_Size( &list_length"),
              std::string::npos)
        << lines.back();
}

TEST(Win32Backend, LogGoesToTheSystemTempTextPlusSlashWithCrLfLines) {
    const std::size_t before = velnor_test::read_log_lines().size();
    ASSERT_EQ(vl_get_library_version(nullptr), VL_RC_NULL_PARAMETER);
    ASSERT_EQ(vl_device_open(0, nullptr), VL_RC_NULL_PARAMETER);
    // The system reports the folder the test main set, with a trailing
    // backslash; the file is that text, then "/Velnor.log", by its wide name.
    const std::wstring temp = windows_temp_text();
    EXPECT_EQ(temp, velnor_test::temp_dir().native() + L"\\");
    const std::wstring expected = temp + L"/Velnor.log";
    const DWORD attributes = GetFileAttributesW(expected.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    const std::string bytes = velnor_test::read_log_bytes();
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    EXPECT_EQ(velnor_test::read_log_lines().size(), before + 2);
}

TEST(Win32Backend, OpeningWithoutBoardsFailsCleanly) {
    vl_device* device = nullptr;
    const vl_rc result = vl_device_open(0, &device);
    EXPECT_TRUE(result == VL_RC_FAILED || result == VL_RC_INVALID_DEVICE) << result;
    EXPECT_EQ(device, nullptr);
}

} // namespace
