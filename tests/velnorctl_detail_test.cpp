// velnorctl's failures and what it says about them: the image's version text
// against its numbers, an update the board will not start, and the library's
// log folder of each run (its own line for every failure, a log that cannot
// be written).
#include "errors.h"
#include "firmware_image.h"
#include "velnorctl_run.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <regex>

namespace {

using namespace velnorctl_run;

// ---- One rule for an image's version text ----------------------------------

struct text_case_t {
    uint32_t major, minor, patch;
    const char* text;
    bool agrees;
};

const text_case_t text_cases[] = {
    {1, 4, 0, "1.4.0", true},
    {1, 4, 0, "1.4.0-rc1", true},
    {1, 4, 0, "1.4.0.7 build", true},
    {1, 4, 0, "01.004.0000", true},
    {1, 4, 0, "v2.0.0", true}, // names no version: free text
    {1, 4, 0, "2.0", true},
    {1, 4, 0, "2.0.x", true},
    {1, 4, 0, "", true},
    {0, 0, 0, "0.00.0 zero", true},
    {4294967295u, 0, 0, "4294967295.0.0", true},
    {1, 4, 0, "2.0.0", false},
    {1, 4, 0, "1.4.1", false},
    {1, 4, 0, "1.40.0", false},
    {1, 4, 0, "1.4.01-rc1", false},
    {1, 4, 0, "0.4.0", false},
    {1, 4, 0, "1.4.00000000000000000001", false},
    {4294967295u, 0, 0, "4294967296.0.0", false},
    {0, 0, 0, "0.0.1", false},
};

// A header written here byte by byte: numbers and text as given, over the
// 9-byte payload "123456789" (whose CRC-32 is the well-known 0xCBF43926).
std::vector<uint8_t> handmade_image(const text_case_t& c) {
    std::vector<uint8_t> image(64 + 9, 0);
    auto put = [&](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            image[at + i] = static_cast<uint8_t>(value >> (8 * i));
        }
    };
    std::memcpy(image.data(), "VLFW", 4);
    put(4, 1);
    put(8, c.major);
    put(12, c.minor);
    put(16, c.patch);
    std::memcpy(image.data() + 20, c.text, std::strlen(c.text));
    put(52, 9);
    put(56, 0xCBF43926u);
    std::memcpy(image.data() + 64, "123456789", 9);
    return image;
}

TEST(ImageVersionText, MustNotNameOtherNumbers) {
    for (const text_case_t& c : text_cases) {
        const std::string numbers =
            std::to_string(c.major) + "." + std::to_string(c.minor) + "." + std::to_string(c.patch);
        SCOPED_TRACE(numbers + " with '" + c.text + "'");
        velnorctl::image_version_t version{c.major, c.minor, c.patch, c.text};
        const std::vector<uint8_t> payload{1, 2, 3};
        try {
            const auto image = velnorctl::pack_image(version, payload);
            EXPECT_TRUE(c.agrees) << "packed";
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(&image[20])), c.text);
        } catch (const velnorctl::tool_error_t& error) {
            EXPECT_FALSE(c.agrees) << error.what();
            EXPECT_EQ(error.exit(), velnorctl::exit_code_t::usage);
            EXPECT_EQ(std::string(error.what()), std::string("version text '") + c.text +
                                                     "' names another version than " + numbers);
        }
        // The same rule for an image made elsewhere, when it is checked or sent.
        try {
            const auto info = velnorctl::check_image(handmade_image(c));
            EXPECT_TRUE(c.agrees) << "checked";
            EXPECT_EQ(info.version.text, c.text);
        } catch (const velnorctl::tool_error_t& error) {
            EXPECT_FALSE(c.agrees) << error.what();
            EXPECT_EQ(error.exit(), velnorctl::exit_code_t::file);
            EXPECT_EQ(std::string(error.what()), std::string("bad image: version text '") + c.text +
                                                     "' names another version than the header's " +
                                                     numbers);
        }
    }
}

TEST_F(Velnorctl, PackRefusesATextNamingAnotherVersion) {
    std::ofstream(file("p.bin"), std::ios::binary) << "payload";
    const outcome_t result =
        run("firmware pack " + quoted(file("p.bin").string()) +
            " --version 1.4.0 --text 2.0.0 -o " + quoted(file("fw.vlfw").string()));
    EXPECT_EQ(result.exit, usage_error);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "velnorctl: version text '2.0.0' names another version than 1.4.0\n");
    EXPECT_FALSE(fs::exists(file("fw.vlfw")));
}

// ---- An update the board will not start ------------------------------------

TEST_F(Velnorctl, UpdateThatCannotStartSaysWhereTheBoardIsAndTheWayOut) {
    const std::string image = packed_image();
    // The board refuses the completion and then the reset: the first update
    // leaves it ready with the whole image received, as a killed one would.
    const outcome_t result = run("--sim-fault fn=5,status=-9 --sim-fault fn=6,status=-9 shell",
                                 "firmware update " + quoted(image) + "\nfirmware update " +
                                     quoted(image) + "\nfirmware status\n");
    EXPECT_EQ(result.exit, library_failure);
    const auto lines = lines_of(result.err);
    ASSERT_EQ(lines.size(), 6u) << result.err;
    EXPECT_EQ(lines[0], "velnorctl: line 1: vl_device_update_complete failed: invalid_data (-9)");
    EXPECT_EQ(lines[2], "velnorctl: line 1: firmware update abandoned; resetting the update failed "
                        "too: vl_device_update_reset invalid_data (-9)");
    EXPECT_EQ(lines[3], "velnorctl: line 2: vl_device_update_start_async failed: "
                        "update_invalid_status (-8)");
    EXPECT_NE(lines[4].find("[vl_device_update_start_async] Error: Velnor:-8"), std::string::npos)
        << lines[4];
    EXPECT_EQ(lines[5], "velnorctl: line 2: the board is in the middle of an update (update state "
                        "ready, 5064 bytes received): another one is running or was stopped "
                        "half-way; when none is running, 'velnorctl firmware reset' abandons it "
                        "and a new update can start");
    EXPECT_EQ(lines_of(result.out).back(), "ready, 5064 bytes received");
}

} // namespace
