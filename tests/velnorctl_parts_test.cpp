// The parts of velnorctl that need no board: frequency text, the firmware
// image format, and the parsing of typed values.
#include "board_values.h"
#include "errors.h"
#include "firmware_image.h"
#include "frequency_parse.h"
#include "image_files.h"
#include "shell_words.h"
#include "text_escape.h"

#include <velnor_board_protocol.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

using velnorctl::exit_code_t;
using velnorctl::tool_error_t;

struct frequency_case_t {
    const char* text;
    std::optional<int64_t> hertz;
};

class FrequencyParsing : public ::testing::TestWithParam<frequency_case_t> {};

TEST_P(FrequencyParsing, GivesWholeHertzOrNothing) {
    EXPECT_EQ(velnorctl::parse_frequency(GetParam().text), GetParam().hertz) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FrequencyParsing,
    ::testing::Values(
        frequency_case_t{"100000000", 100000000}, frequency_case_t{"100M", 100000000},
        frequency_case_t{"125MHz", 125000000}, frequency_case_t{"125mhz", 125000000},
        frequency_case_t{"100m", std::nullopt}, frequency_case_t{"100mHz", std::nullopt},
        frequency_case_t{"100 m", std::nullopt}, frequency_case_t{"100MHZ", 100000000},
        frequency_case_t{"9.375e6", 9375000}, frequency_case_t{"9.375M", 9375000},
        frequency_case_t{"1.1G", 1100000000}, frequency_case_t{"1.1 GHz", 1100000000},
        frequency_case_t{"100k", 100000}, frequency_case_t{"250e+6Hz", 250000000},
        frequency_case_t{"12.0", 12}, frequency_case_t{"0", 0}, frequency_case_t{"-5M", -5000000},
        frequency_case_t{"1500e-3k", 1500}, frequency_case_t{"1500e-3", std::nullopt},
        frequency_case_t{"9223372036854775807", INT64_MAX}, frequency_case_t{"12.5", std::nullopt},
        frequency_case_t{"2.5e-3k", std::nullopt},
        frequency_case_t{"9223372036854775808", std::nullopt},
        frequency_case_t{"1e30", std::nullopt}, frequency_case_t{"", std::nullopt},
        frequency_case_t{"M", std::nullopt}, frequency_case_t{"1e", std::nullopt},
        frequency_case_t{"100MHzz", std::nullopt}, frequency_case_t{"fast", std::nullopt},
        frequency_case_t{"1.2.3", std::nullopt}));

TEST(FrequencyFormatting, UsesTheLargestUnitWithExactDigits) {
    EXPECT_EQ(velnorctl::format_frequency(125000000), "125 MHz");
    EXPECT_EQ(velnorctl::format_frequency(9375000), "9.375 MHz");
    EXPECT_EQ(velnorctl::format_frequency(123125000), "123.125 MHz");
    EXPECT_EQ(velnorctl::format_frequency(1100000000), "1.1 GHz");
    EXPECT_EQ(velnorctl::format_frequency(1500), "1.5 kHz");
    EXPECT_EQ(velnorctl::format_frequency(500), "500 Hz");
    EXPECT_EQ(velnorctl::format_frequency(0), "0 Hz");
    EXPECT_EQ(velnorctl::format_frequency(-100), "-100 Hz");
    EXPECT_EQ(velnorctl::format_frequency(1000000001), "1.000000001 GHz");
}

uint32_t u32_at(const std::vector<uint8_t>& bytes, size_t offset) {
    return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 |
           uint32_t(bytes[offset + 2]) << 16 | uint32_t(bytes[offset + 3]) << 24;
}

std::vector<uint8_t> sample_payload() {
    std::vector<uint8_t> payload(3000);
    for (size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<uint8_t>(i * 13);
    }
    return payload;
}

TEST(FirmwareImage, CrcIsTheZlibCrc32) {
    const char* check = "123456789";
    EXPECT_EQ(velnorctl::crc32(reinterpret_cast<const uint8_t*>(check), 9), 0xCBF43926u);
    EXPECT_EQ(velnorctl::crc32(nullptr, 0), 0u);
}

