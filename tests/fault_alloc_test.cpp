// Every export with each of its heap allocations failing in turn, on its
// success path and on its failure paths, the logger's creation included.
#include "support/counting_new.h"
#include "support/export_cases.h"
#include "support/library_fixture.h"

#include <atomic>
#include <cstdlib>
#include <new>

using velnor_test::heap::allocations;
using velnor_test::heap::fail_at;
using velnor_test::heap::live;

namespace {

using velnor_test::ExportCase;
using velnor_test::Scene;

enum class Path { success, refused, platform_failure };

const char* path_name(Path path) {
    switch (path) {
    case Path::success:
        return "success";
    case Path::refused:
        return "refused";
    case Path::platform_failure:
        return "first platform call failing";
    }
    return "?";
}

uint32_t failure_value(vlsim_call kind) {
    switch (kind) {
    case VLSIM_CALL_LIST_SIZE:
    case VLSIM_CALL_LIST_FETCH:
        return 0x13; // CR_FAILURE
    case VLSIM_CALL_DEVICE_IO_CONTROL:
        return 995; // ERROR_OPERATION_ABORTED
    default:
        return 5; // ERROR_ACCESS_DENIED
    }
}

struct Attempt {
    bool began = false;
    vl_rc result = 0;
    long allocations = 0; // made during the call
    long live_change = 0; // left allocated by the whole run, board and logger gone
    size_t lines = 0;
    bool closed = false;
    size_t open_handles = 0;
};

// One call along a path, with allocation number fail_number (1 = the call's
// first; 0: none) failing. The run starts and ends without board or logger,
// so whatever it leaves allocated is a leak. The virtual platform's own
// allocations during the call are numbered too: one of them failing is an
// exception from below the library's boundary, which the frame must stop.
Attempt run(const ExportCase& c, Path path, long fail_number) {
    Attempt outcome;
    vlsim_reset();
    velnor_test::reset_log();
    const long live_before = live;
    {
        Scene scene;
        outcome.began = velnor_test::begin(scene, c);
        if (outcome.began) {
            if (path == Path::platform_failure) {
                vlsim_fail_call_at(1, failure_value(c.calls.front()));
            }
            const long start = allocations;
            fail_at = fail_number == 0 ? 0 : start + fail_number;
            outcome.result = path == Path::refused ? c.refused(scene) : c.call(scene);
            fail_at = 0;
            outcome.allocations = allocations - start;
            outcome.lines = velnor_test::read_log_lines().size();
            vlsim_clear_faults();
        }
        outcome.closed = velnor_test::finish(scene);
        outcome.open_handles = vlsim_open_handle_count();
    }
    velnor_test::reset_log();
    vlsim_reset();
    outcome.live_change = live - live_before;
    return outcome;
}

// Runs first: the process's first failures build the log's context, and its
// failed builds are tried again.
TEST(FirstFailureOfTheProcess, SurvivesEveryFailingAllocationOfTheLogsCreation) {
    for (long n = 1;; ++n) {
        velnor_test::reset_log();
        const long start = allocations;
        fail_at = start + n;
        const vl_rc result = vl_get_library_version(nullptr);
        fail_at = 0;
        const bool reached = allocations - start >= n;
        const size_t lines = velnor_test::read_log_lines().size();
        ASSERT_TRUE(result == VL_RC_NULL_PARAMETER || result == VL_RC_NO_MEMORY)
            << "allocation " << n << " gave " << result;
        ASSERT_LE(lines, 1u) << "allocation " << n;
        if (!reached) {
            break;
        }
    }
    velnor_test::reset_log();
    EXPECT_EQ(vl_get_library_version(nullptr), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(velnor_test::read_log_lines().size(), 1u);
}

class AllocationFaults : public velnor_test::LibraryTest,
                         public testing::WithParamInterface<ExportCase> {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        const vl_clock producible{VL_CLOCK_MODE_INTERNAL, {}, 125'000'000};
        vl_device_set_clock(nullptr, &producible); // builds the frequency table
        velnor_test::reset_log();
    }
};

TEST_P(AllocationFaults, EachFailingAllocationGivesNoMemoryOrTheCallsOwnCode) {
    const ExportCase& c = GetParam();
    for (const Path path : {Path::success, Path::refused, Path::platform_failure}) {
        if (path == Path::platform_failure && c.calls.empty()) {
            continue;
        }
        const vl_rc own = path == Path::success   ? VL_RC_SUCCESS
                          : path == Path::refused ? c.refused_code
                                                  : VL_RC_FAILED;
        run(c, path, 0); // first use of the platform's and the test's own storage
        const Attempt counted = run(c, path, 0);
        ASSERT_TRUE(counted.began);
        ASSERT_EQ(counted.result, own) << path_name(path);
        EXPECT_EQ(counted.live_change, 0) << path_name(path) << ": allocations left behind";
        for (long n = 1; n <= counted.allocations; ++n) {
            SCOPED_TRACE(testing::Message() << path_name(path) << ", allocation " << n << " of "
                                            << counted.allocations);
            const Attempt outcome = run(c, path, n);
            ASSERT_TRUE(outcome.began);
            EXPECT_GE(outcome.allocations, n);
            if (path == Path::success) {
                EXPECT_EQ(outcome.result, VL_RC_NO_MEMORY);
            } else {
                EXPECT_TRUE(outcome.result == own || outcome.result == VL_RC_NO_MEMORY)
                    << outcome.result;
            }
            // The no-memory line is written with the allocations after the failed one.
            if (outcome.result == VL_RC_NO_MEMORY) {
                EXPECT_EQ(outcome.lines, 1u);
            } else {
                EXPECT_LE(outcome.lines, 1u);
            }
            EXPECT_EQ(outcome.live_change, 0) << "allocations left behind";
            EXPECT_TRUE(outcome.closed);
            EXPECT_EQ(outcome.open_handles, 0u);
        }
    }
    // The logger is made afresh after all that.
    velnor_test::reset_log();
    EXPECT_EQ(vl_get_library_version(nullptr), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(velnor_test::read_log_lines().size(), 1u);
}

std::string case_name(const testing::TestParamInfo<ExportCase>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(EveryExport, AllocationFaults,
                         testing::ValuesIn(velnor_test::export_cases()), case_name);

} // namespace

namespace {

// The record is the open's first allocation; when it fails, the line names
// the record, whole, and no board is touched.
TEST(DeviceRecordAllocation, FailingRecordIsNamedInTheLine) {
    vlsim_reset();
    vlsim_add_board(nullptr);
    velnor_test::reset_log();
    ASSERT_EQ(vl_device_close(nullptr), VL_RC_NULL_PARAMETER); // the logger exists from here
    vl_device* device = nullptr;
    fail_at = allocations + 1;
    const vl_rc result = vl_device_open(0, &device);
    fail_at = 0;
    EXPECT_EQ(result, VL_RC_NO_MEMORY);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(vlsim_open_handle_count(), 0u);
    const std::vector<std::string> lines = velnor_test::read_log_lines();
    ASSERT_EQ(lines.size(), 2u);
    const std::string marker = "[error] ";
    EXPECT_EQ(lines[1].substr(lines[1].find(marker) + marker.size()),
              "[vl_device_open] Error: Velnor:-6, Could not allocate vl_device: no_memory");
    velnor_test::reset_log();
    vlsim_reset();
}

} // namespace
