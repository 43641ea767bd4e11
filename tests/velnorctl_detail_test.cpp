// velnorctl's failures and what it says about them: the image's version text
// against its numbers, an update the board will not start, and the library's
// log folder of each run (its own line for every failure, a log that cannot
// be written).
#include "errors.h"
#include "firmware_image.h"
#include "velnorctl_run.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <regex>
#include <set>

#include <sys/stat.h>

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

// ---- A log folder of each run's own ----------------------------------------

class VelnorctlLog : public Velnorctl {
protected:
    // Runs velnorctl as run() does, letting prepare act first with the
    // process id the run will have (as when the system gives out an earlier
    // run's id again).
    outcome_t run_as(const std::string& arguments, const std::function<void(pid_t)>& prepare) {
        std::ofstream(file("in")) << "";
        const std::string command = command_line(arguments, "in") + " >" +
                                    quoted(file("out").string()) + " 2>" +
                                    quoted(file("err").string());
        int go[2];
        EXPECT_EQ(pipe(go), 0);
        const pid_t pid = fork();
        if (pid == 0) {
            char byte = 0;
            close(go[1]);
            if (read(go[0], &byte, 1) == 1) { // sh then execs velnorctl: the same id
                execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            }
            _exit(127);
        }
        close(go[0]);
        prepare(pid);
        EXPECT_EQ(write(go[1], "x", 1), 1);
        close(go[1]);
        int status = 0;
        waitpid(pid, &status, 0);
        outcome_t result;
        result.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = slurp(file("out"));
        result.err = slurp(file("err"));
        return result;
    }

    // The folder an earlier run with this id would have left, with its log.
    fs::path earlier_runs_folder(pid_t pid) {
        const fs::path folder = temporary() / ("velnorctl-" + std::to_string(pid));
        fs::create_directories(folder);
        std::ofstream log(folder / "Velnor.log", std::ios::binary);
        for (int i = 0; i < 40; ++i) {
            log << "[2026-12-01 08:00:00.000] [Velnor] [error] [vl_device_set_clock] Error: "
                   "Velnor:-13, Invalid clock frequency: 99Hz. an earlier run's failure\n";
        }
        return folder;
    }

    // Runs a command under a file-size limit of 0 (SIGXFSZ ignored): every
    // write to a file fails, as on a full disk. Standard error comes
    // through a pipe, standard output goes to /dev/null.
    outcome_t run_unable_to_write_files(const std::string& arguments, const std::string& input) {
        std::ofstream(file("in")) << input;
        const std::string command =
            "ulimit -f 0 && trap '' XFSZ && " + command_line(arguments, "in") + " 2>&1 >/dev/null";
        FILE* pipe = popen(command.c_str(), "r");
        outcome_t result;
        if (pipe == nullptr) {
            ADD_FAILURE() << "popen";
            return result;
        }
        char buffer[4096];
        for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            result.err.append(buffer, got);
        }
        const int status = pclose(pipe);
        result.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return result;
    }
};

TEST_F(VelnorctlLog, ProcessIdGivenOutAgainGetsAFolderOfItsOwnAndLeavesTheEarlierOne) {
    std::vector<fs::path> earlier;
    const auto plant = [&](pid_t pid) { earlier.push_back(earlier_runs_folder(pid)); };
    const outcome_t failed = run_as("clock 123456789", plant);
    ASSERT_EQ(earlier.size(), 1u);
    EXPECT_EQ(failed.exit, library_failure);
    const std::string folder = earlier[0].string() + "-[0-9a-f]{8}";
    const auto lines = lines_of(failed.err);
    ASSERT_EQ(lines.size(), 2u) << failed.err;
    EXPECT_EQ(lines[0], "velnorctl: vl_device_set_clock failed: invalid_frequency (-13)");
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(folder + R"(/Velnor\.log: \[.*\] )"
                                                               R"(\[vl_device_set_clock\] .*)"
                                                               R"(frequency: 123456789Hz\..*)")))
        << lines[1];

    const outcome_t succeeded = run_as("led on", plant);
    EXPECT_EQ(succeeded.exit, 0) << succeeded.err;
    ASSERT_EQ(earlier.size(), 2u);
    // Both earlier runs' logs are whole, and so is the failed run's own.
    for (const fs::path& planted : earlier) {
        EXPECT_EQ(lines_of(slurp(planted / "Velnor.log")).size(), 40u) << planted;
    }
    ASSERT_EQ(logs().size(), 3u);
    size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(temporary())) {
        ++entries;
        const bool is_earlier = entry.path() == earlier[0] || entry.path() == earlier[1];
        EXPECT_TRUE(is_earlier || std::regex_match(entry.path().string(), std::regex(folder)))
            << entry.path();
    }
    EXPECT_EQ(entries, 3u);
}

