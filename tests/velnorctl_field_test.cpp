// velnorctl as it is used in the field, end to end on the virtual board:
// never the wrong board, never a half-flashed board, always the process's
// own error detail, and output a script or a terminal can trust. Signals
// and concurrent runs each get processes of their own.
#include "velnorctl_run.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace velnorctl_run;

std::string path_of(int id) {
    char text[96];
    std::snprintf(text, sizeof text,
                  "\\\\?\\ROOT#VELNOR#%04d#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}", id);
    return text;
}

// ---- The right board -------------------------------------------------------

TEST_F(Velnorctl, SerialThatSeveralBoardsShareIsRefusedListingThem) {
    const std::string image = packed_image();
    const outcome_t result = run("--sim-board LAB-0001 --sim-board OTHER --sim-board LAB-0001 "
                                 "--sim-board LAB-0001 --serial LAB-0001 firmware update " +
                                 quoted(image));
    EXPECT_EQ(result.exit, no_board);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              "velnorctl: 3 boards have the serial 'LAB-0001'; choose one with --board INDEX:\n"
              "  board 0  " +
                  path_of(0) +
                  "\n"
                  "  board 2  " +
                  path_of(2) +
                  "\n"
                  "  board 3  " +
                  path_of(3) + "\n");
    EXPECT_FALSE(log_exists());
}

TEST_F(Velnorctl, SerialThatNoBoardHasListsTheBoardsPresent) {
    outcome_t result = run("--sim-board LAB-0001 --sim-board 'LAB 22' --serial LAB-0002 info");
    EXPECT_EQ(result.exit, no_board);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "velnorctl: no board has the serial 'LAB-0002'; the boards present:\n"
                          "  board 0  LAB-0001  " +
                              path_of(0) +
                              "\n"
                              "  board 1  LAB 22    " +
                              path_of(1) + "\n");

    result = run("--boards 0 --serial LAB-0002 info");
    EXPECT_EQ(result.exit, no_board);
    EXPECT_EQ(result.err, "velnorctl: no board has the serial 'LAB-0002'; no boards are present\n");
}

TEST_F(Velnorctl, SerialThatOneBoardHasIsTheBoardUsedAmongDuplicatesOfOthers) {
    const outcome_t result =
        run("--sim-board A --sim-board A --sim-board B --serial B shell", "led on\ninfo --json\n");
    ASSERT_EQ(result.exit, 0) << result.err;
    const auto doc = nlohmann::json::parse(lines_of(result.out).back());
    EXPECT_EQ(doc["index"], 2);
    EXPECT_EQ(doc["serial"], "B");
    EXPECT_EQ(doc["led_name"], "on");
}

// ---- Never a half-flashed board -------------------------------------------

struct interruption_t {
    const char* name;
    int signal;
    const char* shown;    // how the message names it
    const char* wait_for; // output after which the signal is sent
    bool in_shell;
    int exit;
};

class VelnorctlInterrupted : public Velnorctl,
                             public ::testing::WithParamInterface<interruption_t> {};

// Each update is paced (100 ms after every request) so that the signal lands
// while the board erases or while the blocks go out.
TEST_P(VelnorctlInterrupted, ResetsTheBoardsUpdateAndExitsWithTheSignalsCode) {
    const interruption_t& c = GetParam();
    const std::string image = packed_image();
    const std::string update = "firmware update " + quoted(image);
    running_t running =
        c.in_shell
            ? start("--sim-pace 100 shell",
                    update + "\nfirmware status\nfirmware update --verify " + quoted(image) + "\n")
            : start("--sim-pace 100 " + update, "");
    ASSERT_TRUE(read_until(running, c.wait_for)) << running.printed;
    kill(running.pid, c.signal);
    const outcome_t result = finish(running);

    EXPECT_EQ(result.exit, c.exit);
    const std::string line = c.in_shell ? "line 1: " : "";
    const std::string reset = "velnorctl: " + line + "firmware update interrupted by " + c.shown +
                              "; the board's update was reset (update state idle, 0 bytes "
                              "received)\n";
    EXPECT_EQ(result.err, reset);
    const std::string header = image + ": firmware 1.4.0, 5000-byte payload, CRC-32 0x" + [&] {
        // The CRC as the pack step printed it.
        const outcome_t check = run("firmware check " + quoted(image));
        return check.out.substr(check.out.rfind("0x") + 2);
    }();
    ASSERT_EQ(result.out.rfind(header + "erasing...\n", 0), 0u) << result.out;
    const std::string first_update =
        result.out.substr(0, result.out.find(c.in_shell ? "idle, 0 bytes" : "verifying...\n"));
    if (std::string(c.wait_for) == "erasing...\n") {
        EXPECT_EQ(first_update.find("sent "), std::string::npos) << result.out;
    }
    if (!c.in_shell || c.signal != SIGINT) {
        // The process ended with the update: nothing was verified.
        EXPECT_EQ(result.out.find("verifying..."), std::string::npos) << result.out;
        return;
    }
    // After Ctrl-C the shell went on: the board is idle, and the next update succeeds.
    const auto lines = lines_of(result.out);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "idle, 0 bytes received"), lines.end())
        << result.out;
    EXPECT_EQ(lines.back(), "firmware now 1.4.0 (verified)") << result.out;
}

