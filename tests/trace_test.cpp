// The recording build over the virtual platform records a session; the
// virtual platform replays the trace and every export gives the same result
// and the same output bytes. A session that leaves the trace fails the
// call that left it and says where.
#include "support/firmware_image.h"
#include "support/log_file.h"
#include "support/test_env.h"
#include "trace_reader.h"

#include <velnor.h>
#include <velnor_sim.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct outcome_t {
    vl_rc rc;
    std::vector<std::uint8_t> bytes;
    bool operator==(const outcome_t& other) const { return rc == other.rc && bytes == other.bytes; }
};

template <typename T> std::vector<std::uint8_t> bytes_of(const T& value) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&value);
    return std::vector<std::uint8_t>(p, p + sizeof value);
}

// One session: every export, on two boards, including failures the board and
// the platform report. Each step gives its result and what it wrote.
std::vector<outcome_t> run_session() {
    std::vector<outcome_t> out;
    size_t count = 99;
    out.push_back({vl_get_device_count(&count), bytes_of(count)});
    vl_device* board = nullptr;
    vl_device* second = nullptr;
    out.push_back({vl_device_open(0, &board), {}});
    out.push_back({vl_device_open(1, &second), {}});
    out.push_back({vl_device_open(7, &second), {}}); // no such board
    vl_version version{};
    out.push_back({vl_device_get_driver_version(board, &version), bytes_of(version)});
    out.push_back({vl_device_get_firmware_version(second, &version), bytes_of(version)});
    char serial[40] = {};
    out.push_back({vl_device_get_serial(board, serial, sizeof serial), bytes_of(serial)});
    std::uint32_t value = 0;
    out.push_back({vl_device_set_id_led_state(board, 2), {}});
    out.push_back({vl_device_set_id_led_state(board, 9), {}}); // refused by the board
    out.push_back({vl_device_get_id_led_state(board, &value), bytes_of(value)});
    out.push_back({vl_device_set_trigger_polarity(second, 1), {}});
    out.push_back({vl_device_get_trigger_polarity(second, &value), bytes_of(value)});
    out.push_back({vl_device_set_trigger_status(board, 1), {}});
    out.push_back({vl_device_get_trigger_status(board, &value), bytes_of(value)});
    vl_clock clock{};
    clock.mode = 0;
    clock.frequency_hz = 125000000;
    out.push_back({vl_device_set_clock(board, &clock), {}});
    clock.frequency_hz = 123456789;
    out.push_back({vl_device_set_clock(board, &clock), {}}); // no divider chain
    out.push_back({vl_device_get_clock(board, &clock), bytes_of(clock)});
    out.push_back({vl_device_ad9516_reg_write(board, (0x55ull << 32) | 0x230), {}});
    std::uint8_t reg = 0;
    out.push_back({vl_device_ad9516_reg_read(board, 0x230, &reg), bytes_of(reg)});
    out.push_back({vl_device_ad9516_reg_read(board, 0x999, &reg), bytes_of(reg)});
    std::uint32_t state = 0;
    std::uint32_t received = 0;
    out.push_back({vl_device_update_start_async(second), {}});
    do {
        out.push_back({vl_device_update_get_status(second, &state, &received), bytes_of(state)});
    } while (state == VLB_UPDATE_ERASING);
    for (const auto& block :
         velnor_test::update_blocks(velnor_test::firmware_image(1, 4, 0, "1.4.0", 2000))) {
        out.push_back({vl_device_update_write(second, block.data()), {}});
    }
    out.push_back({vl_device_update_complete(second), {}});
    out.push_back({vl_device_get_firmware_version(second, &version), bytes_of(version)});
    out.push_back({vl_device_update_complete(second), {}}); // out of order
    out.push_back({vl_device_update_reset(second), {}});
    out.push_back({vl_device_close(second), {}});
    out.push_back({vl_device_close(board), {}});
    return out;
}

// The process's one trace, Velnor-trace-<pid>-<time>-<digits>.pcapng in the
// private temporary directory; before the first record there is none, and
// the name returned names no file.
std::filesystem::path trace_file() {
    const std::string head = "Velnor-trace-" + std::to_string(::getpid()) + "-";
    for (const auto& entry : std::filesystem::directory_iterator(velnor_test::temp_dir())) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, head.size(), head) == 0 && entry.path().extension() == ".pcapng") {
            return entry.path();
        }
    }
    return velnor_test::temp_dir() / (head + "none.pcapng");
}

