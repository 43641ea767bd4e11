// velnorctl.exe as a Windows user runs it: started with CreateProcessW, so
// its command line is UTF-16 whatever the ANSI code page, with file names in
// Latin-1 and CJK; its standard output and error go to files (UTF-8 there)
// or, for a reader that goes away, to a pipe. The product's velnorctl.exe
// runs in a folder with the simulation build of Velnor.dll and velnor_sim.dll
// dropped in; the pipe needs the tool's virtual-platform build for its
// --sim-pace.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct outcome_t {
    DWORD exit = 0xFFFFFFFF;
    std::string out;
    std::string err;
};

// A path from the build, as Wine shows the host's files.
fs::path build_path(const char* unix_path) {
    std::string path = std::string("Z:") + unix_path;
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
    return fs::path(path);
}

// The file's text with Windows' line ends (CR LF) read as \n.
std::string slurp(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    std::string lines = text.str();
    for (size_t at; (at = lines.find("\r\n")) != std::string::npos;) {
        lines.erase(at, 1);
    }
    return lines;
}

// The temporary folder the test started with (each test points TMP at a
// folder of its own for the runs it starts).
const fs::path& base_temporary() {
    static const fs::path path = fs::temp_directory_path();
    return path;
}

std::string utf8(const std::wstring& text) {
    return fs::path(text).u8string();
}

// RAII for the handles the runs open.
struct handle_t {
    HANDLE value = INVALID_HANDLE_VALUE;
    handle_t() = default;
    explicit handle_t(HANDLE h) : value(h) {}
    handle_t(const handle_t&) = delete;
    handle_t& operator=(const handle_t&) = delete;
    ~handle_t() { close(); }
    void close() {
        if (value != INVALID_HANDLE_VALUE && value != nullptr) {
            CloseHandle(value);
        }
        value = INVALID_HANDLE_VALUE;
    }
};

handle_t inheritable_file(const fs::path& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return handle_t(CreateFileW(path.wstring().c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

class VelnorctlWindows : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = base_temporary() /
               ("velnorctl_windows_" + std::to_string(GetCurrentProcessId()) + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "tmp");
        fs::create_directories(dir_ / "drop-in");
        const fs::path simulation = build_path(VELNORCTL_VIRTUAL_DIR);
        fs::copy_file(build_path(VELNORCTL_EXE), dir_ / "drop-in" / "velnorctl.exe");
        for (const char* dll : {"Velnor.dll", "velnor_sim.dll"}) {
            fs::copy_file(simulation / dll, dir_ / "drop-in" / dll);
        }
        // The tool makes its log folders in the temporary folder.
        SetEnvironmentVariableW(L"TMP", (dir_ / "tmp").wstring().c_str());
        SetEnvironmentVariableW(L"TEMP", (dir_ / "tmp").wstring().c_str());
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    fs::path drop_in() const { return dir_ / "drop-in" / "velnorctl.exe"; }

    // Starts exe in the test's folder with stdout going to out_handle.
    PROCESS_INFORMATION start(const fs::path& exe, const std::wstring& arguments, HANDLE out_handle,
                              HANDLE err_handle) {
        std::wstring line = L"\"" + exe.wstring() + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out_handle;
        startup.hStdError = err_handle;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                            dir_.wstring().c_str(), &startup, &process)) {
            ADD_FAILURE() << "CreateProcessW failed: " << GetLastError();
        }
        return process;
    }

    static DWORD wait_for(const PROCESS_INFORMATION& process) {
        handle_t thread(process.hThread);
        handle_t handle(process.hProcess);
        WaitForSingleObject(process.hProcess, 60000);
        DWORD exit = 0xFFFFFFFF;
        GetExitCodeProcess(process.hProcess, &exit);
        return exit;
    }

    outcome_t run(const fs::path& exe, const std::wstring& arguments) {
        outcome_t result;
        {
            handle_t out = inheritable_file(dir_ / "out", GENERIC_WRITE, CREATE_ALWAYS);
            handle_t err = inheritable_file(dir_ / "err", GENERIC_WRITE, CREATE_ALWAYS);
            result.exit = wait_for(start(exe, arguments, out.value, err.value));
        }
        result.out = slurp(dir_ / "out");
        result.err = slurp(dir_ / "err");
        return result;
    }

    fs::path dir_;
};