TEST(FirmwareImage, PackLaysOutTheBoardsHeader) {
    const auto payload = sample_payload();
    const auto image = velnorctl::pack_image(velnorctl::parse_image_version("1.4.2"), payload);
    ASSERT_EQ(image.size(), 64 + payload.size());
    EXPECT_EQ(std::memcmp(image.data(), "VLFW", 4), 0);
    EXPECT_EQ(u32_at(image, 4), 1u);
    EXPECT_EQ(u32_at(image, 8), 1u);
    EXPECT_EQ(u32_at(image, 12), 4u);
    EXPECT_EQ(u32_at(image, 16), 2u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&image[20])), "1.4.2");
    for (size_t i = 20 + 5; i < 52; ++i) {
        EXPECT_EQ(image[i], 0) << i;
    }
    EXPECT_EQ(u32_at(image, 52), payload.size());
    EXPECT_EQ(u32_at(image, 56), velnorctl::crc32(payload.data(), payload.size()));
    EXPECT_EQ(u32_at(image, 60), 0u);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), image.begin() + 64));
}

TEST(FirmwareImage, CheckReadsBackWhatPackWrote) {
    velnorctl::image_version_t version = velnorctl::parse_image_version("2.0.7");
    version.text = std::string(32, 'x'); // the whole field, no terminator
    const auto info = velnorctl::check_image(velnorctl::pack_image(version, sample_payload()));
    EXPECT_EQ(info.version.major, 2u);
    EXPECT_EQ(info.version.patch, 7u);
    EXPECT_EQ(info.version.text, std::string(32, 'x'));
    EXPECT_EQ(info.payload_length, 3000u);
}

TEST(FirmwareImage, EmptyPayloadIsAValidImage) {
    const auto image = velnorctl::pack_image(velnorctl::parse_image_version("1.0.0"), {});
    EXPECT_EQ(velnorctl::check_image(image).payload_length, 0u);
}

struct corruption_t {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> apply;
    const char* complaint;
};

TEST(FirmwareImage, CheckNamesWhatIsWrongWithACorruptedImage) {
    const std::vector<corruption_t> corruptions = {
        {"truncated header", [](auto& b) { b.resize(63); }, "shorter than the 64-byte header"},
        {"magic", [](auto& b) { b[0] = 'X'; }, "no VLFW magic"},
        {"header version", [](auto& b) { b[4] = 2; }, "header version 2"},
        {"length field", [](auto& b) { b[52] ^= 1; }, "the file holds 3000"},
        {"truncated payload", [](auto& b) { b.pop_back(); }, "the file holds 2999"},
        {"extra byte", [](auto& b) { b.push_back(0); }, "the file holds 3001"},
        {"reserved word", [](auto& b) { b[63] = 1; }, "reserved header word"},
        {"payload byte", [](auto& b) { b[64 + 1500] ^= 0x80; }, "does not match the header's"},
        {"crc field", [](auto& b) { b[56] ^= 1; }, "does not match the header's"},
        {"payload above the board's limit",
         [](auto& b) {
             b[52] = 0xC1; // 0x00FFFFC1: one byte more than a 16 MiB image holds
             b[53] = 0xFF;
             b[54] = 0xFF;
             b[55] = 0x00;
         },
         "header gives a 16777153-byte payload, more than the board accepts (16777152)"},
    };
    for (const auto& corruption : corruptions) {
        SCOPED_TRACE(corruption.name);
        auto image =
            velnorctl::pack_image(velnorctl::parse_image_version("1.4.0"), sample_payload());
        corruption.apply(image);
        try {
            velnorctl::check_image(image);
            ADD_FAILURE() << "accepted";
        } catch (const tool_error_t& error) {
            EXPECT_EQ(error.exit(), exit_code_t::file);
            EXPECT_NE(std::string(error.what()).find(corruption.complaint), std::string::npos)
                << error.what();
        }
    }
}

TEST(FirmwareImage, VersionMustBeThreeNumbers) {
    for (const char* text :
         {"1.4", "1.4.x", "a.b.c", "1..0", "", "1.4.0.1", "-1.0.0", "99999999999.0.0"}) {
        SCOPED_TRACE(text);
        EXPECT_THROW(velnorctl::parse_image_version(text), tool_error_t);
    }
    EXPECT_EQ(velnorctl::parse_image_version("10.20.30").minor, 20u);
}

