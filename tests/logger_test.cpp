// The log file: made at the first failure, emptied then, appended and
// flushed after, and never a reason for an export to fail differently.
#include "log/log_context.h"
#include "log/logger.h"
#include "support/library_fixture.h"

#include <spdlog/spdlog.h>

#include <fstream>
#include <regex>

namespace {

using velnor_test::LibraryTest;
using velnor_test::log_file;
using velnor_test::read_log_bytes;
using velnor_test::read_log_lines;

class LogFile : public LibraryTest {};

void write_file(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

TEST_F(LogFile, IsNotCreatedWhenNothingFails) {
    vl_version version;
    ASSERT_EQ(vl_get_library_version(&version), VL_RC_SUCCESS);
    size_t count = 0;
    ASSERT_EQ(vl_get_device_count(&count), VL_RC_SUCCESS);
    EXPECT_FALSE(std::filesystem::exists(log_file()));
}

TEST_F(LogFile, ExistingFileIsUntouchedUntilTheFirstFailureThenEmptied) {
    write_file(log_file(), "line from an earlier run\n");
    vl_version version;
    ASSERT_EQ(vl_get_library_version(&version), VL_RC_SUCCESS);
    EXPECT_EQ(read_log_bytes(), "line from an earlier run\n");

    ASSERT_EQ(vl_get_library_version(nullptr), VL_RC_NULL_PARAMETER);
    const std::vector<std::string> lines = read_log_lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].find("earlier run"), std::string::npos);
}

TEST_F(LogFile, LaterFailuresAppendWholeLinesInTheDefaultPattern) {
    ASSERT_EQ(vl_get_library_version(nullptr), VL_RC_NULL_PARAMETER);
    ASSERT_EQ(vl_get_device_count(nullptr), VL_RC_NULL_PARAMETER);
    // On disk as soon as the export has returned.
    const std::string bytes = read_log_bytes();
    const std::string eol = velnor_test::line_ending();
    ASSERT_GE(bytes.size(), eol.size());
    EXPECT_EQ(bytes.substr(bytes.size() - eol.size()), eol);

    const std::vector<std::string> lines = read_log_lines();
    ASSERT_EQ(lines.size(), 2u);
    const std::regex pattern(
        R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\] \[Velnor\] \[error\] )"
        R"(\[(vl_\w+)\] Error: Velnor:-4, .*: null_parameter)");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[0], match, pattern)) << lines[0];
    EXPECT_EQ(match[1], "vl_get_library_version");
    ASSERT_TRUE(std::regex_match(lines[1], match, pattern)) << lines[1];
    EXPECT_EQ(match[1], "vl_get_device_count");
    EXPECT_NE(lines[1].find("Count is null"), std::string::npos);
    // No stray carriage return inside a line on either platform.
    EXPECT_EQ(lines[1].find('\r'), std::string::npos);
}

TEST_F(LogFile, PathIsTheTemporaryDirectoryTextASlashAndTheFileName) {
    const velnor_log_context_t context{"Velnor"};
    EXPECT_EQ(context.name, "Velnor");
    EXPECT_EQ(context.level, 0);
    EXPECT_EQ(context.log_path,
              std::filesystem::temp_directory_path().string() + "/" + "Velnor.log");
}

TEST_F(LogFile, AFileThatCannotBeOpenedLosesTheLineButNotTheResult) {
    std::filesystem::create_directory(log_file()); // a folder where the file should be
    EXPECT_EQ(vl_get_library_version(nullptr), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(vl_get_device_count(nullptr), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(spdlog::get("Velnor"), nullptr);

    // Once the file can be made, the next failure makes the logger.
    std::filesystem::remove(log_file());
    EXPECT_EQ(vl_get_library_version(nullptr), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(read_log_lines().size(), 1u);
}

TEST_F(LogFile, RegisteredLoggerIsReusedWithOneFileSink) {
    ASSERT_EQ(vl_get_library_version(nullptr), VL_RC_NULL_PARAMETER);
    const auto first = spdlog::get("Velnor");
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(vl_get_library_version(nullptr), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(spdlog::get("Velnor"), first);
    EXPECT_EQ(first->sinks().size(), 1u);
    EXPECT_EQ(first->level(), spdlog::level::trace);
    EXPECT_EQ(first->flush_level(), spdlog::level::trace);
}

#if defined(VELNOR_LOG_ONCE_PROGRAM)
TEST_F(LogFile, AnotherProcessEmptiesTheFileAtItsOwnFirstFailure) {
    ASSERT_EQ(vl_get_library_version(nullptr), VL_RC_NULL_PARAMETER);
    ASSERT_EQ(vl_get_library_version(nullptr), VL_RC_NULL_PARAMETER);
    ASSERT_EQ(read_log_lines().size(), 2u);

    ASSERT_EQ(velnor_test::run_command(VELNOR_LOG_ONCE_PROGRAM), 0);
    const std::vector<std::string> lines = read_log_lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("[vl_device_open] Error: Velnor:-4, handle is null"),
              std::string::npos);

    // Both processes now append to the one file.
    ASSERT_EQ(vl_get_library_version(nullptr), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(read_log_lines().size(), 2u);
}
#endif

} // namespace