TEST_F(VelnorctlLog, EveryFailureGetsItsOwnLineAfterAnEarlierLogInTheChosenFolder) {
    const fs::path chosen = file("logs");
    fs::create_directories(chosen);
    {
        std::ofstream stale(chosen / "Velnor.log", std::ios::binary);
        for (int i = 0; i < 40; ++i) {
            stale << "[2026-12-01 08:00:00.000] [Velnor] [error] [vl_device_set_id_led_state] "
                     "Error: Velnor:-9, IOCTL failed: invalid_data (an earlier run)\n";
        }
    }
    std::string script;
    for (int i = 0; i < 100; ++i) {
        script += "led 5\n"; // identical lines, many in one millisecond
    }
    const outcome_t result = run("--log-dir " + quoted(chosen.string()) + " shell", script);
    EXPECT_EQ(result.exit, library_failure);
    // The library emptied the log at the run's first failure: only its lines are left.
    const auto logged = lines_of(slurp(chosen / "Velnor.log"));
    ASSERT_EQ(logged.size(), 100u);
    const auto lines = lines_of(result.err);
    ASSERT_EQ(lines.size(), 200u) << result.err;
    for (size_t i = 0; i < 100; ++i) {
        EXPECT_EQ(lines[2 * i], "velnorctl: line " + std::to_string(i + 1) +
                                    ": vl_device_set_id_led_state failed: invalid_data (-9)");
        EXPECT_EQ(lines[2 * i + 1], (chosen / "Velnor.log").string() + ": " + logged[i]) << i;
    }
}

TEST_F(VelnorctlLog, LogThatCannotBeWrittenIsSaidOnceInTheToolsOwnWords) {
    const std::string script = "led 5\nled 5\nclock 123456789\n";
    const outcome_t usual = run_unable_to_write_files("shell", script);
    EXPECT_EQ(usual.exit, library_failure);
    const auto lines = lines_of(usual.err);
    ASSERT_EQ(lines.size(), 4u) << usual.err;
    EXPECT_EQ(lines[0], "velnorctl: line 1: vl_device_set_id_led_state failed: invalid_data (-9)");
    EXPECT_TRUE(std::regex_match(
        lines[1],
        std::regex("velnorctl: line 1: cannot write the library's log in '" + temporary().string() +
                   "/velnorctl-\\d+-[0-9a-f]{8}': File too large")))
        << lines[1];
    EXPECT_EQ(lines[2], "velnorctl: line 2: vl_device_set_id_led_state failed: invalid_data (-9)");
    EXPECT_EQ(lines[3], "velnorctl: line 3: vl_device_set_clock failed: invalid_frequency (-13)");
    EXPECT_TRUE(temporary_is_empty()); // the folder held nothing, and went away

    const fs::path chosen = file("logs");
    const outcome_t in_chosen =
        run_unable_to_write_files("--log-dir " + quoted(chosen.string()) + " led 5", "");
    EXPECT_EQ(in_chosen.exit, library_failure);
    EXPECT_EQ(in_chosen.err, "velnorctl: vl_device_set_id_led_state failed: invalid_data (-9)\n"
                             "velnorctl: cannot write the library's log in '" +
                                 chosen.string() + "': File too large\n");
    EXPECT_TRUE(fs::is_empty(chosen));
}

TEST_F(VelnorctlLog, RunsOfTheSameMomentGetFoldersOfTheirOwn) {
    // Each failed run keeps its folder; their names differ beyond the process id.
    std::set<std::string> suffixes;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(run("clock 123456789").exit, library_failure);
    }
    const std::regex name(R"(velnorctl-\d+-([0-9a-f]{8}))");
    for (const auto& entry : fs::directory_iterator(temporary())) {
        std::smatch match;
        const std::string folder = entry.path().filename().string();
        ASSERT_TRUE(std::regex_match(folder, match, name)) << folder;
        suffixes.insert(match[1]);
    }
    EXPECT_EQ(suffixes.size(), 3u);
}

// Something other than the library's own file at DIR/Velnor.log, as another
// user can plant in a folder everyone may write in: the tool never blocks on
// it, never reads through it, and says why no line came.
TEST_F(VelnorctlLog, PlantedLogInTheChosenFolderIsNeitherReadNorWaitedOn) {
    const std::string foreign = "[2026-12-01 08:00:00.000] [Velnor] [error] [vl_device_set_clock] "
                                "Error: Velnor:-13, another user's line\n";
    std::ofstream(file("elsewhere.log")) << foreign;
    const std::string not_regular = ", not a regular file, and the library writes only to one";
    const struct {
        const char* name;
        std::function<void(const fs::path&)> plant;
        std::string reason;
    } cases[] = {
        {"fifo", [](const fs::path& log) { ASSERT_EQ(mkfifo(log.c_str(), 0666), 0); },
         "a FIFO" + not_regular},
        {"link to a device", [](const fs::path& log) { fs::create_symlink("/dev/urandom", log); },
         "a link" + not_regular},
        {"link to a file",
         [this](const fs::path& log) { fs::create_symlink(file("elsewhere.log"), log); },
         "a link" + not_regular},
        {"second name",
         [this](const fs::path& log) { fs::create_hard_link(file("elsewhere.log"), log); },
         "a second name of another file, and the library writes only to a file of its own"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path chosen = file(std::string("logs-") + c.name);
        fs::create_directories(chosen);
        c.plant(chosen / "Velnor.log");
        // Bounded: a tool that waits on the FIFO or reads the device is killed.
        const std::string command = "TMPDIR=" + quoted(temporary().string()) +
                                    " timeout -s KILL 30 '" VELNORCTL_EXE "' --log-dir " +
                                    quoted(chosen.string()) + " clock 123456789 </dev/null >" +
                                    quoted(file("out").string()) + " 2>" +
                                    quoted(file("err").string());
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == library_failure) << status;
        EXPECT_EQ(slurp(file("err")),
                  "velnorctl: vl_device_set_clock failed: invalid_frequency (-13)\n"
                  "velnorctl: cannot write the library's log in '" +
                      chosen.string() + "': Velnor.log there is " + c.reason + "\n");
        EXPECT_EQ(slurp(file("elsewhere.log")), foreign);
    }
}

} // namespace
