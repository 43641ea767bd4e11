// The recording build over the virtual platform records a session; the
// virtual platform replays the trace and every export gives the same result
// and the same output bytes. A session that leaves the trace fails the
// call that left it and says where.
#include "support/firmware_image.h"
#include "support/log_file.h"
#include "support/test_env.h"
#include "trace_file.h"
#include "trace_reader.h"
#include "trace_words.h"

#include <velnor.h>
#include <velnor_sim.h>
#include <velnor_trace_format.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

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

// The recording thread's id as the trace writes it.
std::uint32_t recording_thread() {
    return static_cast<std::uint32_t>(::syscall(SYS_gettid));
}

std::uint32_t get32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

void put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    std::memcpy(bytes.data() + at, &value, 4);
}

// Where each pcapng block starts, and its type, walking the blocks' lengths.
std::vector<std::pair<std::size_t, std::uint32_t>>
blocks_of(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::pair<std::size_t, std::uint32_t>> blocks;
    for (std::size_t at = 0; at + 12 <= bytes.size(); at += get32(bytes, at + 4)) {
        blocks.emplace_back(at, get32(bytes, at));
    }
    return blocks;
}

// The offset of record n's (1, 2, ...) 64-byte header: its packet block's
// start, the block's 8-byte head and the packet block's 20 bytes of fields.
std::size_t record_at(const std::vector<std::uint8_t>& bytes, std::size_t n) {
    for (const auto& [at, type] : blocks_of(bytes)) {
        if (type == VLTR_BLOCK_ENHANCED_PACKET && --n == 0) {
            return at + 28;
        }
    }
    ADD_FAILURE() << "no such record";
    return 0;
}

