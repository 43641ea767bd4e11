// velnorctl record: a program run on the recording build, its trace named and
// readable, its exit status passed on; and the warning of a tool that has no
// temporary folder to give the library.
#include "velnorctl_run.h"

#include <gtest/gtest.h>

#include <csignal>
#include <regex>
#include <string>

namespace {

using namespace velnorctl_run;

class VelnorctlRecord : public Velnorctl {};

TEST_F(VelnorctlRecord, RecordsVelnorctlInfoAndNamesATraceThatTraceShowReads) {
    const outcome_t recorded = run("record -- '" VELNORCTL_EXE "' info");
    ASSERT_EQ(recorded.exit, 0) << recorded.err;
    EXPECT_NE(recorded.out.find("serial    VLN-SIM-0000\n"), std::string::npos) << recorded.out;
    // The inner velnorctl makes a log folder of its own inside the one given.
    const std::regex named("Trace: (" + temporary().string() +
                           "/velnorctl-[0-9]+-[0-9a-f]{8}/velnorctl-[0-9]+-[0-9a-f]{8}/"
                           "Velnor-trace-[^/]+\\.pcapng)\n");
    std::smatch trace;
    ASSERT_TRUE(std::regex_match(recorded.err, trace, named)) << recorded.err;
    const outcome_t shown = run("trace show '" + trace[1].str() + "'");
    EXPECT_EQ(shown.exit, 0) << shown.err;
    EXPECT_TRUE(std::regex_search(shown.out, std::regex("^Velnor recording build [0-9.]+, [0-9]+ "
                                                        "records\nboard 0  ")))
        << shown.out;
}

TEST_F(VelnorctlRecord, ExitStatusesAndRefusals) {
    const std::string folder = file("rec").string();
    const std::string no_trace = "velnorctl: no trace in '" + folder +
                                 "': 'sh' made no call to the library, or did not load the "
                                 "recording build\n";
    const std::string warning = "velnorctl: warning: the temporary folder '" +
                                temporary().string() +
                                "' does not exist: no log (Velnor.log) is written, nor, with the "
                                "recording build, a trace; --log-dir DIR names a folder for them\n";
    struct case_t {
        const char* what;
        bool temporary_missing;
        std::string arguments;
        int exit;
        std::string err;
    };
    const case_t cases[] = {
        {"the program's exit code", false, "--log-dir '" + folder + "' record -- sh -c 'exit 7'", 7,
         no_trace},
        {"a signal as a shell gives it", false,
         "--log-dir '" + folder + "' record -- sh -c 'kill -TERM $$'", terminated, no_trace},
        {"SIGXFSZ at its default, as without the tool", false,
         "--log-dir '" + folder + "' record -- sh -c 'kill -XFSZ $$; exit 3'", 128 + SIGXFSZ,
         no_trace},
        {"SIGPIPE at its default, as without the tool", false,
         "--log-dir '" + folder + "' record -- sh -c 'kill -PIPE $$; exit 3'", 128 + SIGPIPE,
         no_trace},
        {"a program that cannot be run", false, "record -- /nonexistent/program", file_error,
         "velnorctl: cannot run '/nonexistent/program': No such file or directory\n"},
        {"no program", false, "record --", usage_error,
         "velnorctl: COMMAND is required\nRun with --help for more information.\n"},
        {"no temporary folder: the commands go on", true, "info", 0, warning},
        {"no temporary folder: nowhere to record", true, "record -- true", file_error,
         warning + "velnorctl: no folder to record in: the temporary folder cannot be used; "
                   "name one with --log-dir DIR\n"},
    };
    for (const case_t& c : cases) {
        if (c.temporary_missing) {
            fs::remove_all(temporary());
        }
        const outcome_t result = run(c.arguments);
        EXPECT_EQ(result.exit, c.exit) << c.what << '\n' << result.err;
        EXPECT_EQ(result.err, c.err) << c.what;
        fs::create_directories(temporary());
    }
}

TEST_F(VelnorctlRecord, ToolWithoutARecordingBuildBesideItSaysWhereItLooked) {
    fs::create_directories(file("bin"));
    fs::copy_file(VELNORCTL_EXE, file("bin/velnorctl"));
    const std::string command = "TMPDIR='" + temporary().string() + "' '" +
                                file("bin/velnorctl").string() + "' record -- true 2>'" +
                                file("err").string() + "'";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), file_error);
    EXPECT_EQ(slurp(file("err")), "velnorctl: cannot record: no recording build of the library "
                                  "beside this velnorctl (looked for " +
                                      (dir_ / "lib/velnor/trace/libvelnor.so.1").string() + ", " +
                                      (dir_ / "lib/trace/libvelnor.so.1").string() + ")\n");
}

} // namespace