INSTANTIATE_TEST_SUITE_P(
    Signals, VelnorctlInterrupted,
    ::testing::Values(
        interruption_t{"IntDuringErase", SIGINT, "SIGINT", "erasing...\n", false, interrupted},
        interruption_t{"TermDuringErase", SIGTERM, "SIGTERM", "erasing...\n", false, terminated},
        interruption_t{"IntDuringBlocks", SIGINT, "SIGINT", "sent 1024 of 5064 bytes (20%)\n",
                       false, interrupted},
        interruption_t{"TermDuringBlocks", SIGTERM, "SIGTERM", "sent 1024 of 5064 bytes (20%)\n",
                       false, terminated},
        interruption_t{"IntDuringEraseInShell", SIGINT, "SIGINT", "erasing...\n", true,
                       interrupted},
        interruption_t{"IntDuringBlocksInShell", SIGINT, "SIGINT",
                       "sent 1024 of 5064 bytes (20%)\n", true, interrupted},
        interruption_t{"TermDuringBlocksInShell", SIGTERM, "SIGTERM",
                       "sent 1024 of 5064 bytes (20%)\n", true, terminated},
        interruption_t{"HupDuringErase", SIGHUP, "SIGHUP", "erasing...\n", false, hung_up},
        interruption_t{"HupDuringBlocksInShell", SIGHUP, "SIGHUP",
                       "sent 1024 of 5064 bytes (20%)\n", true, hung_up}),
    [](const auto& info) { return std::string(info.param.name); });

// Started with SIGHUP ignored (nohup): the tool leaves it ignored, and the
// update goes on to its end.
TEST_F(Velnorctl, SignalIgnoredAtTheStartStaysIgnoredDuringAnUpdate) {
    const std::string image = packed_image();
    std::signal(SIGHUP, SIG_IGN); // inherited by the run, as nohup does
    running_t running = start("--sim-pace 20 firmware update --verify " + quoted(image), "");
    std::signal(SIGHUP, SIG_DFL);
    ASSERT_TRUE(read_until(running, "sent 1024 of 5064 bytes (20%)\n")) << running.printed;
    kill(running.pid, SIGHUP);
    const outcome_t result = finish(running);
    EXPECT_EQ(result.exit, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(lines_of(result.out).back(), "firmware now 1.4.0 (verified)") << result.out;
}

TEST_F(Velnorctl, FirmwareStatusAndResetShowTheBoardsUpdate) {
    const std::string image = packed_image();
    const outcome_t result = run("shell", "firmware status\n"
                                          "firmware status --json\n"
                                          "firmware update " +
                                              quoted(image) +
                                              "\n"
                                              "firmware status --json\n"
                                              "firmware reset\n"
                                              "firmware status\n");
    ASSERT_EQ(result.exit, 0) << result.err;
    const auto lines = lines_of(result.out);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0], "idle, 0 bytes received");
    EXPECT_EQ(lines[1], R"({"state":0,"state_name":"idle","bytes_received":0})");
    EXPECT_EQ(lines[lines.size() - 3], R"({"state":4,"state_name":"done","bytes_received":5064})");
    EXPECT_EQ(lines[lines.size() - 2], "idle, 0 bytes received");
    EXPECT_EQ(lines[lines.size() - 1], "idle, 0 bytes received");
}

// ---- Always its own error detail -------------------------------------------

// Odd frequencies above 17.2 MHz: internal synthesis (10 MHz steps divided by
// at most 192) never gives one, so every one is refused.
std::vector<int64_t> refused_frequencies(int64_t first, int count) {
    std::vector<int64_t> frequencies;
    for (int i = 0; i < count; ++i) {
        frequencies.push_back(first + 4 * i);
    }
    return frequencies;
}

