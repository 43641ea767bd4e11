// The trace writer of the recording build: each trace a new private file
// under a name of its own, what stands at a taken name named in the log, a
// bound that stops the trace and never the process, a forked child's own
// file, the handle map across a close, valid options whatever the path, and
// no allocation per record. On POSIX each case runs in a process of its own
// (the process's trace is found by its process id).
#include "support/counting_new.h"
#include "support/log_file.h"
#include "support/test_env.h"
#include "trace_reader.h"

#include "platform/trace_writer.h"

#include <gtest/gtest.h>

#include <velnor.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <velnor_sim.h>
#else
#include <windows.h>
#endif

namespace {

using velnor::os::trace_call_t;
using velnor::os::trace_writer_t;

std::uint32_t next_digits() {
    static std::atomic<std::uint32_t> digits{0x1000};
    return ++digits;
}

std::uint32_t fixed_digits() {
    return 0x0badcafe;
}

std::uint32_t process_id() {
#ifdef _WIN32
    return ::GetCurrentProcessId();
#else
    return static_cast<std::uint32_t>(::getpid());
#endif
}

// The name a trace started at `at` takes, the date from the C library.
std::filesystem::path name_at(std::uint32_t pid, std::time_t at, const char* digits) {
    std::tm utc{};
#ifdef _WIN32
    ::gmtime_s(&utc, &at);
#else
    ::gmtime_r(&at, &utc);
#endif
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
    return velnor_test::temp_dir() /
           ("Velnor-trace-" + std::to_string(pid) + "-" + stamp + "-" + digits + ".pcapng");
}

velnor::sim::trace_t read_back(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    velnor::sim::trace_t trace;
    std::string error;
    EXPECT_TRUE(velnor::sim::read_trace(bytes.data(), bytes.size(), trace, error)) << error;
    EXPECT_EQ(trace.damage, "");
    for (std::size_t i = 0; i < trace.records.size(); ++i) {
        EXPECT_EQ(trace.records[i].sequence, i + 1);
    }
    return trace;
}

std::vector<std::string> log_texts() {
    std::vector<std::string> texts;
    for (const std::string& line : velnor_test::read_log_lines()) {
        texts.push_back(velnor_test::text_after(line, "[error] "));
    }
    return texts;
}

// A call that succeeded; a CreateFileW of path when path is given.
trace_call_t call_of(vltr_kind kind, std::uint64_t handle = 0, const std::string* path = nullptr) {
    trace_call_t call;
    call.kind = kind;
    call.handle = handle;
    call.result = 1;
    call.path = path;
    return call;
}

TEST(trace_writer, a_trace_is_a_new_private_file_named_by_process_time_and_digits) {
    velnor_test::reset_log();
    trace_writer_t writer(next_digits);
    const std::time_t before = std::time(nullptr);
    writer.record(call_of(VLTR_LIST_SIZE));
    const std::time_t after = std::time(nullptr);
    const std::filesystem::path file = writer.path_text();
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", 0x1001u);
    EXPECT_TRUE(file == name_at(process_id(), before, digits) ||
                file == name_at(process_id(), after, digits))
        << file;
    EXPECT_EQ(read_back(file).records.size(), 1u);
#ifndef _WIN32
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
#endif
    EXPECT_TRUE(velnor_test::read_log_lines().empty());
}

// Whatever stands at the name a trace draws is left as it is: the trace
// draws again, and after its last try stops with one line naming what it found.
struct obstacle_t {
    const char* name;
    std::function<void(const std::filesystem::path&)> plant;
    const char* line; // {} stands for the trace's path
};

class trace_writer_obstacle : public testing::TestWithParam<obstacle_t> {};

TEST_P(trace_writer_obstacle, is_never_opened_and_is_named_in_the_log) {
    velnor_test::reset_log();
    const std::time_t now = std::time(nullptr);
    const std::filesystem::path names[] = {name_at(process_id(), now, "0badcafe"),
                                           name_at(process_id(), now + 1, "0badcafe")};
    const auto clear = [&] {
        for (const auto& name : names) {
            std::filesystem::remove_all(name);
        }
        std::filesystem::remove(velnor_test::temp_dir() / "planted");
    };
    clear(); // a case before in this process
    for (const auto& name : names) {
        GetParam().plant(name);
        if (testing::Test::IsSkipped()) {
            return;
        }
    }
    trace_writer_t writer(fixed_digits);
    writer.record(call_of(VLTR_LIST_SIZE));
    writer.record(call_of(VLTR_LIST_SIZE)); // stopped: no second line

    const std::filesystem::path file = writer.path_text();
    EXPECT_TRUE(file == names[0] || file == names[1]) << file;
    std::string expected = GetParam().line;
    expected.replace(expected.find("{}"), 2, file.u8string());
    if (const std::size_t m = expected.find("{m}"); m != std::string::npos) {
        const int value = std::stoi(expected.substr(expected.find("system:") + 7));
        expected.replace(m, 3, std::system_category().message(value));
    }
    EXPECT_EQ(log_texts(), std::vector<std::string>{expected});
    EXPECT_FALSE(std::filesystem::exists(velnor_test::temp_dir() / "target"));
    for (const auto& name : names) {
        if (std::filesystem::is_regular_file(std::filesystem::symlink_status(name))) {
            EXPECT_EQ(velnor_test::read_file_bytes(name), "planted");
        }
    }
    clear();
}

void plant_file(const std::filesystem::path& at) {
    std::ofstream(at) << "planted";
}

void plant_hard_link(const std::filesystem::path& at) {
    const std::filesystem::path first = velnor_test::temp_dir() / "planted";
    if (!std::filesystem::exists(first)) {
        plant_file(first);
    }
    std::filesystem::create_hard_link(first, at);
}

void plant_link(const std::filesystem::path& at) {
#ifdef _WIN32
    // The standard library of MinGW makes no links; Wine may refuse them too.
    const std::filesystem::path target = velnor_test::temp_dir() / "target";
    // Wine 8 reports success and makes nothing.
    ::CreateSymbolicLinkW(at.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    if ((::GetFileAttributesW(at.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) == 0 ||
        ::GetFileAttributesW(at.c_str()) == INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "this system makes no symbolic link";
    }
#else
    std::filesystem::create_symlink(velnor_test::temp_dir() / "target", at);
#endif
}

void plant_folder(const std::filesystem::path& at) {
    std::filesystem::create_directory(at);
}

#ifndef _WIN32
const obstacle_t obstacles[] = {
    {"link", plant_link,
     "[trace] Error: system:40, Trace {} stopped: it is a link: Too many levels of symbolic "
     "links"},
    {"fifo", [](const std::filesystem::path& at) { ::mkfifo(at.c_str(), 0600); },
     "[trace] Error: system:95, Trace {} stopped: not a regular file: Operation not supported"},
    {"folder", plant_folder,
     "[trace] Error: system:21, Trace {} stopped: not a regular file: Is a directory"},
    {"hard_link", plant_hard_link,
     "[trace] Error: system:31, Trace {} stopped: a second name of another file: Too many links"},
    {"file", plant_file,
     "[trace] Error: system:17, Trace {} stopped: the name is taken: File exists"},
};
#else
// {m} stands for the system's text of the value, which Wine words otherwise than Windows.
const obstacle_t obstacles[] = {
    {"link", plant_link, "[trace] Error: system:1921, Trace {} stopped: it is a link: {m}"},
    {"folder", plant_folder, "[trace] Error: system:50, Trace {} stopped: not a regular file: {m}"},
    {"hard_link", plant_hard_link,
     "[trace] Error: system:1142, Trace {} stopped: a second name of another file: {m}"},
    {"file", plant_file, "[trace] Error: system:80, Trace {} stopped: the name is taken: {m}"},
};
#endif

INSTANTIATE_TEST_SUITE_P(at_the_name, trace_writer_obstacle, testing::ValuesIn(obstacles),
                         [](const testing::TestParamInfo<obstacle_t>& info) {
                             return std::string(info.param.name);
                         });

// A CloseHandle is recorded before any open that gets its value back (the
// close and its record are one step), and a closed value names no board.
TEST(trace_writer, a_handle_value_names_the_board_its_last_recorded_open_gave) {
    trace_writer_t writer(next_digits);
    const std::string board_a = "\\\\?\\board-a";
    const std::string board_b = "\\\\?\\board-b";
    writer.record(call_of(VLTR_CREATE_FILE, 7, &board_a));
    writer.record(call_of(VLTR_IO_CONTROL, 7));
    const auto close = [&](const std::function<void()>& meanwhile) {
        trace_call_t call = call_of(VLTR_CLOSE_HANDLE, 7);
        writer.record_in_order(call, [&](trace_call_t&) { meanwhile(); });
    };
    // Another thread opens board b and gets value 7 while board a's close
    // is made; its record waits for the close's (at most 0.2 s here).
    std::atomic<bool> opened{false};
    std::thread other;
    close([&] {
        other = std::thread([&] {
            writer.record(call_of(VLTR_CREATE_FILE, 7, &board_b));
            opened = true;
        });
        for (int i = 0; i < 100 && !opened; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    other.join();
    writer.record(call_of(VLTR_IO_CONTROL, 7));
    close([] {});
    writer.record(call_of(VLTR_IO_CONTROL, 7));

    const velnor::sim::trace_t trace = read_back(writer.path_text());
    EXPECT_EQ(trace.interfaces,
              (std::vector<std::string>{"configuration manager", board_a, board_b}));
    const std::pair<std::uint8_t, std::uint32_t> expected[] = {
        {VLTR_CREATE_FILE, 1}, {VLTR_IO_CONTROL, 1}, {VLTR_CLOSE_HANDLE, 1},
        {VLTR_CREATE_FILE, 2}, {VLTR_IO_CONTROL, 2}, {VLTR_CLOSE_HANDLE, 2},
        {VLTR_IO_CONTROL, 0}};
    ASSERT_EQ(trace.records.size(), std::size(expected));
    for (std::size_t i = 0; i < trace.records.size(); ++i) {
        EXPECT_EQ(std::make_pair(trace.records[i].kind, trace.records[i].interface_id), expected[i])
            << "record " << i + 1;
    }
}

// An interface's name is an option, at most 65,535 bytes: a longer path is
// cut at a character's boundary; its record keeps the whole path.
TEST(trace_writer, a_path_longer_than_an_option_holds_is_cut_at_a_character) {
    std::string path = "\\\\?\\";
    for (int i = 0; i < 35000; ++i) {
        path += "\xc3\xa9"; // é, two bytes: byte 65,535 would split one
    }
    const std::vector<std::uint8_t> in(70000, 0x41);
    trace_call_t open = call_of(VLTR_CREATE_FILE, 5, &path);
    open.in = in.data();
    open.in_size = static_cast<std::uint32_t>(in.size());
    trace_writer_t writer(next_digits);
    writer.record(open);
    const velnor::sim::trace_t trace = read_back(writer.path_text());
    ASSERT_EQ(trace.interfaces.size(), 2u);
    EXPECT_EQ(trace.interfaces[1], path.substr(0, 65534));
    ASSERT_EQ(trace.records.size(), 1u);
    EXPECT_EQ(trace.records[0].in, in);
}

// Recording a request takes the thread's buffer again: no allocation.
TEST(trace_writer, a_record_after_the_threads_first_allocates_nothing) {
    trace_writer_t writer(next_digits);
    const std::string board = "\\\\?\\board";
    writer.record(call_of(VLTR_CREATE_FILE, 3, &board));
    const std::uint8_t input[4] = {1, 0, 0, 0};
    const std::uint8_t reply[8] = {0, 0, 0, 0, 1, 0, 0, 0};
    trace_call_t read = call_of(VLTR_IO_CONTROL, 3);
    read.in = input;
    read.in_size = 4;
    read.out = reply;
    read.out_size = 8;
    writer.record(read);
    const long before = velnor_test::heap::allocations;
    for (int i = 0; i < 100; ++i) {
        writer.record(read);
    }
    EXPECT_EQ(velnor_test::heap::allocations - before, 0);
    EXPECT_EQ(read_back(writer.path_text()).records.size(), 102u);
}

#ifndef _WIN32
// The process's trace through the recording build's exports, on the virtual platform.
std::filesystem::path trace_of(pid_t pid) {
    const std::string head = "Velnor-trace-" + std::to_string(pid) + "-";
    for (const auto& entry : std::filesystem::directory_iterator(velnor_test::temp_dir())) {
        if (entry.path().filename().string().compare(0, head.size(), head) == 0) {
            return entry.path();
        }
    }
    ADD_FAILURE() << "no trace of process " << pid;
    return {};
}

// Runs body in a forked child of this process; its result is the child's exit status.
pid_t in_child(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(body());
    }
    return child;
}

int exit_status_of(pid_t child) {
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(trace_writer, a_file_size_limit_stops_the_trace_never_the_process) {
    vlsim_reset();
    vlsim_add_board(nullptr);
    const pid_t child = in_child([] {
        const struct rlimit limit = {4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        vl_device* board = nullptr;
        int wrong = vl_device_open(0, &board) != VL_RC_SUCCESS;
        std::uint32_t status = 0;
        for (int i = 0; i < 1000; ++i) {
            wrong += vl_device_get_trigger_status(board, &status) != VL_RC_SUCCESS;
        }
        wrong += vl_device_close(board) != VL_RC_SUCCESS;
        return wrong;
    });
    ASSERT_GT(child, 0);
    EXPECT_EQ(exit_status_of(child), 0);
    const std::filesystem::path file = trace_of(child);
    EXPECT_LE(std::filesystem::file_size(file), 4096u);
    const std::size_t records = read_back(file).records.size();
    EXPECT_GT(records, 3u);
    EXPECT_EQ(log_texts(), std::vector<std::string>{
                               "[trace] Error: system:27, Trace " + file.string() +
                               " stopped: record " + std::to_string(records + 1) +
                               " would take it past 4096 bytes, the process's file-size limit"});
}

// A limit lowered after the file was made: the write fails, and the line
// gives the system's value as a refused open does.
TEST(trace_writer, a_failed_write_stops_the_trace_with_the_systems_value) {
    vlsim_reset();
    vlsim_add_board(nullptr);
    const pid_t child = in_child([] {
        vl_device* board = nullptr;
        int wrong = vl_device_open(0, &board) != VL_RC_SUCCESS; // records 1-3
        ::signal(SIGXFSZ, SIG_IGN);
        const auto size = static_cast<rlim_t>(std::filesystem::file_size(trace_of(::getpid())));
        const struct rlimit limit = {size, size};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::uint32_t status = 0;
        wrong += vl_device_get_trigger_status(board, &status) != VL_RC_SUCCESS;
        wrong += vl_device_close(board) != VL_RC_SUCCESS;
        return wrong;
    });
    ASSERT_GT(child, 0);
    EXPECT_EQ(exit_status_of(child), 0);
    const std::filesystem::path file = trace_of(child);
    EXPECT_EQ(read_back(file).records.size(), 3u);
    EXPECT_EQ(log_texts(),
              std::vector<std::string>{"[trace] Error: system:27, Trace " + file.string() +
                                       " stopped: cannot write record 4: File too "
                                       "large"});
}

TEST(trace_writer, a_forked_child_records_to_a_file_of_its_own) {
    vlsim_reset();
    vlsim_add_board(nullptr);
    vl_device* board = nullptr;
    ASSERT_EQ(vl_device_open(0, &board), VL_RC_SUCCESS);
    std::uint32_t status = 0;
    const pid_t child =
        in_child([&] { return vl_device_get_trigger_status(board, &status) != VL_RC_SUCCESS; });
    ASSERT_GT(child, 0);
    EXPECT_EQ(exit_status_of(child), 0);
    EXPECT_EQ(vl_device_get_trigger_status(board, &status), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_close(board), VL_RC_SUCCESS);

    const std::filesystem::path parent_file = trace_of(::getpid());
    const std::filesystem::path child_file = trace_of(child);
    const velnor::sim::trace_t parent = read_back(parent_file);
    const velnor::sim::trace_t own = read_back(child_file);
    // The parent's: size, fetch, open, the request, close; the child's: its request, on the board.
    EXPECT_EQ(parent.records.size(), 5u);
    ASSERT_EQ(own.records.size(), 1u);
    EXPECT_EQ(own.records[0].kind, VLTR_IO_CONTROL);
    EXPECT_EQ(own.records[0].thread, static_cast<std::uint32_t>(child));
    ASSERT_EQ(own.interfaces.size(), 2u);
    EXPECT_EQ(own.records[0].interface_id, 1u);
    EXPECT_EQ(own.interfaces[1], parent.interfaces.at(1));
    EXPECT_EQ(log_texts(),
              std::vector<std::string>{"[trace] Error: system:0, Trace " + parent_file.string() +
                                       " continues in " + child_file.string() + " in process " +
                                       std::to_string(child) + ": the process forked"});
}
#endif

} // namespace
