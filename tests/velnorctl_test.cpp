// velnorctl end to end: each test runs the tool as a user would, against the
// virtual board of a fresh process, with a temporary directory of its own
// (the tool's log folders are made there).
#include "json_reader.h"
#include "velnorctl_run.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using namespace velnorctl_run;

const char* const sent_lines = "erasing...\n"
                               "sent 1024 of 5064 bytes (20%)\n"
                               "sent 2048 of 5064 bytes (40%)\n"
                               "sent 3072 of 5064 bytes (60%)\n"
                               "sent 4096 of 5064 bytes (80%)\n"
                               "sent 5064 of 5064 bytes (100%)\n"
                               "verifying...\n";

// The two lines of every library failure: the export with its code, then the
// tool's own log file under the test's temporary folder and the line the
// library wrote there (after spdlog's time stamp) ending with detail.
void expect_library_failure(const outcome_t& run, const std::string& first_line,
                            const std::string& log_detail) {
    const auto lines = lines_of(run.err);
    ASSERT_GE(lines.size(), 2u) << run.err;
    EXPECT_EQ(lines[0], first_line);
    EXPECT_TRUE(std::regex_match(
        lines[1],
        std::regex(
            R"(/.*/tmp/velnorctl-\d+-[0-9a-f]{8}/Velnor\.log: \[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] )"
            R"(\[Velnor\] \[error\] .*)")))
        << lines[1];
    EXPECT_NE(lines[1].find(log_detail), std::string::npos) << lines[1];
}

TEST_F(Velnorctl, ListPrintsOneRowPerBoard) {
    const outcome_t result = run("--boards 2 list");
    EXPECT_EQ(result.exit, 0);
    EXPECT_EQ(result.out, "INDEX  SERIAL        FIRMWARE  DRIVER  INTERFACE PATH\n"
                          "0      VLN-SIM-0000  1.3.0     2.4.1   "
                          "\\\\?\\ROOT#VELNOR#0000#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}\n"
                          "1      VLN-SIM-0001  1.3.0     2.4.1   "
                          "\\\\?\\ROOT#VELNOR#0001#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}\n");
    EXPECT_EQ(result.err, "");
}

TEST_F(Velnorctl, ListJsonIsAValidDocumentWithEveryBoard) {
    const outcome_t result = run("--boards 3 list --json");
    ASSERT_EQ(result.exit, 0);
    const json::Value doc = json::parse(result.out);
    ASSERT_EQ(doc["boards"].array.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(doc["boards"][i]["index"].number, static_cast<double>(i));
        EXPECT_EQ(doc["boards"][i]["serial"].string, "VLN-SIM-000" + std::to_string(i));
        EXPECT_EQ(doc["boards"][i]["firmware"]["text"].string, "1.3.0");
        EXPECT_EQ(doc["boards"][i]["firmware"]["minor"].number, 3);
        EXPECT_EQ(doc["boards"][i]["driver"]["text"].string, "2.4.1");
        EXPECT_EQ(doc["boards"][i]["path"].string, "\\\\?\\ROOT#VELNOR#000" + std::to_string(i) +
                                                       "#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}");
    }
}

TEST_F(Velnorctl, ListWithoutBoardsSaysSoAndSucceeds) {
    EXPECT_EQ(run("--boards 0 list").out, "no boards\n");
    const outcome_t result = run("--boards 0 list --json");
    EXPECT_EQ(result.exit, 0);
    EXPECT_TRUE(json::parse(result.out)["boards"].array.empty());
}