TEST_F(Velnorctl, ConcurrentShellsEachShowTheirOwnFailuresDetail) {
    const auto a = refused_frequencies(100000001, 300);
    const auto b = refused_frequencies(100000003, 300);
    auto script = [](const std::vector<int64_t>& frequencies) {
        std::string text;
        for (const int64_t f : frequencies) {
            text += "clock " + std::to_string(f) + "\n";
        }
        return text;
    };
    running_t first = start("shell", script(a), "a");
    running_t second = start("shell", script(b), "b");
    const outcome_t results[] = {finish(first), finish(second)};
    const std::vector<int64_t>* asked[] = {&a, &b};
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(k == 0 ? "first shell" : "second shell");
        EXPECT_EQ(results[k].exit, library_failure);
        const auto lines = lines_of(results[k].err);
        ASSERT_EQ(lines.size(), 2 * asked[k]->size());
        int foreign = 0;
        for (size_t i = 0; i < asked[k]->size(); ++i) {
            const std::string f = std::to_string((*asked[k])[i]);
            EXPECT_EQ(lines[2 * i], "velnorctl: line " + std::to_string(i + 1) +
                                        ": vl_device_set_clock failed: invalid_frequency (-13)");
            if (lines[2 * i + 1].find("Invalid clock frequency: " + f + "Hz.") ==
                std::string::npos) {
                ++foreign;
            }
        }
        EXPECT_EQ(foreign, 0) << "details naming another frequency";
    }
    // Each process logged in a folder of its own, both left for the user.
    EXPECT_EQ(logs().size(), 2u);
}

TEST_F(Velnorctl, LogFolderIsTheProcesssOwnAndGoesAwayWhenNothingFailed) {
    EXPECT_EQ(run("clock --list").exit, 0); // provokes hundreds of refusals, none of them failures
    EXPECT_EQ(run("info").exit, 0);
    EXPECT_TRUE(temporary_is_empty());

    const outcome_t failed = run("clock 123456789");
    ASSERT_EQ(failed.exit, library_failure);
    ASSERT_EQ(logs().size(), 1u);
    const std::string log = logs().front().string();
    EXPECT_EQ(lines_of(failed.err).at(1).rfind(log + ": [", 0), 0u) << failed.err;

    const std::string chosen = file("my logs").string();
    const outcome_t chosen_run = run("--log-dir " + quoted(chosen) + " clock 123456789");
    EXPECT_EQ(chosen_run.exit, library_failure);
    EXPECT_EQ(lines_of(chosen_run.err).at(1).rfind(chosen + "/Velnor.log: [", 0), 0u)
        << chosen_run.err;
    EXPECT_NE(slurp(chosen + "/Velnor.log").find("Invalid clock frequency: 123456789Hz"),
              std::string::npos);

    const outcome_t blocked = run("--log-dir " + quoted(file("in").string()) + " info");
    EXPECT_EQ(blocked.exit, file_error);
    EXPECT_EQ(blocked.err.rfind(
                  "velnorctl: cannot make the log folder '" + file("in").string() + "': ", 0),
              0u)
        << blocked.err;
}

TEST_F(Velnorctl, BrokenTemporaryFolderCostsOnlyTheDetail) {
    const std::string missing =
        "TMPDIR=" + quoted(file("missing").string()) + " '" VELNORCTL_EXE "' ";
    const std::string to_files =
        " >" + quoted(file("out").string()) + " 2>" + quoted(file("err").string());
    int status = std::system((missing + "led on" + to_files).c_str());
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(slurp(file("out")), "on\n");
    status = std::system((missing + "clock 123456789" + to_files).c_str());
    EXPECT_EQ(WEXITSTATUS(status), library_failure);
    // Said first: no folder, so neither a log nor a trace.
    EXPECT_EQ(slurp(file("err")), "velnorctl: warning: the temporary folder '" +
                                      file("missing").string() +
                                      "' does not exist: no log (Velnor.log) is written, nor, "
                                      "with the recording build, a trace; --log-dir DIR names a "
                                      "folder for them\n"
                                      "velnorctl: vl_device_set_clock failed: invalid_frequency "
                                      "(-13)\n"
                                      "Velnor.log: (no line from vl_device_set_clock)\n");
    EXPECT_FALSE(fs::exists(file("missing")));
}

// ---- Output a script and a terminal can trust ------------------------------