std::vector<std::uint8_t> read_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A copy of the trace so far: the recording build goes on recording the
// replayed sessions into the original.
std::string snapshot(const char* name) {
    const std::filesystem::path copy = velnor_test::temp_dir() / name;
    std::filesystem::copy_file(trace_file(), copy,
                               std::filesystem::copy_options::overwrite_existing);
    return copy.string();
}

class trace_test : public testing::Test {
protected:
    void SetUp() override {
        vlsim_reset();
        vlsim_add_board(nullptr);
        vlsim_add_board(nullptr);
    }
    void TearDown() override { vlsim_reset(); }
};

TEST_F(trace_test, replay_gives_every_export_the_recorded_result_and_bytes) {
    const std::vector<outcome_t> recorded = run_session();
    const std::string trace = snapshot("session.pcapng");
    // The session has failures of every layer; a replay of successes only would prove less.
    EXPECT_EQ(recorded[3].rc, VL_RC_INVALID_DEVICE);
    EXPECT_EQ(recorded[15].rc, VL_RC_INVALID_FREQUENCY);
    EXPECT_EQ(recorded[8].rc, VLB_STATUS_INVALID_DATA);

    ASSERT_EQ(vlsim_load_trace(trace.c_str()), 0) << vlsim_trace_divergence();
    // The trace's boards are present, in the order the session first opened them.
    ASSERT_EQ(vlsim_board_count(), 2u);
    for (int id = 0; id < 2; ++id) {
        wchar_t path[80] = {};
        EXPECT_EQ(vlsim_board_path(id, path, 80), 59);
        EXPECT_EQ(std::wstring(path), std::wstring(L"\\\\?\\ROOT#VELNOR#000") +
                                          static_cast<wchar_t>(L'0' + id) +
                                          L"#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}");
    }
    EXPECT_EQ(vlsim_board_path(2, nullptr, 0), -1);
    const std::vector<outcome_t> replayed = run_session();
    EXPECT_STREQ(vlsim_trace_divergence(), "");
    ASSERT_EQ(replayed.size(), recorded.size());
    for (std::size_t i = 0; i < recorded.size(); ++i) {
        EXPECT_TRUE(replayed[i] == recorded[i]) << "step " << i;
    }

    // One more call than the trace holds.
    size_t count = 0;
    EXPECT_EQ(vl_get_device_count(&count), VL_RC_FAILED);
    EXPECT_STREQ(vlsim_trace_divergence(), "configuration manager: the trace has no record left; "
                                           "came CM_Get_Device_Interface_List_SizeA");
}

TEST_F(trace_test, a_session_that_leaves_the_trace_fails_where_it_left) {
    vl_device* board = nullptr;
    ASSERT_EQ(vl_device_open(0, &board), VL_RC_SUCCESS); // records 1-3: size, fetch, open
    ASSERT_EQ(vl_device_set_id_led_state(board, 1), VL_RC_SUCCESS); // record 4
    ASSERT_EQ(vl_device_close(board), VL_RC_SUCCESS);
    const std::string trace = snapshot("leaves.pcapng");

    ASSERT_EQ(vlsim_load_trace(trace.c_str()), 0);
    ASSERT_EQ(vl_device_open(0, &board), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_set_id_led_state(board, 2), VL_RC_FAILED);
    EXPECT_STREQ(vlsim_trace_divergence(),
                 "\\\\?\\ROOT#VELNOR#0000#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}: expected record "
                 "4, DeviceIoControl 0x222020 input 01000000, reply capacity 4; came "
                 "DeviceIoControl 0x222020 input 02000000, reply capacity 4");
    // The record stays the expected one: the recorded call still replays.
    EXPECT_EQ(vl_device_set_id_led_state(board, 1), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_close(board), VL_RC_SUCCESS);
}