TEST_F(Velnorctl, ListWarnsOfAFailedListingOfInterfacePathsAndListsTheBoardsWithoutThem) {
    const struct {
        const char* fault;
        const char* message;
    } cases[] = {
        {"call=list_size,value=0x13", "velnorctl: warning: cannot list the boards' interface "
                                      "paths: CM_Get_Device_Interface_List_SizeA answered 0x13; "
                                      "listing the boards without them\n"},
        {"call=list_fetch,value=0x1f", "velnorctl: warning: cannot list the boards' interface "
                                       "paths: CM_Get_Device_Interface_ListW answered 0x1f; "
                                       "listing the boards without them\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        const outcome_t result = run(std::string("--boards 2 --sim-fault ") + c.fault + " list");
        EXPECT_EQ(result.exit, 0);
        EXPECT_EQ(result.out, "INDEX  SERIAL        FIRMWARE  DRIVER\n"
                              "0      VLN-SIM-0000  1.3.0     2.4.1\n"
                              "1      VLN-SIM-0001  1.3.0     2.4.1\n");
        EXPECT_EQ(result.err, c.message);
        const outcome_t as_json =
            run(std::string("--boards 1 --sim-fault ") + c.fault + " list --json");
        EXPECT_EQ(as_json.exit, 0);
        EXPECT_EQ(json::parse(as_json.out)["boards"][0]["path"].kind, json::Value::Kind::null);
    }
}

TEST_F(Velnorctl, InfoShowsTheBoardAsItStartsUp) {
    const outcome_t result = run("info");
    EXPECT_EQ(result.exit, 0);
    EXPECT_EQ(result.out, "board     0\n"
                          "serial    VLN-SIM-0000\n"
                          "driver    2.4.1\n"
                          "firmware  1.3.0\n"
                          "library   1.0.2\n"
                          "led       off\n"
                          "trigger   rising, disarmed\n"
                          "clock     internal, 100000000 Hz (100 MHz)\n");
}

TEST_F(Velnorctl, InfoJsonOfTheBoardChosenBySerial) {
    const outcome_t result = run("--boards 3 --serial VLN-SIM-0002 info --json");
    ASSERT_EQ(result.exit, 0) << result.err;
    const json::Value doc = json::parse(result.out);
    EXPECT_EQ(doc["index"].number, 2);
    EXPECT_EQ(doc["serial"].string, "VLN-SIM-0002");
    EXPECT_EQ(doc["library"]["text"].string, "1.0.2");
    EXPECT_EQ(doc["led_name"].string, "off");
    EXPECT_EQ(doc["trigger_status_name"].string, "disarmed");
    EXPECT_EQ(doc["clock"]["frequency_hz"].number, 100000000);
    EXPECT_EQ(doc["clock"]["mode_name"].string, "internal");
}

TEST_F(Velnorctl, BoardIndexSelectsTheBoard) {
    const outcome_t result = run("--boards 2 --board 1 info");
    EXPECT_EQ(lines_of(result.out).at(1), "serial    VLN-SIM-0001");
}

TEST_F(Velnorctl, UnknownSerialExitsWithNoBoard) {
    const outcome_t result = run("--boards 2 --serial NOPE info");
    EXPECT_EQ(result.exit, no_board);
    EXPECT_EQ(
        result.err,
        "velnorctl: no board has the serial 'NOPE'; the boards present:\n"
        "  board 0  VLN-SIM-0000  \\\\?\\ROOT#VELNOR#0000#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}\n"
        "  board 1  VLN-SIM-0001  "
        "\\\\?\\ROOT#VELNOR#0001#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}\n");
    EXPECT_EQ(result.out, "");
}

TEST_F(Velnorctl, IndexPastTheEndReportsTheFailedOpen) {
    const outcome_t result = run("--board 1 led");
    EXPECT_EQ(result.exit, no_board);
    expect_library_failure(result, "velnorctl: vl_device_open failed: invalid_device (-3)",
                           "[vl_device_open] Error: Velnor:-3, ");
}

struct get_set_case_t {
    const char* arguments;
    const char* printed;
};

class VelnorctlGetSet : public Velnorctl, public ::testing::WithParamInterface<get_set_case_t> {};

TEST_P(VelnorctlGetSet, PrintsTheValueTheBoardReports) {
    const outcome_t result = run(GetParam().arguments);
    EXPECT_EQ(result.exit, 0) << result.err;
    EXPECT_EQ(result.out, GetParam().printed);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, VelnorctlGetSet,
    ::testing::Values(get_set_case_t{"led", "off\n"}, get_set_case_t{"led blink", "blink\n"},
                      get_set_case_t{"led 1", "on\n"},
                      get_set_case_t{"trigger polarity", "rising\n"},
                      get_set_case_t{"trigger polarity falling", "falling\n"},
                      get_set_case_t{"trigger status", "disarmed\n"},
                      get_set_case_t{"trigger status arm", "armed\n"},
                      get_set_case_t{"clock", "internal, 100000000 Hz (100 MHz)\n"},
                      get_set_case_t{"clock 125MHz", "internal, 125000000 Hz (125 MHz)\n"},
                      get_set_case_t{"clock 9.375e6", "internal, 9375000 Hz (9.375 MHz)\n"},
                      get_set_case_t{"clock 1100000000", "internal, 1100000000 Hz (1.1 GHz)\n"},
                      get_set_case_t{"clock 10M --mode external",
                                     "external, 10000000 Hz (10 MHz)\n"},
                      get_set_case_t{"reg write 0x10 0x55", "0x010: 0x55\n"},
                      get_set_case_t{"reg write 16 200", "0x010: 0xc8\n"}));

TEST_F(Velnorctl, RefusedFrequencyShowsTheLibrarysMessageWithTheNearestFrequencies) {
    const outcome_t result = run("clock 123456789");
    EXPECT_EQ(result.exit, library_failure);
    EXPECT_EQ(result.out, "");
    expect_library_failure(result, "velnorctl: vl_device_set_clock failed: invalid_frequency (-13)",
                           "[vl_device_set_clock] Error: Velnor:-13, Invalid clock frequency: "
                           "123456789Hz. Try 123125000Hz or 123750000Hz: invalid_frequency");
}

TEST_F(Velnorctl, ValuesTheBoardRefusesAreReportedWithTheDriverStatus) {
    // Register addresses and values out of range are the tool's to refuse now
    // (see the usage errors); these the board refuses itself.
    for (const char* arguments : {"led 7", "trigger polarity 2", "clock 10M --mode 5"}) {
        SCOPED_TRACE(arguments);
        const outcome_t result = run(arguments);
        EXPECT_EQ(result.exit, library_failure);
        ASSERT_FALSE(result.err.empty());
        EXPECT_NE(lines_of(result.err)[0].find(" failed: invalid_data (-9)"), std::string::npos)
            << result.err;
        EXPECT_NE(result.err.find("Error: Velnor:-9, IOCTL failed: invalid_data"),
                  std::string::npos);
    }
}

TEST_F(Velnorctl, UnreadableCommandLinesExitWithUsageAndLeaveTheLogAlone) {
    for (const char* arguments :
         {"", "frobnicate", "led bright", "clock fast", "clock 1.5", "reg write 0x10",
          "reg read 0xZZ", "--board 1 --serial X info", "--boards 65 list", "trigger"}) {
        SCOPED_TRACE(arguments);
        const outcome_t result = run(arguments);
        EXPECT_EQ(result.exit, usage_error);
        EXPECT_FALSE(result.err.empty());
    }
    EXPECT_FALSE(log_exists());
}

TEST_F(Velnorctl, SuccessfulCommandsWriteNoLog) {
    EXPECT_EQ(run("info").exit, 0);
    EXPECT_EQ(run("--boards 2 list --json").exit, 0);
    EXPECT_FALSE(log_exists());
}

TEST_F(Velnorctl, VersionAndHelp) {
    EXPECT_EQ(run("--version").out,
              "velnorctl 1.0.2 for the virtual platform (virtual boards, no hardware)\n");
    const outcome_t help = run("--help");
    EXPECT_EQ(help.exit, 0);
    EXPECT_NE(help.out.find("Exit codes:"), std::string::npos);
}

TEST_F(Velnorctl, FirmwarePackWritesACheckableImage) {
    const std::string image = packed_image();
    EXPECT_EQ(fs::file_size(image), 5064u);
    const outcome_t check = run("firmware check '" + image + "'");
    EXPECT_EQ(check.exit, 0);
    EXPECT_TRUE(std::regex_match(
        check.out, std::regex(".*: firmware 1\\.4\\.0, 5000-byte payload, CRC-32 0x[0-9a-f]{8}\n")))
        << check.out;
}

TEST_F(Velnorctl, FirmwareUpdateSendsTheImageAndReadsTheNewVersionBack) {
    const std::string image = packed_image();
    const outcome_t result = run("firmware update --verify '" + image + "'");
    EXPECT_EQ(result.exit, 0) << result.err;
    const std::string header = lines_of(result.out).at(0);
    EXPECT_EQ(result.out, header + "\n" + sent_lines + "firmware now 1.4.0 (verified)\n");
    EXPECT_FALSE(log_exists());
}

TEST_F(Velnorctl, UpdatedFirmwareStaysForTheRestOfAShellSession) {
    const std::string image = packed_image();
    const outcome_t result = run("shell", "firmware update '" + image + "'\ninfo --json\n");
    ASSERT_EQ(result.exit, 0) << result.err;
    const auto lines = lines_of(result.out);
    EXPECT_EQ(json::parse(lines.back())["firmware"]["text"].string, "1.4.0");
}

TEST_F(Velnorctl, CorruptedImageIsRefusedBeforeAnythingIsSent) {
    const std::string image = packed_image();
    {
        std::fstream f(image, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(100);
        f.put('\x5a');
    }
    const outcome_t result = run("firmware update '" + image + "'");
    EXPECT_EQ(result.exit, file_error);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("velnorctl: bad image: payload CRC-32 0x"), std::string::npos)
        << result.err;
    EXPECT_FALSE(log_exists());
}

TEST_F(Velnorctl, MissingImageFileIsAFileError) {
    const outcome_t result = run("firmware update '" + file("none.vlfw").string() + "'");
    EXPECT_EQ(result.exit, file_error);
    EXPECT_NE(result.err.find("cannot open"), std::string::npos);
}

TEST_F(Velnorctl, DriverTimeoutWhilePollingResetsTheUpdate) {
    const std::string image = packed_image();
    const outcome_t result = run("--sim-fault fn=3,status=-10 firmware update '" + image + "'");
    EXPECT_EQ(result.exit, library_failure);
    expect_library_failure(
        result, "velnorctl: vl_device_update_get_status failed: timeout (-10)",
        "[vl_device_update_get_status] Error: Velnor:-10, IOCTL failed: timeout");
    EXPECT_EQ(lines_of(result.err).back(),
              "velnorctl: firmware update abandoned; the board's update was reset");
}

TEST_F(Velnorctl, BoardThatNeverFinishesErasingTimesOut) {
    const std::string image = packed_image();
    // Status replies without a payload read as "idle", so the erase never ends.
    const outcome_t result =
        run("--sim-fault fn=3,reply=4 firmware update --timeout 0.2 '" + image + "'");
    EXPECT_EQ(result.exit, update_failed);
    EXPECT_EQ(result.err, "velnorctl: timed out after 0.2 s waiting for the board to finish "
                          "erasing (update state idle)\n"
                          "velnorctl: firmware update abandoned; the board's update was reset\n");
}

TEST_F(Velnorctl, ImageTheBoardRejectsResetsTheUpdate) {
    const std::string image = packed_image();
    const outcome_t result = run("--sim-fault fn=5,status=-9 firmware update '" + image + "'");
    EXPECT_EQ(result.exit, library_failure);
    expect_library_failure(result, "velnorctl: vl_device_update_complete failed: invalid_data (-9)",
                           "[vl_device_update_complete] Error: Velnor:-9");
    EXPECT_EQ(lines_of(result.err).back(),
              "velnorctl: firmware update abandoned; the board's update was reset");
}

TEST_F(Velnorctl, VerifyFailsWhenTheBoardReportsAnotherVersion) {
    const std::string image = packed_image();
    const outcome_t result =
        run("--sim-fault fn=1,reply=4 firmware update --verify '" + image + "'");
    EXPECT_EQ(result.exit, update_failed);
    EXPECT_EQ(result.err, "velnorctl: the board reports firmware 0.0.0, the image carries 1.4.0\n");
}

TEST_F(Velnorctl, ShellKeepsTheBoardStateFromOneCommandToTheNext) {
    const outcome_t result = run("shell", "led blink\n"
                                          "  clock 250M\n"
                                          "# a comment\n"
                                          "\n"
                                          "trigger status arm\n"
                                          "reg write 0x10 0x55\n"
                                          "reg read 0x10\n"
                                          "info\n");
    EXPECT_EQ(result.exit, 0) << result.err;
    EXPECT_EQ(result.out, "blink\n"
                          "internal, 250000000 Hz (250 MHz)\n"
                          "armed\n"
                          "0x010: 0x55\n"
                          "0x010: 0x55\n"
                          "board     0\n"
                          "serial    VLN-SIM-0000\n"
                          "driver    2.4.1\n"
                          "firmware  1.3.0\n"
                          "library   1.0.2\n"
                          "led       blink\n"
                          "trigger   rising, armed\n"
                          "clock     internal, 250000000 Hz (250 MHz)\n");
}

TEST_F(Velnorctl, ShellGoesOnAfterAFailureAndExitsWithTheLastFailuresCode) {
    outcome_t result = run("shell", "clock 123456789\nled\n");
    EXPECT_EQ(result.exit, library_failure);
    EXPECT_EQ(result.out, "off\n");
    EXPECT_NE(result.err.find("invalid_frequency (-13)"), std::string::npos);

    result = run("shell", "clock 123456789\nled bright\nled on\n");
    EXPECT_EQ(result.exit, usage_error);
    EXPECT_EQ(result.out, "on\n");
}

TEST_F(Velnorctl, ShellStopsAtQuit) {
    const outcome_t result = run("shell", "led on\nquit\nled off\n");
    EXPECT_EQ(result.exit, 0);
    EXPECT_EQ(result.out, "on\n");
}

TEST_F(Velnorctl, ShellWorksOnTheBoardChosenBySerial) {
    const outcome_t result = run("--boards 3 --serial VLN-SIM-0001 shell", "led on\ninfo --json\n");
    ASSERT_EQ(result.exit, 0) << result.err;
    const json::Value doc = json::parse(lines_of(result.out).back());
    EXPECT_EQ(doc["index"].number, 1);
    EXPECT_EQ(doc["led_name"].string, "on");
}

} // namespace
