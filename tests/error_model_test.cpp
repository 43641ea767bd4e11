// Result codes, the error category, the boundary frame and the library version.
#include "api/frame.h"
#include "error/error_category.h"
#include "error/result_codes.h"
#include "support/library_fixture.h"

#include <climits>
#include <new>
#include <stdexcept>

namespace {

using velnor_test::LibraryTest;

struct NamedCode {
    int value;
    const char* message;
};

const NamedCode named_codes[] = {
    {0, "success"},
    {-1, "internal_error"},
    {-2, "ad9516_communication_error"},
    {-3, "invalid_device"},
    {-4, "null_parameter"},
    {-5, "failed"},
    {-6, "no_memory"},
    {-7, "invalid_device_type"},
    {-8, "update_invalid_status"},
    {-9, "invalid_data"},
    {-10, "timeout"},
    {-11, "pll_not_locked"},
    {-13, "invalid_frequency"},
    {-12, "invalid_rc"},
    {-14, "invalid_rc"},
    {1, "invalid_rc"},
    {7, "invalid_rc"},
    {INT_MIN, "invalid_rc"},
    {INT_MAX, "invalid_rc"},
};

TEST(ErrorCategory, MessageNamesEveryCodeAndFallsBackToInvalidRc) {
    for (const NamedCode& code : named_codes) {
        EXPECT_EQ(velnor_category().message(code.value), code.message) << code.value;
        EXPECT_STREQ(velnor::rc_name(code.value), code.message) << code.value;
    }
}

TEST(ErrorCategory, EveryNamedCodeHasItsOwnName) {
    for (vl_rc code : velnor::named_result_codes) {
        EXPECT_STRNE(velnor::rc_name(code), "invalid_rc") << code;
    }
}

TEST(ErrorCategory, IsNamedVelnorAndIsOneObjectDistinctFromTheStandardOnes) {
    EXPECT_STREQ(velnor_category().name(), "Velnor");
    EXPECT_EQ(&velnor_category(), &velnor_category());
    EXPECT_NE(velnor_category(), std::system_category());
    EXPECT_NE(velnor_category(), std::generic_category());
}

TEST(ErrorCategory, MakeErrorCodeKeepsTheValueInTheLibraryCategory) {
    const std::error_code code = make_error_code(VL_RC_PLL_NOT_LOCKED);
    EXPECT_EQ(code.value(), -11);
    EXPECT_EQ(code.category(), velnor_category());
    const std::system_error error(make_error_code(VL_RC_NULL_PARAMETER), "version is null");
    EXPECT_STREQ(error.what(), "version is null: null_parameter");
}

class LibraryVersion : public LibraryTest {};

TEST_F(LibraryVersion, WritesOneZeroTwoAndZeroFillsTheText) {
    vl_version version;
    std::memset(&version, 0xFF, sizeof version);
    ASSERT_EQ(vl_get_library_version(&version), VL_RC_SUCCESS);
    EXPECT_EQ(version.major, 1u);
    EXPECT_EQ(version.minor, 0u);
    EXPECT_EQ(version.patch, 2u);
    EXPECT_STREQ(version.text, "1.0.2");
    for (std::size_t i = 5; i < sizeof version.text; ++i) {
        EXPECT_EQ(version.text[i], 0) << "byte " << i;
    }
    EXPECT_FALSE(std::filesystem::exists(velnor_test::log_file()));
}

TEST_F(LibraryVersion, NullRecordFailsWithNullParameterAndOneLogLine) {
    EXPECT_EQ(vl_get_library_version(nullptr), VL_RC_NULL_PARAMETER);
    const std::string line = only_log_line();
    EXPECT_NE(line.find("[Velnor] [error] [vl_get_library_version] Error: Velnor:-4, "
                        "version is null: null_parameter"),
              std::string::npos)
        << line;
    EXPECT_EQ(line.substr(line.size() - std::strlen("version is null: null_parameter")),
              "version is null: null_parameter");
}

// The frame on its own: what each kind of failure becomes.
struct FrameCase {
    const char* name;
    void (*body)();
    vl_rc expected;
    const char* logged; // what follows "Error: " in the line
};

const FrameCase frame_cases[] = {
    {"system",
     [] { throw std::system_error(31, std::system_category(), "DeviceIoControl failed"); },
     VL_RC_FAILED, "system:31, DeviceIoControl failed: "},
    {"generic",
     [] { throw std::system_error(std::make_error_code(std::errc::not_supported), "Call"); },
     VL_RC_FAILED, "generic:"},
    {"positive_status", [] { velnor::raise(7, "IOCTL failed"); }, 7,
     "Velnor:7, IOCTL failed: invalid_rc"},
    {"pll", [] { velnor::raise(VL_RC_PLL_NOT_LOCKED, "IOCTL failed"); }, VL_RC_PLL_NOT_LOCKED,
     "Velnor:-11, IOCTL failed: pll_not_locked"},
    {"bad_alloc", [] { throw std::bad_alloc(); }, VL_RC_NO_MEMORY,
     "Velnor:-6, Out of memory: no_memory"},
    {"runtime_error", [] { throw std::runtime_error("boom"); }, VL_RC_INTERNAL_ERROR,
     "Velnor:-1, Unexpected exception (boom): internal_error"},
    {"not_an_exception", [] { throw 42; }, VL_RC_INTERNAL_ERROR,
     "Velnor:-1, Unexpected exception (unknown exception): internal_error"},
    {"success", [] {}, VL_RC_SUCCESS, nullptr},
};

class Frame : public LibraryTest, public testing::WithParamInterface<FrameCase> {};

TEST_P(Frame, MapsTheFailureAndLogsOneLineUnderTheFunctionName) {
    const FrameCase& c = GetParam();
    EXPECT_EQ(velnor::run_export("vl_frame_probe", c.body), c.expected);
    if (c.logged == nullptr) {
        EXPECT_TRUE(velnor_test::read_log_lines().empty());
        return;
    }
    const std::string line = only_log_line();
    EXPECT_NE(line.find(std::string("[vl_frame_probe] Error: ") + c.logged), std::string::npos)
        << line;
}

INSTANTIATE_TEST_SUITE_P(Failures, Frame, testing::ValuesIn(frame_cases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