TEST_F(Velnorctl, HostileSerialsGiveValidJsonAndHarmlessTables) {
    // Quotes, a backslash, a screen clear, control bytes, a byte that is not
    // UTF-8 and an e acute; then an overlong encoding. Passed in single
    // quotes, so every byte arrives as it stands.
    const std::string hostile = "A\"\\\x1b[2J\x01\x7f\xff\xc3\xa9";
    const std::string overlong = "\xc0\xaf";
    const outcome_t listed =
        run("--sim-board " + quoted(hostile) + " --sim-board " + quoted(overlong) + " list --json");
    ASSERT_EQ(listed.exit, 0) << listed.err;
    const auto doc = nlohmann::json::parse(listed.out); // throws on anything invalid
    ASSERT_EQ(doc["boards"].size(), 2u);
    // Control characters come back exactly; bytes that are not UTF-8 as U+FFFD.
    EXPECT_EQ(doc["boards"][0]["serial"], "A\"\\\x1b[2J\x01\x7f\xef\xbf\xbd\xc3\xa9");
    EXPECT_EQ(doc["boards"][1]["serial"], "\xef\xbf\xbd\xef\xbf\xbd");
    for (const unsigned char c : listed.out) {
        EXPECT_TRUE((c >= 0x20 && c < 0x7f) || c == '\n') << int(c);
    }

    const outcome_t table = run("--sim-board " + quoted(hostile) + " list");
    ASSERT_EQ(table.exit, 0);
    EXPECT_EQ(lines_of(table.out).at(1),
              "0      A\"\\\\x1b[2J\\x01\\x7f\\xff\xc3\xa9  1.3.0     2.4.1   " + path_of(0));

    const std::string title = "\x1b]0;owned\x07";
    const outcome_t info = run("--sim-board " + quoted(title) + " info --json");
    EXPECT_EQ(nlohmann::json::parse(info.out)["serial"], title);
    const outcome_t shown = run("--sim-board " + quoted(title) + " info");
    EXPECT_EQ(lines_of(shown.out).at(1), "serial    \\x1b]0;owned\\x07");
}

TEST_F(Velnorctl, JsonForEveryCommandThatShowsAValue) {
    const std::string image = packed_image();
    const struct {
        const char* arguments;
        const char* document;
    } cases[] = {
        {"clock --json", R"({"mode":0,"mode_name":"internal","frequency_hz":100000000})"},
        {"clock 125M --json", R"({"mode":0,"mode_name":"internal","frequency_hz":125000000})"},
        {"reg read 0x000 --json", R"({"address":0,"value":24})"},
        {"firmware status --json", R"({"state":0,"state_name":"idle","bytes_received":0})"},
        {"clock --near 123456789 --json",
         R"({"frequency_hz":123456789,"producible":false,"below_hz":123125000,"above_hz":123750000})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const outcome_t result = run(c.arguments);
        EXPECT_EQ(result.exit, 0) << result.err;
        EXPECT_EQ(result.out, std::string(c.document) + "\n");
    }
    const outcome_t checked = run("firmware check --json " + quoted(image));
    ASSERT_EQ(checked.exit, 0);
    const auto doc = nlohmann::json::parse(checked.out);
    EXPECT_EQ(doc["image"], image);
    EXPECT_EQ(doc["version"]["text"], "1.4.0");
    EXPECT_EQ(doc["payload_length"], 5000);
}

TEST_F(Velnorctl, FailedWritesToStandardOutputAreAFailure) {
    for (const char* redirect : {">/dev/full", ">&-"}) {
        SCOPED_TRACE(redirect);
        for (const char* command : {"info", "list --json", "reg dump"}) {
            SCOPED_TRACE(command);
            const std::string line = "TMPDIR=" + quoted(temporary().string()) +
                                     " '" VELNORCTL_EXE "' " + command + " " + redirect + " 2>" +
                                     quoted(file("err").string());
            const int status = std::system(line.c_str());
            EXPECT_EQ(WEXITSTATUS(status), file_error);
            EXPECT_EQ(slurp(file("err")), "velnorctl: cannot write to standard output\n");
        }
    }
    EXPECT_FALSE(log_exists());
}

// A reader that goes away during an update (velnorctl ... | head -1): the
// next progress line cannot be written, so the update stops there, the
// board's update is reset and the exit says standard output failed.
TEST_F(Velnorctl, UpdateWhoseReaderGoesAwayResetsTheBoardAndExitsWithFileError) {
    const std::string image = packed_image();
    const std::string reset = "velnorctl: firmware update stopped: cannot write to standard "
                              "output; the board's update was reset (update state idle, 0 bytes "
                              "received)\n";
    {
        SCOPED_TRACE("| head -1");
        const std::string status = file("status").string();
        const std::string line = "{ TMPDIR=" + quoted(temporary().string()) +
                                 " '" VELNORCTL_EXE "' --sim-pace 50 firmware update " +
                                 quoted(image) + " 2>" + quoted(file("err").string()) +
                                 "; echo $? >" + quoted(status) + "; } | head -1 >" +
                                 quoted(file("out").string());
        ASSERT_EQ(std::system(line.c_str()), 0);
        EXPECT_EQ(slurp(status), "4\n");
        EXPECT_EQ(slurp(file("err")), reset);
        EXPECT_EQ(slurp(file("out")).rfind(image + ": firmware 1.4.0, 5000-byte payload", 0), 0u);
    }
    {
        SCOPED_TRACE("pipe closed while the blocks go out");
        running_t running = start("--sim-pace 100 firmware update " + quoted(image), "");
        ASSERT_TRUE(read_until(running, "sent 1024 of 5064 bytes (20%)\n")) << running.printed;
        close(running.out);
        running.out = -1;
        const outcome_t result = finish(running);
        EXPECT_EQ(result.exit, file_error);
        EXPECT_EQ(result.err, reset);
    }
}

TEST_F(Velnorctl, FailedCheckWritesNothingToStandardOutput) {
    const std::string image = packed_image();
    {
        std::fstream f(image, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(64 + 10);
        f.put('\x01');
    }
    for (const char* json : {"", "--json "}) {
        const outcome_t result = run(std::string("firmware check ") + json + quoted(image));
        EXPECT_EQ(result.exit, file_error);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err.rfind("velnorctl: bad image: payload CRC-32 0x", 0), 0u);
    }
}

// ---- Values and words -------------------------------------------------------

struct usage_case_t {
    const char* arguments;
    const char* message; // the whole of standard error
};

class VelnorctlUsage : public Velnorctl, public ::testing::WithParamInterface<usage_case_t> {};

TEST_P(VelnorctlUsage, IsRefusedBeforeAnythingIsSent) {
    std::string arguments = GetParam().arguments;
    const std::string marker = "IMAGE";
    if (arguments.find(marker) != std::string::npos) {
        arguments.replace(arguments.find(marker), marker.size(), quoted(packed_image()));
    }
    std::string expected = GetParam().message;
    const std::string folder = "FOLDER";
    if (arguments.find(folder) != std::string::npos) {
        arguments.replace(arguments.find(folder), folder.size(), quoted(dir_.string()));
        expected.replace(expected.find(folder), folder.size(), dir_.string());
    }
    const outcome_t result = run(arguments);
    const bool file_case = expected.find("is a folder") != std::string::npos ||
                           expected.find("is not a regular file") != std::string::npos;
    EXPECT_EQ(result.exit, file_case ? file_error : usage_error);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, expected);
    EXPECT_FALSE(log_exists());
}