// Every step a user takes with a file of that name: the payload read, the
// image written, checked and sent, the log folder made and named.
TEST_F(VelnorctlWindows, FileNamesInAnyScriptArriveWhole) {
    for (const std::wstring name : {L"\u00dcbung", L"\u8a66\u9a13"}) {
        SCOPED_TRACE(utf8(name));
        const std::wstring payload = L"p-" + name + L".bin";
        const std::wstring image = L"fw-" + name + L".vlfw";
        std::ofstream(dir_ / payload, std::ios::binary) << std::string(3000, 'x');

        const outcome_t pack =
            run(drop_in(), L"firmware pack " + payload + L" --version 1.4.0 -o " + image);
        EXPECT_EQ(pack.exit, 0u) << pack.err;
        EXPECT_TRUE(fs::is_regular_file(dir_ / image));
        const std::string described =
            utf8(image) + ": firmware 1.4.0, 3000-byte payload, CRC-32 0x";
        EXPECT_EQ(pack.out.rfind(described, 0), 0u) << pack.out;

        const outcome_t check = run(drop_in(), L"firmware check " + image);
        EXPECT_EQ(check.exit, 0u) << check.err;
        EXPECT_EQ(check.out, pack.out);

        const outcome_t update = run(drop_in(), L"firmware update --verify " + image);
        EXPECT_EQ(update.exit, 0u) << update.err;
        EXPECT_EQ(update.out.rfind(pack.out + "erasing...\n", 0), 0u) << update.out;
        EXPECT_NE(update.out.find("\nfirmware now 1.4.0 (verified)\n"), std::string::npos)
            << update.out;

        // No board 5: the failed open is logged in the folder asked for.
        const std::wstring logs = L"logs-" + name;
        const outcome_t failed = run(drop_in(), L"--log-dir " + logs + L" --board 5 info");
        EXPECT_EQ(failed.exit, 3u) << failed.err;
        EXPECT_TRUE(fs::is_regular_file(dir_ / logs / L"Velnor.log"));
        EXPECT_NE(failed.err.find("\\" + utf8(logs) + "\\Velnor.log: "), std::string::npos)
            << failed.err;
    }
}