TEST(FirmwareImage, PayloadTheBoardCannotTakeIsRefused) {
    const std::vector<uint8_t> payload(16 * 1024 * 1024 - 64 + 1, 0x5A);
    try {
        velnorctl::pack_image(velnorctl::parse_image_version("1.0.0"), payload);
        ADD_FAILURE() << "packed";
    } catch (const tool_error_t& error) {
        EXPECT_EQ(error.exit(), exit_code_t::usage);
        EXPECT_STREQ(error.what(), "payload too large for an image");
    }
    const std::vector<uint8_t> largest(16 * 1024 * 1024 - 64, 0x5A);
    EXPECT_EQ(velnorctl::pack_image(velnorctl::parse_image_version("1.0.0"), largest).size(),
              16u * 1024u * 1024u);
}

TEST(FirmwareImage, VersionTextLongerThanTheFieldIsRefused) {
    velnorctl::image_version_t version = velnorctl::parse_image_version("1.0.0");
    version.text = std::string(33, 'x');
    EXPECT_THROW(velnorctl::pack_image(version, {}), tool_error_t);
}

TEST(TypedValues, NamesAndNumbersBothWork) {
    EXPECT_EQ(velnorctl::parse_value("blink", velnorctl::led_names(), "led"), 2u);
    EXPECT_EQ(velnorctl::parse_value("7", velnorctl::led_names(), "led"), 7u);
    EXPECT_EQ(velnorctl::parse_value("0x10", velnorctl::led_names(), "led"), 16u);
    EXPECT_EQ(velnorctl::parse_value("arm", velnorctl::trigger_command_names(), "status"), 1u);
    EXPECT_EQ(velnorctl::name_of(2, velnorctl::trigger_status_names()), "triggered");
    EXPECT_EQ(velnorctl::name_of(9, velnorctl::led_names()), "9");
    try {
        velnorctl::parse_value("bright", velnorctl::led_names(), "led");
        ADD_FAILURE() << "accepted";
    } catch (const tool_error_t& error) {
        EXPECT_EQ(error.exit(), exit_code_t::usage);
        EXPECT_STREQ(error.what(), "led 'bright' is not one of off, on, blink or a number");
    }
}

TEST(TypedValues, NumbersAreBoundedDecimalOrHex) {
    EXPECT_EQ(velnorctl::parse_number("0x232", 0xFFFF, "address"), 0x232u);
    EXPECT_EQ(velnorctl::parse_number("0XfF", 0xFF, "value"), 0xFFu);
    EXPECT_EQ(velnorctl::parse_number("4294967295", 0xFFFFFFFFu, "value"), 0xFFFFFFFFu);
    for (const char* text : {"", "0x", "-1", "12a", "0x100", "256", " 1"}) {
        SCOPED_TRACE(text);
        EXPECT_THROW(velnorctl::parse_number(text, 0xFF, "value"), tool_error_t);
    }
}

struct escape_case_t {
    const char* name;
    std::string text;
    std::string shown;
};

