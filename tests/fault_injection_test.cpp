// Every export against every failure the platform can give it, one call at
// a time: the configuration manager, CreateFileW, CloseHandle,
// DeviceIoControl and the driver's reply.
#include "support/export_cases.h"
#include "support/library_fixture.h"

#include <climits>
#include <functional>
#include <string>
#include <vector>

namespace {

using velnor_test::call_counts;
using velnor_test::call_kind_name;
using velnor_test::ExportCase;
using velnor_test::Scene;

using Counts = std::array<uint64_t, VLSIM_CALL_KIND_COUNT>;

// What one run of an export left behind.
struct Outcome {
    bool began = false;
    vl_rc result = 0;
    bool untouched = false;
    Counts calls{};
    std::vector<std::string> lines;
    bool closed = false;     // every handle still open after the call could be closed
    size_t open_handles = 0; // on the platform, after closing
};

// Runs the export once: arm switches the faults on just before the call.
Outcome run(const ExportCase& c, const std::function<void()>& arm) {
    Outcome outcome;
    Scene scene;
    velnor_test::reset_log();
    outcome.began = velnor_test::begin(scene, c);
    if (!outcome.began) {
        velnor_test::finish(scene);
        return outcome;
    }
    const Counts before = call_counts();
    scene.fill_outputs();
    arm();
    outcome.result = c.call(scene);
    const Counts after = call_counts();
    for (size_t kind = 0; kind < after.size(); ++kind) {
        outcome.calls[kind] = after[kind] - before[kind];
    }
    outcome.untouched = scene.outputs_untouched();
    outcome.lines = velnor_test::read_log_lines();
    vlsim_clear_faults();
    outcome.closed = velnor_test::finish(scene);
    outcome.open_handles = vlsim_open_handle_count();
    return outcome;
}

// The calls of each kind among the first n of a sequence.
Counts prefix_counts(const std::vector<vlsim_call>& sequence, size_t n) {
    Counts counts{};
    for (size_t i = 0; i < n; ++i) {
        ++counts[sequence[i]];
    }
    return counts;
}

struct Fault {
    const char* what;
    uint32_t value;
    bool null_handle; // CreateFileW returns null instead of failing
};

// The failures each kind of call can report.
std::vector<Fault> faults_of(vlsim_call kind) {
    switch (kind) {
    case VLSIM_CALL_LIST_SIZE:
    case VLSIM_CALL_LIST_FETCH:
        return {{"CR_BUFFER_SMALL", 0x1A, false},
                {"CR_FAILURE", 0x13, false},
                {"CR_OUT_OF_MEMORY", 0x02, false},
                {"first unnamed CONFIGRET", 0x3C, false},
                {"largest CONFIGRET", 0xFFFFFFFFu, false}};
    case VLSIM_CALL_CREATE_FILE:
        return {{"ERROR_ACCESS_DENIED", 5, false},
                {"ERROR_FILE_NOT_FOUND", 2, false},
                {"ERROR_SHARING_VIOLATION", 32, false},
                {"null handle", 0, true}};
    case VLSIM_CALL_CLOSE_HANDLE:
        return {{"ERROR_INVALID_HANDLE", 6, false}, {"ERROR_ACCESS_DENIED", 5, false}};
    case VLSIM_CALL_DEVICE_IO_CONTROL:
        return {{"ERROR_DEVICE_NOT_CONNECTED", 1167, false},
                {"ERROR_OPERATION_ABORTED", 995, false},
                {"ERROR_INSUFFICIENT_BUFFER", 122, false}};
    case VLSIM_CALL_KIND_COUNT:
        break;
    }
    return {};
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class FaultInjection : public velnor_test::LibraryTest,
                       public testing::WithParamInterface<ExportCase> {};

TEST_P(FaultInjection, SucceedsWithThePlatformCallsItPromisesAndNoLogLine) {
    const ExportCase& c = GetParam();
    const Outcome outcome = run(c, [] {});
    ASSERT_TRUE(outcome.began);
    EXPECT_EQ(outcome.result, VL_RC_SUCCESS);
    EXPECT_EQ(outcome.calls, prefix_counts(c.calls, c.calls.size()));
    EXPECT_TRUE(outcome.lines.empty()) << outcome.lines.front();
    EXPECT_TRUE(outcome.closed);
    EXPECT_EQ(outcome.open_handles, 0u);
}

TEST_P(FaultInjection, EachFailingPlatformCallGivesItsCodeOneLineAndNoLeftovers) {
    const ExportCase& c = GetParam();
    for (size_t n = 1; n <= c.calls.size(); ++n) {
        const vlsim_call kind = c.calls[n - 1];
        for (const Fault& fault : faults_of(kind)) {
            SCOPED_TRACE(testing::Message() << "call " << n << " (" << call_kind_name(kind)
                                            << ") fails with " << fault.what);
            const Outcome outcome = run(c, [&] {
                if (fault.null_handle) {
                    vlsim_next_open_returns_null();
                } else {
                    vlsim_fail_call_at(n, fault.value);
                }
            });
            ASSERT_TRUE(outcome.began);
            EXPECT_EQ(outcome.result, fault.null_handle ? VL_RC_INTERNAL_ERROR : VL_RC_FAILED);
            EXPECT_TRUE(outcome.untouched);
            EXPECT_EQ(outcome.calls, prefix_counts(c.calls, n)) << "calls after the failure";
            ASSERT_EQ(outcome.lines.size(), 1u);
            const std::string& line = outcome.lines.front();
            EXPECT_TRUE(contains(line, std::string("[") + c.name + "] Error: ")) << line;
            if (fault.null_handle) {
                EXPECT_TRUE(contains(line, "Velnor:-1, Could not open device")) << line;
            } else if (kind == VLSIM_CALL_LIST_SIZE || kind == VLSIM_CALL_LIST_FETCH) {
                EXPECT_TRUE(contains(line, "Error: generic:")) << line;
                EXPECT_TRUE(contains(line, std::string("Call to ") + call_kind_name(kind))) << line;
            } else {
                EXPECT_TRUE(contains(line, "Error: system:" + std::to_string(fault.value))) << line;
                EXPECT_TRUE(contains(line, call_kind_name(kind))) << line;
            }
            EXPECT_TRUE(outcome.closed) << "a handle left open could not be closed";
            EXPECT_EQ(outcome.open_handles, 0u);
        }
    }
}

TEST_P(FaultInjection, RefusedCallReachesNoPlatformCallAndWritesNothing) {
    const ExportCase& c = GetParam();
    Scene scene;
    ASSERT_TRUE(velnor_test::begin(scene, c));
    velnor_test::reset_log();
    const Counts before = call_counts();
    scene.fill_outputs();
    EXPECT_EQ(c.refused(scene), c.refused_code);
    EXPECT_EQ(call_counts(), before);
    EXPECT_TRUE(scene.outputs_untouched());
    EXPECT_EQ(velnor_test::read_log_lines().size(), 1u);
    EXPECT_TRUE(velnor_test::finish(scene));
    EXPECT_EQ(vlsim_open_handle_count(), 0u);
}

std::string case_name(const testing::TestParamInfo<ExportCase>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(EveryExport, FaultInjection,
                         testing::ValuesIn(velnor_test::export_cases()), case_name);

class DriverReplyFaults : public velnor_test::LibraryTest,
                          public testing::WithParamInterface<ExportCase> {};

TEST_P(DriverReplyFaults, EveryStatusWordIsTheResultWithOutputsUntouched) {
    const ExportCase& c = GetParam();
    const auto fn = static_cast<uint32_t>(c.request);
    for (const int32_t status : {-2, -8, -9, -10, -11, 5, INT32_MIN}) {
        for (const bool with_payload : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << "status " << status << (with_payload ? " with payload" : ""));
            const Outcome outcome = run(c, [&] {
                if (with_payload) {
                    vlsim_set_request_status_with_payload(fn, status);
                } else {
                    vlsim_set_request_status(fn, status);
                }
            });
            ASSERT_TRUE(outcome.began);
            EXPECT_EQ(outcome.result, status);
            EXPECT_TRUE(outcome.untouched);
            ASSERT_EQ(outcome.lines.size(), 1u);
            EXPECT_TRUE(
                contains(outcome.lines.front(), std::string("[") + c.name + "] Error: Velnor:" +
                                                    std::to_string(status) + ", IOCTL failed"))
                << outcome.lines.front();
            EXPECT_TRUE(outcome.closed);
            EXPECT_EQ(outcome.open_handles, 0u);
        }
    }
}

// The count of returned bytes is not examined: what the driver did not write
// reads as zero, so a reply without a status word is a success.
TEST_P(DriverReplyFaults, ShortAndEmptyRepliesReadAsSuccess) {
    const ExportCase& c = GetParam();
    const auto fn = static_cast<uint32_t>(c.request);
    struct Reply {
        uint32_t length;
        bool status_cut_off; // the board answered -9, none of it arrives
    };
    for (const Reply reply : {Reply{0, false}, Reply{4, false}, Reply{5, false}, Reply{0, true}}) {
        SCOPED_TRACE(testing::Message() << "reply of " << reply.length << " bytes"
                                        << (reply.status_cut_off ? ", status -9 cut off" : ""));
        const Outcome outcome = run(c, [&] {
            if (reply.status_cut_off) {
                vlsim_set_request_status_with_payload(fn, VL_RC_INVALID_DATA);
            }
            vlsim_set_request_reply_length(fn, reply.length);
        });
        ASSERT_TRUE(outcome.began);
        EXPECT_EQ(outcome.result, VL_RC_SUCCESS);
        EXPECT_TRUE(outcome.lines.empty()) << outcome.lines.front();
        EXPECT_TRUE(outcome.closed);
        EXPECT_EQ(outcome.open_handles, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryDeviceOperation, DriverReplyFaults,
                         testing::ValuesIn(velnor_test::device_operation_cases()), case_name);

} // namespace