INSTANTIATE_TEST_SUITE_P(
    Values, VelnorctlUsage,
    ::testing::Values(
        usage_case_t{"firmware update --timeout nan IMAGE",
                     "velnorctl: --timeout 'nan' is not a number of seconds from 0 to 3600\n"},
        usage_case_t{"firmware update --timeout -1 IMAGE",
                     "velnorctl: --timeout '-1' is not a number of seconds from 0 to 3600\n"},
        usage_case_t{"firmware update --timeout inf IMAGE",
                     "velnorctl: --timeout 'inf' is not a number of seconds from 0 to 3600\n"},
        usage_case_t{"firmware update --timeout 3601 IMAGE",
                     "velnorctl: --timeout '3601' is not a number of seconds from 0 to 3600\n"},
        usage_case_t{"clock --mode external",
                     "velnorctl: clock --mode needs a frequency: the mode is set together with "
                     "one\n"},
        usage_case_t{"clock 0 --mode external",
                     "velnorctl: external reference 0 Hz is outside what the board accepts, 1 Hz "
                     "to 1 GHz (1 to 1000000000 Hz)\n"},
        usage_case_t{"clock 1000000001 --mode external",
                     "velnorctl: external reference 1000000001 Hz is outside what the board "
                     "accepts, 1 Hz to 1 GHz (1 to 1000000000 Hz)\n"},
        usage_case_t{"reg read 0x233",
                     "velnorctl: register address 0x233 is outside 0x000 to 0x232\n"},
        usage_case_t{"reg write 0x233 1",
                     "velnorctl: register address 0x233 is outside 0x000 to 0x232\n"},
        usage_case_t{"reg write 0x10 0x100",
                     "velnorctl: register value 0x100 is outside 0x00 to 0xff\n"},
        usage_case_t{"reg read 0xZZ",
                     "velnorctl: register address '0xZZ' is not a number from 0x000 to 0x232\n"},
        usage_case_t{"--board -1 info",
                     "velnorctl: --board '-1' is not a board index (0, 1, 2, ...)\n"},
        usage_case_t{"clock 100m",
                     "velnorctl: '100m' reads as millihertz (lower-case m is milli); write M for "
                     "megahertz, as in 100M\n"},
        usage_case_t{"clock -5M",
                     "velnorctl: frequency -5000000 Hz is negative; the board synthesises "
                     "positive frequencies only\n"},
        usage_case_t{"clock --near 100m",
                     "velnorctl: '100m' reads as millihertz (lower-case m is milli); write M for "
                     "megahertz, as in 100M\n"},
        usage_case_t{"clock ab",
                     "velnorctl: 'ab' is not a whole number of hertz (try 100M, 125MHz, 9.375e6 "
                     "or 100000000)\n"},
        usage_case_t{"clock --near Hz",
                     "velnorctl: 'Hz' is not a whole number of hertz (try 100M, 125MHz, 9.375e6 "
                     "or 100000000)\n"},
        usage_case_t{"clock mHz",
                     "velnorctl: 'mHz' is not a whole number of hertz (try 100M, 125MHz, 9.375e6 "
                     "or 100000000)\n"},
        usage_case_t{"bogus", "velnorctl: unknown command 'bogus'; the nearest is 'reg'\n"},
        usage_case_t{"lsit", "velnorctl: unknown command 'lsit'; the nearest is 'list'\n"},
        usage_case_t{"firmware updat IMAGE",
                     "velnorctl: unknown firmware command 'updat'; the nearest is 'update'\n"},
        usage_case_t{"trigger fier",
                     "velnorctl: unknown trigger command 'fier'; the nearest is 'fire'\n"},
        usage_case_t{"firmware",
                     "velnorctl: firmware needs a command: pack, check, update, status, reset\n"},
        usage_case_t{"--sim-fault fn=1 info",
                     "velnorctl: fault 'fn=1' is not fn=N,status=S, fn=N,reply=BYTES or "
                     "call=KIND,value=V (KIND: list_size, list_fetch, create_file, close_handle, "
                     "device_io_control, listen)\n"},
        usage_case_t{"--sim-board 123456789012345678901234567890123 list",
                     "velnorctl: --sim-board '123456789012345678901234567890123' is longer than "
                     "the 32 bytes of a serial\n"},
        usage_case_t{"firmware check FOLDER", "velnorctl: 'FOLDER' is a folder, not a file\n"},
        usage_case_t{"firmware check /dev/zero", "velnorctl: '/dev/zero' is not a regular file\n"},
        usage_case_t{"", "velnorctl: a command is needed: list, info, led, trigger, clock, reg, "
                         "firmware, trace, watch, record, shell\n"},
        usage_case_t{"--serial", "velnorctl: --serial: 1 required TEXT missing\n"
                                 "Run with --help for more information.\n"},
        usage_case_t{"firmware update FOLDER", "velnorctl: 'FOLDER' is a folder, not a file\n"},
        usage_case_t{"firmware pack FOLDER --version 1.0.0 -o /dev/null",
                     "velnorctl: 'FOLDER' is a folder, not a file\n"}));