TEST(PrintableText, EscapesControlsAndBrokenUtf8AndKeepsTheRest) {
    const std::vector<escape_case_t> cases = {
        {"plain", "VLN-SIM-0000", "VLN-SIM-0000"},
        {"escape sequence", "A\x1b[2J", "A\\x1b[2J"},
        {"nul inside", std::string("A\0B", 3), "A\\x00B"},
        {"newline and tab", "a\nb\tc", "a\\x0ab\\x09c"},
        {"delete", "x\x7f", "x\\x7f"},
        {"c1 control",
         "x\xc2\x9b"
         "1m",
         "x\\xc2\\x9b1m"},
        {"latin small e acute", "caf\xc3\xa9", "caf\xc3\xa9"},
        {"no-break space",
         "a\xc2\xa0"
         "b",
         "a\xc2\xa0"
         "b"},
        {"euro sign", "\xe2\x82\xac", "\xe2\x82\xac"},
        {"four-byte", "\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"},
        {"lone continuation", "a\x80", "a\\x80"},
        {"invalid lead", "\xff\xfe", "\\xff\\xfe"},
        {"overlong slash", "\xc0\xaf", "\\xc0\\xaf"},
        {"surrogate", "\xed\xa0\x80", "\\xed\\xa0\\x80"},
        {"truncated sequence", "\xe2\x82", "\\xe2\\x82"},
        {"above U+10FFFF", "\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(velnorctl::printable(c.text), c.shown);
    }
    EXPECT_EQ(velnorctl::display_width("caf\xc3\xa9"), 4u);
    EXPECT_EQ(velnorctl::display_width("\\x1b"), 4u);
}

struct words_case_t {
    const char* line;
    std::optional<std::vector<std::string>> words;
};

TEST(ShellWords, SplitsQuotesAndCommentsLikeAShell) {
    using words_t = std::vector<std::string>;
    const std::vector<words_case_t> cases = {
        {"led on", words_t{"led", "on"}},
        {"  clock\t250M  ", words_t{"clock", "250M"}},
        {"", words_t{}},
        {"# a comment", words_t{}},
        {"led on # and a comment", words_t{"led", "on"}},
        {"led o#n", words_t{"led", "o#n"}},
        {"firmware check 'my image.vlfw'", words_t{"firmware", "check", "my image.vlfw"}},
        {"a \"b \\\" c\" d", words_t{"a", "b \" c", "d"}},
        {"a 'it''s'", words_t{"a", "its"}},
        {"a b\\ c", words_t{"a", "b c"}},
        {"a ''", words_t{"a", ""}},
        {"a '# not a comment'", words_t{"a", "# not a comment"}},
        {"led 'on", std::nullopt},
        {"led \"on", std::nullopt},
        {"led \"on\\\"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(velnorctl::split_words(c.line), c.words);
    }
}

class ImageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("velnorctl_parts_" +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // A file of the given size whose first bytes are head (the rest zero),
    // made sparse so that a large one costs nothing.
    std::string sized(const std::string& name, const std::vector<uint8_t>& head, uint64_t size) {
        const std::string path = write(name, head);
        std::filesystem::resize_file(path, size);
        return path;
    }

    static void expect_refusal(const std::function<void()>& call, const std::string& message) {
        try {
            call();
            ADD_FAILURE() << "accepted";
        } catch (const tool_error_t& error) {
            EXPECT_EQ(error.exit(), exit_code_t::file);
            EXPECT_EQ(error.what(), message);
        }
    }

    std::filesystem::path dir_;
};

TEST_F(ImageFiles, PayloadsFromOneByteToTheBoardsLimit) {
    const std::string empty = write("empty.bin", {});
    expect_refusal([&] { velnorctl::read_payload(empty); },
                   "'" + empty + "' is empty; a firmware payload holds at least 1 byte");
    // 16 MiB less the 64-byte header, written out by hand.
    const std::string largest = sized("largest.bin", {1}, 16777152);
    EXPECT_EQ(velnorctl::read_payload(largest).size(), 16777152u);
    const std::string over = sized("over.bin", {1}, 16777153);
    expect_refusal(
        [&] { velnorctl::read_payload(over); },
        "'" + over + "' holds 16777153 bytes; a board accepts a payload of at most 16777152 bytes");
    const std::string folder = dir_.string();
    expect_refusal([&] { velnorctl::read_payload(folder); },
                   "'" + folder + "' is a folder, not a file");
    expect_refusal([&] { velnorctl::read_image(folder); },
                   "'" + folder + "' is a folder, not a file");
}

TEST_F(ImageFiles, ImageHeaderIsCheckedAgainstTheFileSizeBeforeTheFileIsRead) {
    const auto image =
        velnorctl::pack_image(velnorctl::parse_image_version("1.4.0"), sample_payload());
    const std::vector<uint8_t> header(image.begin(), image.begin() + 64);
    EXPECT_EQ(velnorctl::read_image(write("good.vlfw", image)), image);

    // A 500 MB file behind a header that promises 3000 bytes: refused by its size alone.
    const std::string huge = sized("huge.vlfw", header, 500000000);
    expect_refusal([&] { velnorctl::read_image(huge); },
                   "bad image: header gives a 3000-byte payload, the file holds 499999936");

    std::vector<uint8_t> too_large = header;
    too_large[52] = 0xC1; // payload length 0x00FFFFC1 = 16777153
    too_large[53] = 0xFF;
    too_large[54] = 0xFF;
    too_large[55] = 0x00;
    const std::string promised = sized("promised.vlfw", too_large, 64 + 16777153);
    expect_refusal(
        [&] { velnorctl::read_image(promised); },
        "bad image: header gives a 16777153-byte payload, more than the board accepts (16777152)");

    const auto empty = velnorctl::pack_image(velnorctl::parse_image_version("1.0.0"), {});
    const std::string bare = write("bare.vlfw", empty);
    expect_refusal([&] { velnorctl::read_image(bare); }, "bad image: the payload is empty");
}

} // namespace
