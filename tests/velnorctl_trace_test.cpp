// velnorctl's traces: sessions recorded through the recording build of the
// library (swapped in by LD_LIBRARY_PATH), shown by `trace show` and replayed
// by --sim-replay, which gives the recorded outputs or says where a run left
// the trace.
#include "velnorctl_run.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

namespace {

using namespace velnorctl_run;

const std::string board0 = "\\\\?\\ROOT#VELNOR#0000#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}";
const std::string shell_session = "led blink\nled 7\nreg read 0x230\n";

class VelnorctlTrace : public Velnorctl {
protected:
    // Runs velnorctl on the recording build and keeps its trace as name.
    outcome_t record(const std::string& arguments, const std::string& input,
                     const std::string& name) {
        setenv("LD_LIBRARY_PATH", VELNOR_TRACE_LIB_DIR, 1);
        const outcome_t result = run(arguments, input);
        unsetenv("LD_LIBRARY_PATH");
        std::vector<fs::path> traces;
        for (const auto& entry : fs::recursive_directory_iterator(temporary())) {
            if (entry.path().extension() == ".pcapng") {
                traces.push_back(entry.path());
            }
        }
        EXPECT_EQ(traces.size(), 1u);
        if (!traces.empty()) {
            fs::rename(traces.front(), file(name));
        }
        fs::remove_all(temporary());
        fs::create_directories(temporary());
        return result;
    }