std::string write_trace(const char* name, const std::vector<std::uint8_t>& bytes) {
    const std::filesystem::path path = velnor_test::temp_dir() / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

// Records 1-3: list size, fetch and open of board 0; 4 set_led on; 5 get_led; 6 close.
// The steps of the short session, each export's result; none stops the others.
std::vector<vl_rc> short_session_results() {
    vl_device* board = nullptr;
    std::uint32_t led = 0;
    std::vector<vl_rc> results = {vl_device_open(0, &board)};
    results.push_back(vl_device_set_id_led_state(board, 1));
    results.push_back(vl_device_get_id_led_state(board, &led));
    results.push_back(vl_device_close(board));
#ifdef __SANITIZE_ADDRESS__
    // A close that left the trace keeps the board open, as a refused close
    // does; nothing can close it after that, so it is not a leak of the test's.
    if (results[0] == VL_RC_SUCCESS && results[3] != VL_RC_SUCCESS) {
        __lsan_ignore_object(board);
    }
#endif
    return results;
}

std::vector<std::uint8_t> short_trace() {
    const std::vector<vl_rc> results = short_session_results();
    EXPECT_EQ(results, std::vector<vl_rc>(4, VL_RC_SUCCESS));
    return read_bytes(trace_file());
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
    EXPECT_EQ(vlsim_trace_divergence(),
              "board 0, handle of thread " + std::to_string(recording_thread()) +
                  ": expected record 4, DeviceIoControl set_led on, reply capacity 4; came "
                  "DeviceIoControl set_led blink, reply capacity 4");
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

// A record's words as trace show and the divergences give them: a request is
// named only for a board control code (0x222000 + 4n, n below 18).
TEST(trace_words, name_board_requests_only_and_their_inputs) {
    const struct {
        std::uint32_t code;
        std::vector<std::uint8_t> in;
        const char* request;
        const char* input;
    } cases[] = {
        {0x222020, {2, 0, 0, 0}, "set_led", "blink"},
        {0x222020, {2, 0}, "set_led", "0200"}, // not the request's length
        {0x222021, {2, 0, 0, 0}, "0x00222021", "02000000"},
        {0x222022, {}, "0x00222022", "-"},
        {0x221FFC, {}, "0x00221ffc", "-"},
        {0x222048, {}, "0x00222048", "-"}, // request 18: past the last
        {0x222044, {}, "get_serial", "-"},
        {0x22203C, {0x30, 2, 0, 0, 0x55, 0, 0, 0}, "reg_write", "0x230 = 0x55"},
        {0x222038,
         {1, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x42, 0x0F, 0, 0, 0, 0, 0},
         "set_clock",
         "external, 1000000 Hz"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(velnor::sim::trace_request_words(c.code), c.request) << std::hex << c.code;
        EXPECT_EQ(velnor::sim::trace_input_words(c.code, c.in), c.input) << std::hex << c.code;
    }
}

// A forged list size is refused at load; a FIFO, a folder or a device is
// refused without waiting for a writer, each with its own words.
TEST_F(trace_test, files_that_cannot_be_replayed_are_refused_without_waiting) {
    std::vector<std::uint8_t> forged = short_trace();
    put32(forged, record_at(forged, 1) + VLTR_OFF_P1, 0x7FFFFFFF);
    const std::filesystem::path dir = velnor_test::temp_dir();
    ASSERT_EQ(::mkfifo((dir / "fifo.pcapng").c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "folder.pcapng");
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {write_trace("forged.pcapng", forged),
         "record 1's list size (2147483647 characters) does not agree with the fetch recorded "
         "after it (record 2, 121 characters)"},
        {(dir / "fifo.pcapng").string(), "is a FIFO (named pipe), not a trace file"},
        {(dir / "folder.pcapng").string(), "is a folder, not a trace file"},
        {"/dev/null", "is a device, not a trace file"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vlsim_load_trace(c.path.c_str()), -1) << c.path;
        EXPECT_EQ(vlsim_trace_divergence(), "trace " + c.path + " refused: " + c.reason);
        EXPECT_EQ(vlsim_trace_records_left(), -1);
    }
    EXPECT_EQ(vlsim_board_count(), 2u); // the platform as it was
}

// The platform's calls made from the records themselves, one by one: the
// answers are the recorded ones, bounded by what the record and the caller hold.
TEST_F(trace_test, each_call_gets_its_record_within_the_callers_buffers) {
    const std::vector<std::uint8_t> whole = short_trace();
    const auto with_count = [&](std::uint32_t count) {
        std::vector<std::uint8_t> bytes = whole;
        put32(bytes, record_at(bytes, 5) + VLTR_OFF_P3, count);
        return bytes;
    };
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool count_given; // DeviceIoControl's count of returned bytes: given or null
        int result;
        std::uint32_t count; // as the caller finds it after the call
        std::string divergence;
    } cases[] = {
        {"recorded", whole, true, 1, 8, ""},
        {"count beyond the reply", with_count(0xFFFF), true, 1, 8, ""},
        {"count pointer null", whole, false, 0, 0xDEADBEEF,
         "board 0, handle of thread " + std::to_string(recording_thread()) +
             ": expected record 5, DeviceIoControl get_led, reply capacity 8; came "
             "DeviceIoControl get_led, reply capacity 8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(vlsim_load_trace(write_trace("calls.pcapng", c.bytes).c_str()), 0);
        velnor::sim::trace_t trace;
        std::string error;
        ASSERT_TRUE(velnor::sim::read_trace(c.bytes.data(), c.bytes.size(), trace, error));
        const auto& r = trace.records;
        vlsim_guid guid{};
        std::memcpy(&guid, r[0].in.data(), sizeof guid);
        std::uint32_t length = 0;
        ASSERT_EQ(vlsim_CM_Get_Device_Interface_List_SizeA(&length, &guid, nullptr, r[0].p[0]), 0u);
        std::vector<wchar_t> list(length);
        ASSERT_EQ(
            vlsim_CM_Get_Device_Interface_ListW(&guid, nullptr, list.data(), length, r[1].p[0]),
            0u);
        void* handle = vlsim_CreateFileW(list.data(), r[2].p[0], r[2].p[1], nullptr, r[2].p[2],
                                         r[2].p[3], nullptr);
        std::uint8_t reply[8] = {};
        std::uint32_t count = 0xDEADBEEF;
        std::uint32_t led = 1;
        ASSERT_EQ(vlsim_DeviceIoControl(handle, r[3].p[0], &led, 4, reply, 4, &count, nullptr), 1);
        count = 0xDEADBEEF;
        EXPECT_EQ(vlsim_DeviceIoControl(handle, r[4].p[0], nullptr, 0, reply, 8,
                                        c.count_given ? &count : nullptr, nullptr),
                  c.result);
        EXPECT_EQ(count, c.count);
        EXPECT_EQ(vlsim_trace_divergence(), c.divergence);
    }
}

// A trace damaged after some records replays those, then the call that needs
// the next one fails with the damage in its words; pacing on never waits for
// a damaged time stamp.
TEST_F(trace_test, a_damaged_trace_replays_up_to_the_damage_and_names_it) {
    const std::vector<std::uint8_t> whole = short_trace();
    const std::string thread = std::to_string(recording_thread());
    const std::size_t fourth = record_at(whole, 4) - 28;
    std::size_t board_interface = 0;
    for (const auto& [at, type] : blocks_of(whole)) {
        if (type == VLTR_BLOCK_INTERFACE) {
            board_interface = at; // the last one: board 0's, before record 3
        }
    }
    const std::string fourth_at = std::to_string(fourth);
    const std::string set_led = "; came DeviceIoControl set_led on, reply capacity 4";
    const auto forged = [&](auto edit) {
        std::vector<std::uint8_t> bytes = whole;
        edit(bytes);
        return bytes;
    };
    const auto stamped = [&](std::uint64_t time) {
        return forged([&](std::vector<std::uint8_t>& bytes) {
            std::memcpy(bytes.data() + record_at(bytes, 4) + VLTR_OFF_TIME, &time, 8);
        });
    };
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::vector<vl_rc> results;
        std::string divergence;
    } cases[] = {
        {"trailing length differs",
         forged([&](std::vector<std::uint8_t>& b) {
             put32(b, fourth + get32(b, fourth + 4) - 4, get32(b, fourth + 4) + 4);
         }),
         {VL_RC_SUCCESS, VL_RC_FAILED, VL_RC_FAILED, VL_RC_FAILED},
         "board 0, handle of thread " + thread +
             ": the trace is damaged after record 3: a block's two lengths differ at byte " +
             fourth_at + set_led},
        {"cut inside record 4",
         std::vector<std::uint8_t>(whole.begin(), whole.begin() + static_cast<long>(fourth + 40)),
         {VL_RC_SUCCESS, VL_RC_FAILED, VL_RC_FAILED, VL_RC_FAILED},
         "board 0, handle of thread " + thread +
             ": the trace is damaged after record 3: a block cut short at byte " + fourth_at +
             set_led},
        {"malformed interface option",
         forged([&](std::vector<std::uint8_t>& b) {
             put32(b, board_interface + 16, VLTR_OPT_IF_NAME | (0xFFFFu << 16));
         }),
         {VL_RC_FAILED, VL_RC_NULL_PARAMETER, VL_RC_NULL_PARAMETER, VL_RC_NULL_PARAMETER},
         "no board: the trace is damaged after record 2: a malformed option in an interface "
         "description at byte " +
             std::to_string(board_interface) +
             "; came CreateFileW of "
             "\\\\?\\ROOT#VELNOR#0000#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}"},
        {"time stamp at 2^62",
         stamped(std::uint64_t{1} << 62),
         {VL_RC_SUCCESS, VL_RC_FAILED, VL_RC_FAILED, VL_RC_FAILED},
         "board 0, handle of thread " + thread +
             ": the trace is damaged after record 3: record 4's time stamp lies more than a "
             "year after the first record's" +
             set_led},
        {"time stamp at INT64_MAX",
         stamped(0x7FFFFFFFFFFFFFFFull),
         {VL_RC_SUCCESS, VL_RC_FAILED, VL_RC_FAILED, VL_RC_FAILED},
         "board 0, handle of thread " + thread +
             ": the trace is damaged after record 3: record 4's time stamp lies more than a "
             "year after the first record's" +
             set_led},
    };
    vlsim_set_trace_pacing(1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(vlsim_load_trace(write_trace("damaged.pcapng", c.bytes).c_str()), 0)
            << vlsim_trace_divergence();
        EXPECT_EQ(short_session_results(), c.results);
        EXPECT_EQ(vlsim_trace_divergence(), c.divergence);
    }
    vlsim_set_trace_pacing(0);
}

// With pacing on, a call waits for the recorded gap, and waits without the
// platform's lock: another thread's questions are answered meanwhile.
TEST_F(trace_test, pacing_waits_the_recorded_gap_and_holds_no_lock_meanwhile) {
    std::vector<std::uint8_t> bytes = short_trace();
    std::uint64_t time = 0;
    std::memcpy(&time, bytes.data() + record_at(bytes, 4) + VLTR_OFF_TIME, 8);
    time += 400000000; // record 5 comes 400 ms after record 4
    for (const std::size_t n : {5, 6}) {
        std::memcpy(bytes.data() + record_at(bytes, n) + VLTR_OFF_TIME, &time, 8);
    }
    ASSERT_EQ(vlsim_load_trace(write_trace("paced.pcapng", bytes).c_str()), 0);
    vlsim_set_trace_pacing(1);
    using clock = std::chrono::steady_clock;
    const clock::time_point start = clock::now();
    std::vector<vl_rc> results;
    std::thread session([&] { results = short_session_results(); });
    // Until record 5 is given and its call waits (one record left), every
    // question from this thread is answered at once.
    std::int64_t left = -1;
    clock::duration slowest{};
    while (left != 1 && clock::now() - start < std::chrono::milliseconds(300)) {
        const clock::time_point asked = clock::now();
        left = vlsim_trace_records_left();
        EXPECT_STREQ(vlsim_trace_divergence(), "");
        slowest = std::max(slowest, clock::now() - asked);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(left, 1);
    EXPECT_LT(slowest, std::chrono::milliseconds(200));
    session.join();
    vlsim_set_trace_pacing(0);
    EXPECT_GE(clock::now() - start, std::chrono::milliseconds(395));
    EXPECT_EQ(results, std::vector<vl_rc>(4, VL_RC_SUCCESS));
    EXPECT_EQ(vlsim_trace_records_left(), 0);
}

// How many records are left and which is next, as the replay goes.
TEST_F(trace_test, records_left_count_down_and_name_the_next) {
    const std::string trace = write_trace("left.pcapng", short_trace());
    const std::string thread = std::to_string(recording_thread());
    EXPECT_EQ(vlsim_trace_records_left(), -1);
    EXPECT_STREQ(vlsim_trace_next_record(), "");
    ASSERT_EQ(vlsim_load_trace(trace.c_str()), 0);
    EXPECT_EQ(vlsim_trace_records_left(), 6);
    EXPECT_EQ(vlsim_trace_next_record(),
              "record 1, CM_Get_Device_Interface_List_SizeA (configuration manager, thread " +
                  thread + ")");
    vl_device* board = nullptr;
    ASSERT_EQ(vl_device_open(0, &board), VL_RC_SUCCESS);
    EXPECT_EQ(vlsim_trace_records_left(), 3);
    EXPECT_EQ(vlsim_trace_next_record(),
              "record 4, DeviceIoControl set_led on, reply capacity 4 (board 0, thread " + thread +
                  ")");
    EXPECT_STREQ(vlsim_trace_divergence(), ""); // stopped early, but on track
    std::uint32_t led = 0;
    EXPECT_EQ(vl_device_set_id_led_state(board, 1), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_get_id_led_state(board, &led), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_close(board), VL_RC_SUCCESS);
    EXPECT_EQ(vlsim_trace_records_left(), 0);
    EXPECT_STREQ(vlsim_trace_next_record(), "");
    vlsim_reset();
    EXPECT_EQ(vlsim_trace_records_left(), -1);
}

// The boards are numbered as the recorded program numbered them: a session
// that opened only board 1 replays with board 1, not board 0.
TEST_F(trace_test, boards_keep_the_recorded_programs_numbers) {
    vl_device* board = nullptr;
    ASSERT_EQ(vl_device_open(1, &board), VL_RC_SUCCESS);
    ASSERT_EQ(vl_device_close(board), VL_RC_SUCCESS);
    ASSERT_EQ(vlsim_load_trace(snapshot("second.pcapng").c_str()), 0);
    EXPECT_EQ(vlsim_board_count(), 1u);
    wchar_t path[80] = {};
    EXPECT_EQ(vlsim_board_path(0, path, 80), -1);
    EXPECT_EQ(vlsim_board_path(1, path, 80), 59);
    EXPECT_EQ(std::wstring(path),
              L"\\\\?\\ROOT#VELNOR#0001#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}");
    ASSERT_EQ(vl_device_open(1, &board), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_close(board), VL_RC_SUCCESS);
    EXPECT_STREQ(vlsim_trace_divergence(), "");
}

// A file past the most a reader reads gives the records before that point
// and names the rest as damage (4096 bytes here; 1 GiB, VLTR_MAX_FILE_SIZE,
// for vlsim_load_trace and trace show).
TEST_F(trace_test, a_trace_past_the_limit_gives_the_records_before_it_and_says_so) {
    std::vector<std::uint8_t> bytes = short_trace();
    // A block the reader skips (not one of a trace's), reaching past the limit.
    const std::size_t start = bytes.size();
    ASSERT_LT(start, 4096u - 64);
    bytes.resize(8192);
    put32(bytes, start, 0x00000BAD);
    put32(bytes, start + 4, static_cast<std::uint32_t>(8192 - start));
    put32(bytes, 8188, static_cast<std::uint32_t>(8192 - start));
    const std::string path = write_trace("large.pcapng", bytes);
    velnor::sim::trace_t trace;
    std::string error;
    ASSERT_EQ(velnor::sim::load_trace_file(path, trace, error, 4096),
              velnor::sim::trace_load_t::loaded);
    EXPECT_EQ(trace.records.size(), 6u);
    EXPECT_EQ(trace.damage, "the trace goes on past 4096 bytes (8192 bytes); the part after the "
                            "first 4096 bytes is not read");
    // Whole within the limit: no damage.
    ASSERT_EQ(velnor::sim::load_trace_file(path, trace, error, 8192),
              velnor::sim::trace_load_t::loaded);
    EXPECT_EQ(trace.damage, "");
}

// Threads each with their own handle on one board: the recording replays in
// new interleavings of the threads, every time, to its last record.
TEST_F(trace_test, threads_with_their_own_handles_replay_in_any_interleaving) {
    constexpr int thread_count = 4;
    const auto program = [] {
        std::vector<vl_device*> boards(thread_count, nullptr);
        int failures = 0;
        for (vl_device*& board : boards) {
            failures += vl_device_open(0, &board) != VL_RC_SUCCESS;
        }
        std::vector<std::thread> threads;
        std::vector<int> thread_failures(thread_count, 0);
        for (int t = 0; t < thread_count; ++t) {
            threads.emplace_back([&, t] {
                std::uint32_t led = 0;
                for (std::uint32_t i = 0; i < 25; ++i) {
                    thread_failures[t] += vl_device_set_id_led_state(boards[t], (i + t) % 3) != 0;
                    thread_failures[t] += vl_device_get_id_led_state(boards[t], &led) != 0;
                }
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        for (vl_device* board : boards) {
            failures += vl_device_close(board) != VL_RC_SUCCESS;
        }
        for (const int f : thread_failures) {
            failures += f;
        }
        return failures;
    };
    ASSERT_EQ(program(), 0);
    const std::string trace = snapshot("threads.pcapng");
    for (int replay = 0; replay < 5; ++replay) {
        SCOPED_TRACE(replay);
        ASSERT_EQ(vlsim_load_trace(trace.c_str()), 0);
        EXPECT_EQ(program(), 0);
        EXPECT_STREQ(vlsim_trace_divergence(), "");
        EXPECT_EQ(vlsim_trace_records_left(), 0);
    }
}

} // namespace