TEST_F(Velnorctl, ShellNumbersItsLinesAndTakesQuotesAndComments) {
    const outcome_t result = run("shell", "led on   # the LED\n"
                                          "\n"
                                          "led 'off\n"
                                          "bogus\n"
                                          "   # nothing but a comment\n"
                                          "clock 123456789\n"
                                          "led \"blink\"\n"
                                          "shell\n"
                                          "exit\n"
                                          "led off\n");
    EXPECT_EQ(result.exit, usage_error); // the last failure, line 8
    EXPECT_EQ(result.out, "on\nblink\n");
    const auto lines = lines_of(result.err);
    ASSERT_EQ(lines.size(), 5u) << result.err;
    EXPECT_EQ(lines[0], "velnorctl: line 3: unterminated quote");
    EXPECT_EQ(lines[1], "velnorctl: line 4: unknown command 'bogus'; the nearest is 'reg'");
    EXPECT_EQ(lines[2], "velnorctl: line 6: vl_device_set_clock failed: invalid_frequency (-13)");
    EXPECT_EQ(lines[4], "velnorctl: line 8: already in the shell");
}

TEST_F(Velnorctl, MessagesKeepWhatFollowsANulByte) {
    const outcome_t result = run("shell", std::string("led bri\0ght\n", 12));
    EXPECT_EQ(result.exit, usage_error);
    EXPECT_EQ(result.err,
              "velnorctl: line 1: led 'bri\\x00ght' is not one of off, on, blink or a number\n");
}

// ---- Watching boards arrive and leave ----------------------------------------

struct watch_case_t {
    const char* name;
    const char* arguments;
    bool boards_change; // velnorctl_board_changes makes boards come and go in the run
    int signal;         // sent once the lines of out have come; 0: none
    int exit;
    std::string out; // TIME stands for each time stamp
    std::string err; // LOG: [STAMP] for the log file and the time of its line
    double seconds;  // how long the run lasts; 0: not checked
};

void PrintTo(const watch_case_t& c, std::ostream* out) {
    *out << c.name;
}

class VelnorctlWatch : public Velnorctl, public ::testing::WithParamInterface<watch_case_t> {};