    std::string recorded_shell() {
        const outcome_t recorded = record("--boards 2 shell", shell_session, "shell.pcapng");
        EXPECT_EQ(recorded.exit, library_failure) << recorded.err; // led 7: invalid_data
        return file("shell.pcapng").string();
    }
};

// A table row split at its column gaps (two spaces or more).
std::vector<std::string> cells(const std::string& line) {
    static const std::regex gap(" {2,}");
    return {std::sregex_token_iterator(line.begin(), line.end(), gap, -1),
            std::sregex_token_iterator()};
}

TEST_F(VelnorctlTrace, ShowGivesOneLinePerRecordInTextAndJson) {
    const std::string trace = recorded_shell();
    const outcome_t shown = run("trace show '" + trace + "'");
    ASSERT_EQ(shown.exit, 0) << shown.err;
    EXPECT_EQ(shown.err, "");
    const std::vector<std::string> lines = lines_of(shown.out);
    ASSERT_EQ(lines.size(), 11u) << shown.out; // summary, board, header, 8 records
    EXPECT_EQ(std::regex_replace(lines[0], std::regex("build [0-9.]+"), "build V"),
              "Velnor recording build V, 8 records");
    EXPECT_EQ(lines[1], "board 0  " + board0);
    // Columns: SEQ TIME THREAD CALL BOARD REQUEST INPUT RESULT IN OUT; time and
    // thread differ between runs and are checked for their form.
    const std::vector<std::vector<std::string>> expected = {
        {"SEQ", "TIME", "THREAD", "CALL", "BOARD", "REQUEST", "INPUT", "RESULT", "IN", "OUT"},
        {"1", "", "", "CM_Get_Device_Interface_List_SizeA", "-", "-", "-",
         "CR_SUCCESS, 121 characters", "16", "0"},
        {"2", "", "", "CM_Get_Device_Interface_ListW", "-", "-", "121 characters", "CR_SUCCESS",
         "16", "242"},
        {"3", "", "", "CreateFileW", "0", "-", "-", "handle 0x4", "118", "0"},
        {"4", "", "", "DeviceIoControl", "0", "set_led", "blink", "success (0)", "4", "4"},
        {"5", "", "", "DeviceIoControl", "0", "get_led", "-", "success (0)", "0", "8"},
        {"6", "", "", "DeviceIoControl", "0", "set_led", "7", "invalid_data (-9)", "4", "4"},
        {"7", "", "", "DeviceIoControl", "0", "reg_read", "0x230", "success (0)", "4", "5"},
        {"8", "", "", "CloseHandle", "0", "-", "-", "closed", "0", "0"},
    };
    for (size_t i = 0; i < expected.size(); ++i) {
        std::vector<std::string> row = cells(lines[2 + i]);
        ASSERT_EQ(row.size(), 10u) << lines[2 + i];
        if (i > 0) {
            EXPECT_TRUE(std::regex_match(row[1], std::regex("0\\.[0-9]{9}"))) << row[1];
            EXPECT_TRUE(std::regex_match(row[2], std::regex("[1-9][0-9]*"))) << row[2];
            row[1] = row[2] = "";
        }
        EXPECT_EQ(row, expected[i]);
    }

    const outcome_t as_json = run("trace show --json '" + trace + "'");
    ASSERT_EQ(as_json.exit, 0) << as_json.err;
    const nlohmann::json doc = nlohmann::json::parse(as_json.out);
    EXPECT_EQ(doc["boards"], nlohmann::json::array({board0}));
    EXPECT_TRUE(doc["damage"].is_null());
    ASSERT_EQ(doc["records"].size(), 8u);
    nlohmann::json refused = doc["records"][5];
    EXPECT_TRUE(refused["time_ns"].is_number_unsigned());
    refused.erase("time_ns");
    refused.erase("thread");
    const nlohmann::json expected_refused = {{"sequence", 6},
                                             {"call", "DeviceIoControl"},
                                             {"board", 0},
                                             {"request", "set_led"},
                                             {"control_code", 0x222020},
                                             {"input", "7"},
                                             {"result", 1},
                                             {"result_text", "invalid_data (-9)"},
                                             {"status", -9},
                                             {"last_error", 0},
                                             {"in_bytes", 4},
                                             {"out_bytes", 4}};
    EXPECT_EQ(refused, expected_refused);
    EXPECT_TRUE(doc["records"][0]["board"].is_null());
    EXPECT_TRUE(doc["records"][0]["input"].is_null());
}

TEST_F(VelnorctlTrace, ShowReportsACutShortTraceAndRefusesWhatIsNoTrace) {
    const std::string trace = recorded_shell();
    const std::string whole = slurp(trace);
    // The last block's length closes the file; the cut falls inside that block.
    const auto tail = reinterpret_cast<const unsigned char*>(whole.data() + whole.size() - 4);
    const size_t last_block = tail[0] | (tail[1] << 8) | (tail[2] << 16) | (tail[3] << 24);
    std::ofstream(file("cut.pcapng"), std::ios::binary) << whole.substr(0, whole.size() - 10);
    std::ofstream(file("text.pcapng")) << "not a trace\n";
    const struct {
        std::string file;
        size_t records_shown;
        std::string err;
    } cases[] = {
        {file("cut.pcapng").string(), 7,
         "velnorctl: '" + file("cut.pcapng").string() + "' is damaged after record 7: a block " +
             "cut short at byte " + std::to_string(whole.size() - last_block) + "\n"},
        {file("text.pcapng").string(), 0,
         "velnorctl: '" + file("text.pcapng").string() +
             "' is not a Velnor trace: not a pcapng file\n"},
        {file("none.pcapng").string(), 0,
         "velnorctl: trace '" + file("none.pcapng").string() +
             "' refused: cannot open it: No such file or directory\n"},
        {temporary().string(), 0,
         "velnorctl: trace '" + temporary().string() +
             "' refused: is a folder, not a trace file\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const outcome_t shown = run("trace show '" + c.file + "'");
        EXPECT_EQ(shown.exit, file_error);
        EXPECT_EQ(shown.err, c.err);
        const size_t lines = lines_of(shown.out).size();
        EXPECT_EQ(lines, c.records_shown == 0 ? 0 : c.records_shown + 3) << shown.out;
    }
    const outcome_t as_json = run("trace show --json '" + file("cut.pcapng").string() + "'");
    EXPECT_EQ(as_json.exit, file_error);
    const nlohmann::json doc = nlohmann::json::parse(as_json.out);
    EXPECT_EQ(doc["records"].size(), 7u);
    EXPECT_EQ(doc["damage"],
              "a block cut short at byte " + std::to_string(whole.size() - last_block));
}

TEST_F(VelnorctlTrace, ReplayGivesTheRecordedOutputsOrSaysWhereTheRunLeftTheTrace) {
    const std::string shell = recorded_shell();
    const std::string shell_out = "blink\n0x230: 0x00\n";
    const outcome_t list = record("--boards 2 list", "", "list.pcapng");
    const outcome_t info = record("--boards 2 info", "", "info.pcapng");
    ASSERT_EQ(list.exit, 0);
    ASSERT_EQ(info.exit, 0);
    ASSERT_NE(list.out.find(board0), std::string::npos); // the paths column is there
    const std::string left = "velnorctl: the run left the trace: ";
    // The recording thread, as `trace show` gives it.
    const std::string thread = std::to_string(
        nlohmann::json::parse(run("trace show --json '" + shell + "'").out)["records"][0]["thread"]
            .get<unsigned>());
    const struct {
        std::string arguments;
        std::string input;
        int exit;
        std::string out;
        std::string last_err_line; // empty: the run stayed on the trace
    } cases[] = {
        {"--sim-replay '" + file("list.pcapng").string() + "' list", "", 0, list.out, ""},
        {"--sim-replay '" + file("info.pcapng").string() + "' info", "", 0, info.out, ""},
        // The session's refused LED value is replayed too: the shell's exit is the recorded 1.
        {"--sim-replay '" + shell + "' shell", shell_session, library_failure, shell_out, ""},
        {"--sim-replay '" + shell + "' shell", "led on\n", 6, "",
         left + "board 0, handle of thread " + thread +
             ": expected record 4, DeviceIoControl set_led blink, reply capacity 4; came "
             "DeviceIoControl set_led on, reply capacity 4"},
        // A run that stops before the recorded one did has not replayed it.
        {"--sim-replay '" + shell + "' shell", "", 6, "",
         "velnorctl: the run ended with 8 records of the trace left; the next is record 1, "
         "CM_Get_Device_Interface_List_SizeA (configuration manager, thread " +
             thread + ")"},
        {"--sim-replay '" + file("info.pcapng").string() + "' list", "", 6, "",
         left + "configuration manager: the trace has no record left; came "
                "CM_Get_Device_Interface_List_SizeA"},
        {"--sim-replay '" + file("none.pcapng").string() + "' info", "", file_error, "",
         "velnorctl: trace " + file("none.pcapng").string() +
             " refused: cannot open it: No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments + " <<< " + c.input);
        const outcome_t replayed = run(c.arguments, c.input);
        EXPECT_EQ(replayed.exit, c.exit) << replayed.err;
        EXPECT_EQ(replayed.out, c.out);
        const std::vector<std::string> err = lines_of(replayed.err);
        if (c.last_err_line.empty()) {
            EXPECT_EQ(replayed.err.find("left the trace"), std::string::npos) << replayed.err;
        } else {
            ASSERT_FALSE(err.empty());
            EXPECT_EQ(err.back(), c.last_err_line);
        }
    }
}

} // namespace
