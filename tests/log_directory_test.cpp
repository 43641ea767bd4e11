// The log lands in the temporary directory whatever its name. Each case runs
// in a fresh child process started with its temporary directory (TMP and TEMP
// on Windows, TMPDIR elsewhere) naming a folder made for it; the child fails
// twice and reports its code pages and the log context's narrow path. The
// expectations are literal bytes: Windows-1252 and OEM 437 under Wine with
// LANG=C.UTF-8, the UTF-8 name itself on Linux.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr const char* eol = "\r\n";
constexpr const char* separator = "\\";
constexpr const char* file_suffix = "\\/Velnor.log"; // the system's trailing backslash, then "/"
constexpr const char* exe_suffix = ".exe";
#else
constexpr const char* eol = "\n";
constexpr const char* separator = "/";
constexpr const char* file_suffix = "/Velnor.log";
constexpr const char* exe_suffix = "";
#endif

struct name_case_t {
    const char* label;
    const char* utf8; // the folder's name
    int repeat;       // the name is utf8 written this many times
    const char* ansi; // its bytes in Windows-1252; null when that code page cannot hold it
    const char* oem;  // its bytes in OEM 437; null when that code page cannot hold it
};

const name_case_t name_cases[] = {
    {"Ascii", "velnor logs", 1, "velnor logs", "velnor logs"},
    {"GermanUmlauts", "Übung Größe", 1,
     "\xDC"
     "bung Gr\xF6\xDF"
     "e",
     "\x9A"
     "bung Gr\x94\xE1"
     "e"},
    {"FrenchAccents", "café naïve", 1, "caf\xE9 na\xEFve", "caf\x82 na\x8Bve"},
    {"Cyrillic", "Проверка", 1, nullptr, nullptr},
    {"Japanese", "試験", 1, nullptr, nullptr},
    // Letters the code pages have only look-alikes for ("best fit" c and s).
    {"LookAlikes", "Čeština Ĉu", 1, nullptr, nullptr},
    // With the folders above it, a directory text of more than 200 characters.
    {"LongPath", "Größe-", 30,
     "Gr\xF6\xDF"
     "e-",
     "Gr\x94\xE1"
     "e-"},
};

std::string repeated(const char* text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) {
        result += text;
    }
    return result;
}

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The child's report: "key value" lines.
std::map<std::string, std::string> read_report(const fs::path& path) {
    std::map<std::string, std::string> report;
    std::istringstream lines(read_file(path));
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t blank = line.find(' ');
        if (blank != std::string::npos) {
            report[line.substr(0, blank)] = line.substr(blank + 1);
        }
    }
    return report;
}

// Every file and folder under dir, as UTF-8 paths relative to it.
std::set<std::string> listing(const fs::path& dir) {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir)) {
        names.insert(fs::relative(entry.path(), dir).generic_u8string());
    }
    return names;
}