// Reads the run's output until it holds count lines (true), for at most ten seconds.
bool read_lines(running_t& running, std::ptrdiff_t count) {
    char buffer[256];
    while (std::count(running.printed.begin(), running.printed.end(), '\n') < count) {
        pollfd ready{running.out, POLLIN, 0};
        const ssize_t got =
            poll(&ready, 1, 10000) == 1 ? read(running.out, buffer, sizeof buffer) : -1;
        if (got <= 0) {
            return false;
        }
        running.printed.append(buffer, static_cast<size_t>(got));
    }
    return true;
}

// Local wall-clock time to the millisecond, as the run should print it.
std::string local_now() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    localtime_r(&now.tv_sec, &local);
    char text[40];
    const size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    std::snprintf(text + length, sizeof text - length, ".%03ld", now.tv_nsec / 1000000);
    return text;
}

// The runs' time zone, 5 h 45 min east of UTC, so that a time printed in
// UTC differs from local time.
struct time_zone_t {
    time_zone_t() {
        setenv("TZ", "XST-5:45", 1);
        tzset();
    }
    ~time_zone_t() {
        unsetenv("TZ");
        tzset();
    }
};

TEST_P(VelnorctlWatch, PrintsEveryEventAsItComesUntilItsEnd) {
    const watch_case_t& c = GetParam();
    const time_zone_t zone;
    const std::string before = local_now();
    const auto started = std::chrono::steady_clock::now();
    if (c.boards_change) {
        setenv("LD_PRELOAD", VELNORCTL_BOARD_CHANGES, 1);
    }
    running_t running = start(c.arguments, "");
    unsetenv("LD_PRELOAD");
    if (c.signal != 0) {
        // The signal comes once the lines have; a run that keeps them to
        // itself is killed after a while.
        const bool came = read_lines(running, std::count(c.out.begin(), c.out.end(), '\n'));
        EXPECT_TRUE(came) << running.printed;
        kill(running.pid, came ? c.signal : SIGKILL);
    }
    const outcome_t result = finish(running);
    const std::chrono::duration<double> lasted = std::chrono::steady_clock::now() - started;
    const std::string after = local_now();

    EXPECT_EQ(result.exit, c.exit);
    const std::regex stamp(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3})");
    for (std::sregex_iterator it(result.out.begin(), result.out.end(), stamp), end; it != end;
         ++it) {
        EXPECT_LE(before, it->str());
        EXPECT_LE(it->str(), after);
    }
    EXPECT_EQ(std::regex_replace(result.out, stamp, "TIME"), c.out);
    EXPECT_EQ(std::regex_replace(result.err, std::regex(R"(/\S+/Velnor\.log: \[[^\]]+\])"),
                                 "LOG: [STAMP]"),
              c.err);
    if (c.seconds > 0) {
        EXPECT_GE(lasted.count(), c.seconds);
        EXPECT_LT(lasted.count(), c.seconds + 0.4);
    }
}

const std::string present_lines = "TIME  arrived  VLN-SIM-0000      " + path_of(0) +
                                  "\n"
                                  "TIME  arrived  VLN-SIM-0001      " +
                                  path_of(1) + "\n";