// A reader that goes away during an update: the update stops at the next
// progress line, the board's update is reset, and the exit code is 4.
TEST_F(VelnorctlWindows, UpdateWhoseReaderGoesAwayResetsTheBoard) {
    std::ofstream(dir_ / "p.bin", std::ios::binary) << std::string(5000, 'x');
    const fs::path virtual_tool = build_path(VELNORCTL_VIRTUAL_DIR) / "velnorctl.exe";
    ASSERT_EQ(run(virtual_tool, L"firmware pack p.bin --version 1.4.0 -o fw.vlfw").exit, 0u);

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read_end = INVALID_HANDLE_VALUE;
    HANDLE write_end = INVALID_HANDLE_VALUE;
    ASSERT_TRUE(CreatePipe(&read_end, &write_end, &inherit, 0));
    handle_t reader(read_end);
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    PROCESS_INFORMATION process{};
    {
        handle_t writer(write_end);
        handle_t err = inheritable_file(dir_ / "err", GENERIC_WRITE, CREATE_ALWAYS);
        process =
            start(virtual_tool, L"--sim-pace 100 firmware update fw.vlfw", writer.value, err.value);
    }
    std::string printed;
    const std::string awaited = "sent 1024 of 5064 bytes (20%)";
    char buffer[256];
    DWORD got = 0;
    while (printed.find(awaited) == std::string::npos &&
           ReadFile(reader.value, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        printed.append(buffer, got);
    }
    EXPECT_NE(printed.find(awaited), std::string::npos) << printed;
    reader.close();
    EXPECT_EQ(wait_for(process), 4u);
    EXPECT_EQ(slurp(dir_ / "err"),
              "velnorctl: firmware update stopped: cannot write to standard output; the board's "
              "update was reset (update state idle, 0 bytes received)\n");
}

// A temporary folder so deep that the log in the run's folder would pass
// MAX_PATH: the library could not write there, and the failure says so.
TEST_F(VelnorctlWindows, LogPathTooLongForTheLibraryIsSaid) {
    fs::path deep = dir_ / "tmp";
    while (deep.native().size() < 240) {
        deep /= std::wstring(std::min<size_t>(40, 240 - deep.native().size()), L'd');
    }
    fs::create_directories(deep);
    SetEnvironmentVariableW(L"TMP", deep.wstring().c_str());
    SetEnvironmentVariableW(L"TEMP", deep.wstring().c_str());
    const outcome_t failed = run(drop_in(), L"clock 123456789");
    EXPECT_EQ(failed.exit, 1u);
    std::smatch folder;
    const std::string shown = "velnorctl: vl_device_set_clock failed: invalid_frequency \\(-13\\)\n"
                              "velnorctl: cannot write the library's log in '(.*)': the log's "
                              "path would be (\\d+) characters long, more than the 259 the "
                              "system lets the library use\n";
    ASSERT_TRUE(std::regex_match(failed.err, folder, std::regex(shown))) << failed.err;
    // The run's own folder in the deep one, and its length with "\Velnor.log".
    const fs::path run_folder = fs::u8path(folder[1].str());
    EXPECT_EQ(run_folder.parent_path(), deep);
    EXPECT_EQ(folder[2].str(), std::to_string(run_folder.native().size() + 11));
}

// The product's tool says what it works on: the simulation when the
// Velnor.dll beside it is the simulation build, real boards otherwise.
TEST_F(VelnorctlWindows, VersionNamesTheLibraryItLoaded) {
    const std::string version = "velnorctl " VELNOR_VERSION " for ";
    EXPECT_EQ(run(drop_in(), L"--version").out,
              version + "the virtual platform (the simulation build of Velnor.dll: virtual "
                        "boards, no hardware)\n");
    fs::create_directories(dir_ / "product");
    fs::copy_file(build_path(VELNORCTL_EXE), dir_ / "product" / "velnorctl.exe");
    fs::copy_file(build_path(VELNOR_PRODUCT_DLL), dir_ / "product" / "Velnor.dll");
    EXPECT_EQ(run(dir_ / "product" / "velnorctl.exe", L"--version").out,
              version + "real boards (through the board's Windows driver)\n");
}

// A made-up cfgmgr32.dll beside the product's tool, as in a download folder,
// with the native DLL preferred (ctest sets WINEDLLOVERRIDES=cfgmgr32=n,b
// for this suite: Wine reads it when a process starts, from the Unix
// environment). The tool must run as from a folder without it: imported or
// looked for there, the planted DLL's three made-up boards would be listed
// (by the library too, which would find the module already loaded) and the
// first of them fail to open.
TEST_F(VelnorctlWindows, PlantedConfigurationManagerChangesNothing) {
#ifndef VELNOR_PLANTED_CFGMGR32
    GTEST_SKIP() << "the planted cfgmgr32.dll is built with the driver (VELNOR_BUILD_DRIVER)";
#else
    wchar_t overrides[64] = {};
    GetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides, 64);
    ASSERT_EQ(std::wstring(overrides), L"cfgmgr32=n,b");
    std::vector<outcome_t> runs;
    for (const char* folder_name : {"clean", "downloads"}) {
        const fs::path folder = dir_ / folder_name;
        fs::create_directories(folder);
        fs::copy_file(build_path(VELNORCTL_EXE), folder / "velnorctl.exe");
        fs::copy_file(build_path(VELNOR_PRODUCT_DLL), folder / "Velnor.dll");
        if (folder_name == std::string("downloads")) {
            fs::copy_file(build_path(VELNOR_PLANTED_CFGMGR32), folder / "cfgmgr32.dll");
        }
        runs.push_back(run(folder / "velnorctl.exe", L"list --json"));
        // The log line's folder and time stamp differ from run to run.
        runs.back().err = std::regex_replace(
            runs.back().err, std::regex(R"([^\n]*Velnor\.log: \[[^\]]*\])"), "<log>");
    }
    EXPECT_EQ(runs[1].exit, runs[0].exit);
    EXPECT_EQ(runs[1].out, runs[0].out);
    EXPECT_EQ(runs[1].err, runs[0].err);
#endif
}

} // namespace