fs::path own_directory() {
#ifdef _WIN32
    wchar_t buffer[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    return fs::path(buffer).parent_path();
#else
    return fs::read_symlink("/proc/self/exe").parent_path();
#endif
}

// Runs program (beside this test) with the given temporary directory and
// arguments, its standard output and error going to files. Returns its exit code.
int run_child(const std::string& program, const fs::path& temp, const fs::path& report,
              const std::string& mode, const fs::path& out, const fs::path& err) {
    const fs::path exe = own_directory() / (program + exe_suffix);
#ifdef _WIN32
    // The child inherits TMP and TEMP; this process gets its own back after.
    wchar_t saved_tmp[MAX_PATH + 1] = {}, saved_temp[MAX_PATH + 1] = {};
    const bool had_tmp = GetEnvironmentVariableW(L"TMP", saved_tmp, MAX_PATH + 1) != 0;
    const bool had_temp = GetEnvironmentVariableW(L"TEMP", saved_temp, MAX_PATH + 1) != 0;
    SetEnvironmentVariableW(L"TMP", temp.c_str());
    SetEnvironmentVariableW(L"TEMP", temp.c_str());
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out_handle = CreateFileW(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                    CREATE_ALWAYS, 0, nullptr);
    HANDLE err_handle = CreateFileW(err.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                    CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = INVALID_HANDLE_VALUE;
    startup.hStdOutput = out_handle;
    startup.hStdError = err_handle;
    std::wstring command =
        L"\"" + exe.native() + L"\" \"" + report.native() + L"\" " + fs::path(mode).native();
    PROCESS_INFORMATION process{};
    DWORD code = 1000;
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(out_handle);
    CloseHandle(err_handle);
    SetEnvironmentVariableW(L"TMP", had_tmp ? saved_tmp : nullptr);
    SetEnvironmentVariableW(L"TEMP", had_temp ? saved_temp : nullptr);
    return static_cast<int>(code);
#else
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("TMPDIR", temp.c_str(), 1);
        if (std::freopen(out.c_str(), "wb", stdout) == nullptr ||
            std::freopen(err.c_str(), "wb", stderr) == nullptr) {
            _exit(126);
        }
        execl(exe.c_str(), exe.c_str(), report.c_str(), mode.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000;
#endif
}

class LogDirectory : public testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = fs::temp_directory_path() / ("velnor-log-names-" + std::to_string(
#ifdef _WIN32
                                                                       GetCurrentProcessId()
#else
                                                                       getpid()
#endif
                                                                           ));
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    // A fresh parent folder for one case.
    static fs::path new_parent() {
        static int count = 0;
        const fs::path parent = root_ / ("case-" + std::to_string(++count));
        fs::create_directory(parent);
        return parent;
    }

    // The parent's own text: ASCII, so any code page writes it the same way.
    static std::string ascii_text(const fs::path& path) {
        const std::string text = path.u8string();
        for (unsigned char c : text) {
            if (c >= 0x80) {
                ADD_FAILURE() << "the test's own folder is not ASCII: " << text;
            }
        }
        return text;
    }

    struct outcome_t {
        std::map<std::string, std::string> report;
        std::string out;
        std::string err;
    };

    static outcome_t run(const std::string& program, const fs::path& temp,
                         const std::string& mode) {
        const fs::path report = root_ / "report.txt";
        const fs::path out = root_ / "stdout.txt";
        const fs::path err = root_ / "stderr.txt";
        fs::remove(report);
        EXPECT_EQ(run_child(program, temp, report, mode, out, err), 0);
        return outcome_t{read_report(report), read_file(out), read_file(err)};
    }

    // The two lines the child's failures write, each whole, in this order.
    static void expect_the_two_lines(const fs::path& file) {
        const std::string bytes = read_file(file);
        const std::regex line(
            R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\] \[Velnor\] \[error\] ([^\r\n]*))");
        const std::vector<std::string> expected = {
            "[vl_get_library_version] Error: Velnor:-4, version is null: null_parameter",
            "[vl_device_open] Error: Velnor:-4, handle is null: null_parameter"};
        std::size_t start = 0;
        for (const std::string& text : expected) {
            const std::size_t end = bytes.find(eol, start);
            ASSERT_NE(end, std::string::npos) << hex(bytes);
            const std::string one = bytes.substr(start, end - start);
            std::smatch match;
            ASSERT_TRUE(std::regex_match(one, match, line)) << one;
            EXPECT_EQ(match[1], text);
            start = end + std::strlen(eol);
        }
        EXPECT_EQ(start, bytes.size()) << "bytes after the second line: " << bytes.substr(start);
    }

    static fs::path root_;
};

fs::path LogDirectory::root_;

struct run_case_t {
    const name_case_t* name;
    const char* mode; // "ansi", "oem" or "utf8" (Windows); "ansi" elsewhere
};

std::vector<run_case_t> run_cases() {
    std::vector<run_case_t> cases;
    for (const name_case_t& name : name_cases) {
        cases.push_back({&name, "ansi"});
    }
#ifdef _WIN32
    cases.push_back({&name_cases[1], "oem"});
    cases.push_back({&name_cases[2], "oem"});
    cases.push_back({&name_cases[1], "utf8"});
    cases.push_back({&name_cases[3], "utf8"});
#endif
    return cases;
}

class LogDirectoryName : public LogDirectory, public testing::WithParamInterface<run_case_t> {};

TEST_P(LogDirectoryName, LineLandsInThatDirectoryAndNothingElseAppears) {
    const name_case_t& c = *GetParam().name;
    const std::string mode = GetParam().mode;
    const fs::path parent = new_parent();
    const std::string name = repeated(c.utf8, c.repeat);
    const fs::path dir = parent / fs::u8path(name);
    fs::create_directory(dir);
    const std::set<std::string> before = listing(parent);

    const outcome_t outcome = run("log_directory_child", dir, mode);

    std::set<std::string> expected_listing = before;
    expected_listing.insert(name + "/Velnor.log");
    EXPECT_EQ(listing(parent), expected_listing);
    EXPECT_EQ(outcome.report.at("results"), "-4 -4");
    EXPECT_EQ(outcome.out, "");
    expect_the_two_lines(dir / "Velnor.log");

    // The narrow path: the directory in the file functions' code page, or,
    // where that code page cannot hold the name, in UTF-8.
    std::string narrow = name;
#ifdef _WIN32
    std::cout << "[ code pages ] ANSI " << outcome.report.at("acp") << ", OEM "
              << outcome.report.at("oemcp") << ", C runtime " << outcome.report.at("crt_code_page")
              << ", file functions "
              << (outcome.report.at("file_apis_ansi") == "1" ? "ANSI" : "OEM") << "\n";
    ASSERT_EQ(outcome.report.at("acp"), "1252") << "run under Wine with LANG=C.UTF-8";
    ASSERT_EQ(outcome.report.at("oemcp"), "437") << "run under Wine with LANG=C.UTF-8";
    if (mode == "oem") {
        ASSERT_EQ(outcome.report.at("file_apis_ansi"), "0");
        narrow = c.oem != nullptr ? repeated(c.oem, c.repeat) : name;
    } else if (mode == "utf8") {
        if (outcome.report.at("crt_code_page") != "65001") {
            GTEST_SKIP() << "this C runtime has no UTF-8 locale (code page "
                         << outcome.report.at("crt_code_page") << ")";
        }
    } else {
        ASSERT_EQ(outcome.report.at("file_apis_ansi"), "1");
        narrow = c.ansi != nullptr ? repeated(c.ansi, c.repeat) : name;
    }
#endif
    const std::string expected_path = ascii_text(parent) + separator + narrow + file_suffix;
    EXPECT_GT(expected_path.size() - std::strlen(file_suffix), c.repeat > 1 ? 200u : 0u);
    EXPECT_EQ(outcome.report.at("log_path"), expected_path);
}

INSTANTIATE_TEST_SUITE_P(Names, LogDirectoryName, testing::ValuesIn(run_cases()),
                         [](const testing::TestParamInfo<run_case_t>& info) {
                             return std::string(info.param.name->label) + "_" + info.param.mode;
                         });

// A temporary directory that does not exist: both calls still return their own
// code, no log context is built, and no folder is made.
TEST_F(LogDirectory, MissingDirectoryMakesNothing) {
    const fs::path parent = new_parent();
    const fs::path dir = parent / fs::u8path("Übung Größe") / "folder";
    const outcome_t outcome = run("log_directory_child", dir, "ansi");
    EXPECT_EQ(outcome.report.at("results"), "-4 -4");
    EXPECT_EQ(outcome.report.at("log_path"), "none");
    EXPECT_EQ(outcome.out, "");
    EXPECT_TRUE(listing(parent).empty());
}

#ifdef _WIN32
// The product DLL itself, for a name the ANSI code page holds and one it cannot.
TEST_F(LogDirectory, ProductLibraryLogsUnderEitherKindOfName) {
    for (const name_case_t* c : {&name_cases[1], &name_cases[4]}) {
        const fs::path parent = new_parent();
        const fs::path dir = parent / fs::u8path(c->utf8);
        fs::create_directory(dir);
        const outcome_t outcome = run("log_directory_child_dll", dir, "ansi");
        EXPECT_EQ(outcome.report.at("results"), "-4 -4");
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(listing(parent),
                  (std::set<std::string>{c->utf8, std::string(c->utf8) + "/Velnor.log"}));
        expect_the_two_lines(dir / "Velnor.log");
    }
}
#else
// Names are bytes on Linux: a name that is not UTF-8 at all is kept byte for byte.
TEST_F(LogDirectory, NonUtf8BytesAreKeptAsTheyAre) {
    const fs::path parent = new_parent();
    const std::string name = "\xDC"
                             "bung";
    const fs::path dir = parent / name;
    fs::create_directory(dir);
    const outcome_t outcome = run("log_directory_child", dir, "ansi");
    EXPECT_EQ(outcome.report.at("log_path"), parent.native() + "/" + name + "/Velnor.log");
    expect_the_two_lines(dir / "Velnor.log");
    EXPECT_EQ(listing(parent).size(), 2u);
}
#endif

} // namespace