INSTANTIATE_TEST_SUITE_P(
    Events, VelnorctlWatch,
    ::testing::Values(
        watch_case_t{"PresentBoardsFirst", "--boards 2 watch --present --count 2", false, 0, 0,
                     present_lines, "", 0},
        watch_case_t{"PresentAsJson", "--boards 1 watch --present --json --count 1", false, 0, 0,
                     R"({"time":"TIME","event":"arrived","serial":"VLN-SIM-0000","path":")"
                     R"(\\\\?\\ROOT#VELNOR#0000#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}"})"
                     "\n",
                     "", 0},
        // Board 0 was there before the watch: its serial was never read.
        watch_case_t{"ArrivalAndRemovalsAsJson", "--boards 1 watch --json --count 3", true, 0, 0,
                     R"({"time":"TIME","event":"arrived","serial":"LAB-0007","path":")"
                     R"(\\\\?\\ROOT#VELNOR#0001#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}"})"
                     "\n"
                     R"({"time":"TIME","event":"removed","serial":null,"path":")"
                     R"(\\\\?\\ROOT#VELNOR#0000#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}"})"
                     "\n"
                     R"({"time":"TIME","event":"removed","serial":"LAB-0007","path":")"
                     R"(\\\\?\\ROOT#VELNOR#0001#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}"})"
                     "\n",
                     "", 0},
        watch_case_t{"TimeoutWithoutEvents", "--boards 2 watch --timeout 0.4", false, 0, 0, "", "",
                     0.4},
        watch_case_t{"SigintEndsIt", "--boards 2 watch --present", false, SIGINT, interrupted,
                     present_lines, "", 0},
        watch_case_t{"FailedStart", "--sim-fault call=listen,value=8 watch", false, 0,
                     library_failure, "",
                     "velnorctl: vl_watch_start failed: failed (-5)\n"
                     "LOG: [STAMP] [Velnor] [error] [vl_watch_start] Error: system:8, "
                     "RegisterDeviceNotificationW failed: Not enough memory resources are "
                     "available to process this command.\n",
                     0},
        watch_case_t{"PathsNotListed",
                     "--sim-fault call=list_size,value=0x13 watch --present "
                     "--count 1",
                     false, 0, 0, "TIME  arrived  -                 " + path_of(0) + "\n",
                     "velnorctl: warning: cannot list the boards' interface paths: "
                     "CM_Get_Device_Interface_List_SizeA answered 0x13; the boards' serials are "
                     "not shown\n",
                     0},
        watch_case_t{"ZeroCount", "watch --count 0", false, 0, usage_error, "",
                     "velnorctl: --count '0' is not a number of events (1, 2, 3, ...)\n", 0},
        watch_case_t{"CountNotANumber", "watch --count 2x", false, 0, usage_error, "",
                     "velnorctl: --count '2x' is not a number of events (1, 2, 3, ...)\n", 0},
        watch_case_t{"NegativeTimeout", "watch --timeout -1", false, 0, usage_error, "",
                     "velnorctl: --timeout '-1' is not a number of seconds from 0.001 to "
                     "31536000\n",
                     0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Finding things ----------------------------------------------------------

// The board's synthesis as its manual gives it: a VCO of 1.8 to 2.2 GHz on a
// 10 MHz grid, divided by 2 to 6 and then by 1 to 32, exact in hertz.
std::vector<int64_t> synthesisable() {
    std::set<int64_t> found;
    for (int64_t vco = 1800000000; vco <= 2200000000; vco += 10000000) {
        for (int64_t first = 2; first <= 6; ++first) {
            for (int64_t second = 1; second <= 32; ++second) {
                if (vco % (first * second) == 0) {
                    found.insert(vco / (first * second));
                }
            }
        }
    }
    return {found.begin(), found.end()};
}

TEST_F(Velnorctl, ClockListIsEveryFrequencyTheBoardCanSynthesise) {
    const outcome_t result = run("clock --list --json");
    ASSERT_EQ(result.exit, 0) << result.err;
    const auto listed =
        nlohmann::json::parse(result.out)["frequencies_hz"].get<std::vector<int64_t>>();
    EXPECT_EQ(listed, synthesisable());

    const outcome_t text = run("clock --list");
    const auto lines = lines_of(text.out);
    ASSERT_EQ(lines.size(), listed.size());
    EXPECT_EQ(lines.front(), "9375000  9.375 MHz");
    EXPECT_EQ(lines.back(), "1100000000  1.1 GHz");

    EXPECT_EQ(run("clock --near 123456789").out,
              "123456789 Hz (123.456789 MHz) cannot be produced; nearest: 123125000 Hz "
              "(123.125 MHz) and 123750000 Hz (123.75 MHz)\n");
    EXPECT_EQ(run("clock --near 125M").out, "125000000 Hz (125 MHz) can be produced\n");
    EXPECT_EQ(run("clock --near 1").out,
              "1 Hz (1 Hz) cannot be produced; nearest: 9375000 Hz (9.375 MHz)\n");
    EXPECT_EQ(run("clock --near 2G").out,
              "2000000000 Hz (2 GHz) cannot be produced; nearest: 1100000000 Hz (1.1 GHz)\n");
}

TEST_F(Velnorctl, RegDumpShowsEveryRegister) {
    const outcome_t result = run("shell", "reg write 0x10 0x55\nreg dump\n");
    ASSERT_EQ(result.exit, 0) << result.err;
    const auto lines = lines_of(result.out);
    ASSERT_EQ(lines.size(), 1u + 0x233u);
    EXPECT_EQ(lines[1], "0x000: 0x18");
    EXPECT_EQ(lines[1 + 0x10], "0x010: 0x55");
    EXPECT_EQ(lines.back(), "0x232: 0x00");
}

TEST_F(Velnorctl, VirtualTriggerFiresOnlyWhenArmed) {
    const outcome_t result = run("shell", "trigger fire\ntrigger status arm\ntrigger fire\n"
                                          "trigger status\n");
    ASSERT_EQ(result.exit, 0) << result.err;
    EXPECT_EQ(result.out, "disarmed\narmed\ntriggered\ntriggered\n");
}

TEST_F(Velnorctl, HelpDocumentsTheVirtualOptions) {
    const outcome_t help = run("--help");
    for (const char* option : {"--sim-fault", "--sim-board", "--sim-pace", "--log-dir",
                               "Global options come before the command"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
}

} // namespace