TEST_F(trace_test, files_that_are_not_traces_are_refused_with_the_reason) {
    const std::filesystem::path dir = velnor_test::temp_dir();
    const auto write = [&](const char* name, const std::vector<std::uint8_t>& bytes) {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return (dir / name).string();
    };
    vl_device* board = nullptr;
    ASSERT_EQ(vl_device_open(0, &board), VL_RC_SUCCESS);
    ASSERT_EQ(vl_device_close(board), VL_RC_SUCCESS);
    const std::vector<std::uint8_t> whole = read_bytes(trace_file());
    // Cut inside the first record: after the section header and the
    // configuration manager's interface, 20 bytes into the packet block.
    const auto length_at = [&](std::size_t at) {
        std::uint32_t length = 0;
        std::memcpy(&length, whole.data() + at + 4, 4);
        return length;
    };
    const std::size_t first_record = length_at(0) + length_at(length_at(0));
    ASSERT_LT(first_record + 20, whole.size());
    struct case_t {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* reason;
    };
    const case_t cases[] = {
        {"empty.pcapng", {}, "not a pcapng file"},
        {"text.pcapng", std::vector<std::uint8_t>(64, 'x'), "not a pcapng file"},
        {"cut.pcapng",
         std::vector<std::uint8_t>(whole.begin(),
                                   whole.begin() + static_cast<long>(first_record + 20)),
         nullptr},
    };
    for (const case_t& c : cases) {
        const std::string path = write(c.name, c.bytes);
        EXPECT_EQ(vlsim_load_trace(path.c_str()), -1) << c.name;
        const std::string text = vlsim_trace_divergence();
        const std::string head = "trace " + path + " refused: ";
        EXPECT_EQ(text.substr(0, head.size()), head) << c.name;
        if (c.reason != nullptr) {
            EXPECT_EQ(text.substr(head.size()), c.reason) << c.name;
        } else {
            EXPECT_EQ(text.substr(head.size(), 37), "damaged before its first whole record")
                << text;
        }
    }
    // A refused file leaves the platform as it was.
    EXPECT_EQ(vlsim_board_count(), 2u);
}

TEST_F(trace_test, records_from_many_threads_are_whole_and_numbered_in_order) {
    const auto before = read_bytes(trace_file());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            vl_device* board = nullptr;
            if (vl_device_open(0, &board) != VL_RC_SUCCESS) {
                return;
            }
            std::uint32_t led = 0;
            for (int i = 0; i < 100; ++i) {
                vl_device_get_id_led_state(board, &led);
            }
            vl_device_close(board);
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    const std::vector<std::uint8_t> bytes = read_bytes(trace_file());
    velnor::sim::trace_t trace;
    std::string error;
    ASSERT_TRUE(velnor::sim::read_trace(bytes.data(), bytes.size(), trace, error)) << error;
    EXPECT_EQ(trace.damage, "");
    for (std::size_t i = 0; i < trace.records.size(); ++i) {
        ASSERT_EQ(trace.records[i].sequence, i + 1);
    }
    EXPECT_GE(trace.records.size(), 4u * (3 + 100 + 1));
    EXPECT_NE(before.size(), bytes.size());
}

// A trace file that is a link, a FIFO or a folder is never written through:
// the trace stops with one line in the log, and the call goes on.
struct obstacle_t {
    const char* name;
    std::function<void(const std::filesystem::path& file)> make;
    const char* line; // the log line after "[error] ", {} standing for the trace's path
};

class trace_obstacle_test : public testing::TestWithParam<obstacle_t> {};

TEST_P(trace_obstacle_test, costs_the_trace_never_the_call) {
    const std::filesystem::path file = trace_file();
    GetParam().make(file);
    vlsim_reset();
    vlsim_add_board(nullptr);
    size_t count = 0;
    EXPECT_EQ(vl_get_device_count(&count), VL_RC_SUCCESS);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(vl_get_device_count(&count), VL_RC_SUCCESS); // no second line

    std::string expected = GetParam().line;
    expected.replace(expected.find("{}"), 2, file.string());
    const std::vector<std::string> lines = velnor_test::read_log_lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(velnor_test::text_after(lines[0], "[error] "), expected);
    EXPECT_FALSE(std::filesystem::exists(velnor_test::temp_dir() / "target"));
    std::filesystem::remove_all(file);
}

INSTANTIATE_TEST_SUITE_P(
    obstacles, trace_obstacle_test,
    testing::Values(
        obstacle_t{"link",
                   [](const std::filesystem::path& file) {
                       std::filesystem::create_symlink(velnor_test::temp_dir() / "target", file);
                   },
                   "[trace] Error: system:40, Trace {} stopped: it is a link: Too many levels of "
                   "symbolic links"},
        obstacle_t{"fifo", [](const std::filesystem::path& file) { ::mkfifo(file.c_str(), 0600); },
                   "[trace] Error: system:6, Trace {} stopped: cannot open it: No such device or "
                   "address"},
        obstacle_t{
            "folder",
            [](const std::filesystem::path& file) { std::filesystem::create_directory(file); },
            "[trace] Error: system:21, Trace {} stopped: cannot open it: Is a directory"}),
    [](const testing::TestParamInfo<obstacle_t>& info) { return std::string(info.param.name); });

} // namespace
