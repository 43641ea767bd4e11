#include "velnor_sim.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

const size_t boardsAtProcessStart = vlsim_board_count();

// Written out here rather than taken from the protocol header, so the test
// catches a change of the class on either side.
constexpr vlsim_guid kBoardClass = {
    0x2CFB54E9u, 0xA1BBu, 0x4A3Cu, {0x92, 0x52, 0xCA, 0x9B, 0x7E, 0x95, 0xB2, 0xE5}};
constexpr vlsim_guid kOtherClass = {0x12345678u, 0x1234u, 0x5678u, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr uint32_t kGetDriverVersion = 0, kSetLed = 8, kGetLed = 7, kGetSerial = 17;
constexpr size_t kVersionReply = 4 + 44;
void* const kInvalidHandle = reinterpret_cast<void*>(static_cast<intptr_t>(-1));

uint32_t code(uint32_t fn) {
    return 0x222000u + 4u * fn;
}

uint32_t get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::wstring pathOf(int id) {
    wchar_t buffer[128];
    EXPECT_GT(vlsim_board_path(id, buffer, 128), 0);
    return buffer;
}

uint32_t sizeQuery(const vlsim_guid& guid = kBoardClass) {
    uint32_t length = 0xDEAD;
    EXPECT_EQ(vlsim_CM_Get_Device_Interface_List_SizeA(&length, &guid, nullptr, 0),
              VLSIM_CR_SUCCESS);
    return length;
}

std::wstring fetch(uint32_t length, const vlsim_guid& guid = kBoardClass) {
    std::wstring list(length, L'#');
    EXPECT_EQ(vlsim_CM_Get_Device_Interface_ListW(&guid, nullptr, list.data(), length, 0),
              VLSIM_CR_SUCCESS);
    return list;
}

void* open(int id) {
    return vlsim_CreateFileW(pathOf(id).c_str(), 0xC0000000u, 3, nullptr, 3, 0, nullptr);
}

struct Reply {
    int ok = 0;
    uint32_t returned = 0xFFFFFFFF;
    uint32_t error = 0;
    std::vector<uint8_t> out;
};

Reply request(void* handle, uint32_t ioctl, std::vector<uint8_t> in, uint32_t outLength,
              size_t bufferSize = 64) {
    Reply r;
    r.out.assign(bufferSize, 0xAA);
    r.ok = vlsim_DeviceIoControl(handle, ioctl, in.empty() ? nullptr : in.data(),
                                 static_cast<uint32_t>(in.size()), r.out.data(), outLength,
                                 &r.returned, nullptr);
    r.error = r.ok ? 0 : vlsim_GetLastError();
    return r;
}

class SimTest : public ::testing::Test {
protected:
    void SetUp() override { vlsim_reset(); }
    void TearDown() override { vlsim_reset(); }
};

TEST(SimStartTest, ProcessStartsWithOneDefaultBoard) {
    EXPECT_EQ(boardsAtProcessStart, 1u);
}

TEST_F(SimTest, ResetLeavesNoBoardAndTheSizeQueryReportsTheFinalNulAlone) {
    EXPECT_EQ(vlsim_board_count(), 0u);
    EXPECT_EQ(sizeQuery(), 1u);
    EXPECT_EQ(fetch(1), std::wstring(1, L'\0'));
}

TEST_F(SimTest, BoardPathsCarryTheIdAsFourDigits) {
    EXPECT_EQ(vlsim_add_board(nullptr), 0);
    EXPECT_EQ(vlsim_add_board(nullptr), 1);
    EXPECT_EQ(pathOf(0), L"\\\\?\\ROOT#VELNOR#0000#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}");
    EXPECT_EQ(pathOf(1), L"\\\\?\\ROOT#VELNOR#0001#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}");
    EXPECT_EQ(vlsim_board_path(2, nullptr, 0), -1);
}

TEST_F(SimTest, ListHoldsEveryPathNulEndedPlusAFinalNul) {
    vlsim_add_board(nullptr);
    vlsim_add_board(nullptr);
    const std::wstring expected = pathOf(0) + L'\0' + pathOf(1) + L'\0' + L'\0';
    ASSERT_EQ(sizeQuery(), expected.size());
    EXPECT_EQ(fetch(static_cast<uint32_t>(expected.size())), expected);
}

TEST_F(SimTest, RemovedBoardLeavesTheListAndIdsAreNotReused) {
    vlsim_add_board(nullptr);
    vlsim_add_board(nullptr);
    EXPECT_EQ(vlsim_remove_board(0), 0);
    EXPECT_EQ(vlsim_remove_board(0), -1);
    EXPECT_EQ(vlsim_add_board(nullptr), 2);
    const std::wstring expected = pathOf(1) + L'\0' + pathOf(2) + L'\0' + L'\0';
    EXPECT_EQ(fetch(sizeQuery()), expected);
}

TEST_F(SimTest, OtherInterfaceClassesAreEmptyAndNullPointersAreRefused) {
    vlsim_add_board(nullptr);
    EXPECT_EQ(sizeQuery(kOtherClass), 1u);
    EXPECT_EQ(fetch(1, kOtherClass), std::wstring(1, L'\0'));
    uint32_t length = 0;
    EXPECT_EQ(vlsim_CM_Get_Device_Interface_List_SizeA(&length, nullptr, nullptr, 0),
              VLSIM_CR_INVALID_POINTER);
    EXPECT_EQ(vlsim_CM_Get_Device_Interface_List_SizeA(nullptr, &kBoardClass, nullptr, 0),
              VLSIM_CR_INVALID_POINTER);
}

TEST_F(SimTest, FetchIntoAShortBufferAnswersBufferSmallAndLeavesItUntouched) {
    vlsim_add_board(nullptr);
    const uint32_t length = sizeQuery();
    std::wstring list(length - 1, L'#');
    EXPECT_EQ(
        vlsim_CM_Get_Device_Interface_ListW(&kBoardClass, nullptr, list.data(), length - 1, 0),
        VLSIM_CR_BUFFER_SMALL);
    EXPECT_EQ(list, std::wstring(length - 1, L'#'));
}

TEST_F(SimTest, RawListReplacesOnlyTheNextSizeQueryAndFetch) {
    vlsim_add_board(nullptr);
    const wchar_t raw[] = {L'A', L'\0', L'\0', L'B', L'\0'};
    vlsim_set_next_list_raw(raw, 5);
    EXPECT_EQ(sizeQuery(), 5u);
    EXPECT_EQ(fetch(6), std::wstring(raw, 5) + L'#');
    EXPECT_EQ(sizeQuery(), pathOf(0).size() + 2);
}

TEST_F(SimTest, RawListLongerThanTheBufferAnswersBufferSmall) {
    const wchar_t raw[] = {L'A', L'\0', L'B', L'\0'};
    vlsim_set_next_list_raw(raw, 4);
    std::wstring list(3, L'#');
    EXPECT_EQ(vlsim_CM_Get_Device_Interface_ListW(&kBoardClass, nullptr, list.data(), 3, 0),
              VLSIM_CR_BUFFER_SMALL);
}

TEST_F(SimTest, BoardArrivingBetweenSizeQueryAndFetchMakesTheFetchAnswerBufferSmall) {
    vlsim_add_board(nullptr);
    vlsim_board_config config;
    vlsim_default_board_config(&config);
    EXPECT_STREQ(config.serial, "VLN-SIM-0001");
    vlsim_add_board_before_next_fetch(&config);
    const uint32_t length = sizeQuery();
    EXPECT_EQ(vlsim_board_count(), 2u);
    std::wstring list(length, L'#');
    EXPECT_EQ(vlsim_CM_Get_Device_Interface_ListW(&kBoardClass, nullptr, list.data(), length, 0),
              VLSIM_CR_BUFFER_SMALL);
    EXPECT_EQ(sizeQuery(), 2 * (pathOf(0).size() + 1) + 1);
}

TEST_F(SimTest, ListFaultsAnswerTheGivenConfigret) {
    uint32_t length = 0;
    vlsim_fail_next(VLSIM_CALL_LIST_SIZE, 0x13);
    EXPECT_EQ(vlsim_CM_Get_Device_Interface_List_SizeA(&length, &kBoardClass, nullptr, 0), 0x13u);
    vlsim_fail_next(VLSIM_CALL_LIST_FETCH, 0xFFFFFFFFu);
    wchar_t buffer[4];
    EXPECT_EQ(vlsim_CM_Get_Device_Interface_ListW(&kBoardClass, nullptr, buffer, 4, 0),
              0xFFFFFFFFu);
    EXPECT_EQ(sizeQuery(), 1u);
}

TEST_F(SimTest, OpeningABoardGivesDistinctHandlesAndRecordsTheArguments) {
    vlsim_add_board(nullptr);
    void* a = open(0);
    void* b = open(0);
    for (void* h : {a, b}) {
        EXPECT_NE(h, nullptr);
        EXPECT_NE(h, kInvalidHandle);
    }
    EXPECT_NE(a, b);
    EXPECT_EQ(vlsim_open_handle_count(), 2u);
    vlsim_open_record record;
    ASSERT_EQ(vlsim_last_open(&record), 0);
    EXPECT_EQ(std::wstring(record.path), pathOf(0));
    EXPECT_EQ(record.access, 0xC0000000u);
    EXPECT_EQ(record.share_mode, 3u);
    EXPECT_EQ(record.disposition, 3u);
    EXPECT_EQ(record.result, b);
    EXPECT_EQ(vlsim_CloseHandle(a), 1);
    EXPECT_EQ(vlsim_CloseHandle(b), 1);
    EXPECT_EQ(vlsim_open_handle_count(), 0u);
}

TEST_F(SimTest, OpenFailuresReportTheirError) {
    vlsim_add_board(nullptr);
    EXPECT_EQ(vlsim_CreateFileW(L"\\\\?\\ROOT#VELNOR#0009", 0, 0, nullptr, 3, 0, nullptr),
              kInvalidHandle);
    EXPECT_EQ(vlsim_GetLastError(), VLSIM_ERROR_FILE_NOT_FOUND);
    vlsim_fail_next(VLSIM_CALL_CREATE_FILE, 5);
    EXPECT_EQ(open(0), kInvalidHandle);
    EXPECT_EQ(vlsim_GetLastError(), 5u);
    vlsim_next_open_returns_null();
    EXPECT_EQ(open(0), nullptr);
    EXPECT_EQ(vlsim_open_handle_count(), 0u);
    EXPECT_NE(open(0), kInvalidHandle);
}

TEST_F(SimTest, ClosingAnUnknownOrClosedHandleFailsWithInvalidHandle) {
    vlsim_add_board(nullptr);
    void* h = open(0);
    ASSERT_EQ(vlsim_CloseHandle(h), 1);
    EXPECT_EQ(vlsim_CloseHandle(h), 0);
    EXPECT_EQ(vlsim_GetLastError(), VLSIM_ERROR_INVALID_HANDLE);
    EXPECT_EQ(vlsim_CloseHandle(nullptr), 0);
    EXPECT_EQ(vlsim_GetLastError(), VLSIM_ERROR_INVALID_HANDLE);
}

TEST_F(SimTest, FailedCloseLeavesTheHandleOpen) {
    vlsim_add_board(nullptr);
    void* h = open(0);
    vlsim_fail_next(VLSIM_CALL_CLOSE_HANDLE, 0x1F);
    EXPECT_EQ(vlsim_CloseHandle(h), 0);
    EXPECT_EQ(vlsim_GetLastError(), 0x1Fu);
    EXPECT_EQ(vlsim_open_handle_count(), 1u);
    EXPECT_EQ(request(h, code(kGetLed), {}, 8).ok, 1);
    EXPECT_EQ(vlsim_CloseHandle(h), 1);
}

TEST_F(SimTest, HandlesOpenedBeforeAResetAreForgotten) {
    vlsim_add_board(nullptr);
    void* h = open(0);
    vlsim_reset();
    vlsim_add_board(nullptr);
    EXPECT_EQ(request(h, code(kGetLed), {}, 8).error, VLSIM_ERROR_INVALID_HANDLE);
    EXPECT_EQ(vlsim_CloseHandle(h), 0);
    EXPECT_NE(open(0), h);
}

TEST_F(SimTest, RequestsOnARemovedBoardFailButItsHandleCloses) {
    vlsim_add_board(nullptr);
    void* h = open(0);
    vlsim_remove_board(0);
    EXPECT_EQ(request(h, code(kGetLed), {}, 8).error, VLSIM_ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(vlsim_CloseHandle(h), 1);
}

TEST_F(SimTest, TransportChecksRefuseBadRequests) {
    vlsim_add_board(nullptr);
    void* h = open(0);
    struct Case {
        uint32_t ioctl;
        std::vector<uint8_t> in;
        uint32_t outLength;
        uint32_t error;
    } cases[] = {
        {code(18), {}, 64, VLSIM_ERROR_INVALID_FUNCTION},
        {code(0) + 1, {}, 64, VLSIM_ERROR_INVALID_FUNCTION},
        {code(0) - 4, {}, 64, VLSIM_ERROR_INVALID_FUNCTION},
        {code(kGetDriverVersion), {}, kVersionReply - 1, VLSIM_ERROR_INSUFFICIENT_BUFFER},
        {code(kSetLed), {1, 0}, 4, VLSIM_ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        const Reply r = request(h, c.ioctl, c.in, c.outLength);
        EXPECT_EQ(r.ok, 0) << std::hex << c.ioctl;
        EXPECT_EQ(r.error, c.error) << std::hex << c.ioctl;
        EXPECT_EQ(r.out, std::vector<uint8_t>(64, 0xAA));
    }
    EXPECT_EQ(request(h, code(17), {}, 36).ok, 1);
}

TEST_F(SimTest, ReplyIsCopiedUpToBytesReturnedOnly) {
    vlsim_add_board(nullptr);
    const Reply r = request(open(0), code(kGetDriverVersion), {}, 64);
    ASSERT_EQ(r.ok, 1);
    EXPECT_EQ(r.returned, kVersionReply);
    EXPECT_EQ(get32(&r.out[0]), 0u);
    EXPECT_EQ(get32(&r.out[4]), 2u);
    EXPECT_EQ(get32(&r.out[8]), 4u);
    EXPECT_EQ(get32(&r.out[12]), 1u);
    EXPECT_STREQ(reinterpret_cast<const char*>(&r.out[16]), "2.4.1");
    EXPECT_EQ(std::vector<uint8_t>(r.out.begin() + kVersionReply, r.out.end()),
              std::vector<uint8_t>(64 - kVersionReply, 0xAA));
}

TEST_F(SimTest, BoardKeepsItsConfiguredSerialAndState) {
    vlsim_board_config config;
    vlsim_default_board_config(&config);
    std::memcpy(config.serial, "0123456789ABCDEF0123456789ABCDEF", 33);
    vlsim_add_board(&config);
    void* h = open(0);
    const Reply serial = request(h, code(kGetSerial), {}, 36);
    EXPECT_EQ(std::string(serial.out.begin() + 4, serial.out.begin() + 36), config.serial);
    EXPECT_EQ(request(h, code(kSetLed), {2, 0, 0, 0}, 4).ok, 1);
    EXPECT_EQ(get32(&request(h, code(kGetLed), {}, 8).out[4]), 2u);
}

TEST_F(SimTest, StatusSwitchAnswersWithoutReachingTheBoardUntilCleared) {
    vlsim_add_board(nullptr);
    void* h = open(0);
    vlsim_set_request_status(kSetLed, -9);
    for (int i = 0; i < 2; ++i) {
        const Reply r = request(h, code(kSetLed), {1, 0, 0, 0}, 4);
        ASSERT_EQ(r.ok, 1);
        EXPECT_EQ(r.returned, 4u);
        EXPECT_EQ(static_cast<int32_t>(get32(&r.out[0])), -9);
    }
    vlsim_set_request_status(kGetDriverVersion, 5);
    const Reply version = request(h, code(kGetDriverVersion), {}, 64);
    EXPECT_EQ(version.returned, kVersionReply);
    EXPECT_EQ(get32(&version.out[0]), 5u);
    EXPECT_EQ(version.out[4], 0);
    vlsim_clear_request_faults(kSetLed);
    EXPECT_EQ(get32(&request(h, code(kGetLed), {}, 8).out[4]), 0u);
}

TEST_F(SimTest, StatusWithPayloadSwitchCarriesTheRequestOut) {
    vlsim_add_board(nullptr);
    void* h = open(0);
    vlsim_set_request_status_with_payload(kSetLed, -3);
    EXPECT_EQ(static_cast<int32_t>(get32(&request(h, code(kSetLed), {1, 0, 0, 0}, 4).out[0])), -3);
    vlsim_set_request_status_with_payload(kGetDriverVersion, 7);
    const Reply r = request(h, code(kGetDriverVersion), {}, 64);
    EXPECT_EQ(get32(&r.out[0]), 7u);
    EXPECT_EQ(get32(&r.out[4]), 2u);
    EXPECT_EQ(get32(&request(h, code(kGetLed), {}, 8).out[4]), 1u);
}

TEST_F(SimTest, ReplyLengthSwitchCopiesOnlyThatManyBytes) {
    vlsim_add_board(nullptr);
    void* h = open(0);
    for (uint32_t n : {0u, 6u}) {
        vlsim_set_request_reply_length(kGetDriverVersion, n);
        const Reply r = request(h, code(kGetDriverVersion), {}, 64);
        ASSERT_EQ(r.ok, 1);
        EXPECT_EQ(r.returned, n);
        std::vector<uint8_t> expected(64, 0xAA);
        const uint8_t head[] = {0, 0, 0, 0, 2, 0};
        std::copy(head, head + n, expected.begin());
        EXPECT_EQ(r.out, expected);
    }
    vlsim_clear_faults();
    EXPECT_EQ(request(h, code(kGetDriverVersion), {}, 64).returned, kVersionReply);
}

TEST_F(SimTest, RequestFaultFailsWithTheGivenValue) {
    vlsim_add_board(nullptr);
    void* h = open(0);
    vlsim_fail_next(VLSIM_CALL_DEVICE_IO_CONTROL, 31);
    EXPECT_EQ(request(h, code(kGetLed), {}, 8).error, 31u);
    EXPECT_EQ(request(h, code(kGetLed), {}, 8).ok, 1);
}

TEST_F(SimTest, RequestLogRecordsEveryRequestUntilCleared) {
    vlsim_add_board(nullptr);
    void* h = open(0);
    request(h, code(kSetLed), {1, 0, 0, 0}, 4);
    request(h, code(99), {}, 8);
    ASSERT_EQ(vlsim_request_count(), 2u);
    vlsim_request_record first;
    ASSERT_EQ(vlsim_request_at(0, &first), 0);
    EXPECT_EQ(first.handle, h);
    EXPECT_EQ(first.code, code(kSetLed));
    EXPECT_EQ(first.in_length, 4u);
    EXPECT_EQ(first.in[0], 1);
    EXPECT_EQ(first.in_was_null, 0);
    EXPECT_EQ(first.out_length, 4u);
    EXPECT_EQ(first.bytes_returned, 4u);
    EXPECT_EQ(first.succeeded, 1);
    vlsim_request_record last;
    ASSERT_EQ(vlsim_last_request(&last), 0);
    EXPECT_EQ(last.in_was_null, 1);
    EXPECT_EQ(last.succeeded, 0);
    EXPECT_EQ(last.error, VLSIM_ERROR_INVALID_FUNCTION);
    EXPECT_EQ(vlsim_request_at(2, &last), -1);
    vlsim_clear_requests();
    EXPECT_EQ(vlsim_request_count(), 0u);
    EXPECT_EQ(vlsim_last_request(&last), -1);
}

TEST_F(SimTest, EveryCallIsCountedByKindAlsoWhenItFails) {
    vlsim_add_board(nullptr);
    fetch(sizeQuery());
    void* h = open(0);
    vlsim_CreateFileW(L"nowhere", 0, 0, nullptr, 3, 0, nullptr);
    request(h, code(kGetLed), {}, 8);
    vlsim_CloseHandle(h);
    vlsim_CloseHandle(h);
    EXPECT_EQ(vlsim_call_count(VLSIM_CALL_LIST_SIZE), 1u);
    EXPECT_EQ(vlsim_call_count(VLSIM_CALL_LIST_FETCH), 1u);
    EXPECT_EQ(vlsim_call_count(VLSIM_CALL_CREATE_FILE), 2u);
    EXPECT_EQ(vlsim_call_count(VLSIM_CALL_DEVICE_IO_CONTROL), 1u);
    EXPECT_EQ(vlsim_call_count(VLSIM_CALL_CLOSE_HANDLE), 2u);
    vlsim_reset();
    EXPECT_EQ(vlsim_call_count(VLSIM_CALL_CREATE_FILE), 0u);
}

TEST_F(SimTest, FailCallAtHitsTheNthCallWhateverItsKind) {
    vlsim_add_board(nullptr);
    vlsim_fail_call_at(3, 0x1A);
    sizeQuery();
    void* h = open(0);
    std::wstring list(100, L'#');
    EXPECT_EQ(vlsim_CM_Get_Device_Interface_ListW(&kBoardClass, nullptr, list.data(), 100, 0),
              0x1Au);
    vlsim_fail_call_at(1, 50);
    EXPECT_EQ(request(h, code(kGetLed), {}, 8).error, 50u);
    EXPECT_EQ(request(h, code(kGetLed), {}, 8).ok, 1);
}

TEST_F(SimTest, LastErrorBelongsToTheCallingThread) {
    EXPECT_EQ(vlsim_CloseHandle(nullptr), 0);
    uint32_t other = 0;
    std::thread([&] {
        vlsim_CreateFileW(L"nowhere", 0, 0, nullptr, 3, 0, nullptr);
        other = vlsim_GetLastError();
    }).join();
    EXPECT_EQ(other, VLSIM_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(vlsim_GetLastError(), VLSIM_ERROR_INVALID_HANDLE);
}

TEST_F(SimTest, ConcurrentCallersSeeConsistentState) {
    for (int i = 0; i < 4; ++i) {
        vlsim_add_board(nullptr);
    }
    constexpr int kThreads = 8, kRounds = 200;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRounds; ++i) {
                void* h = open(t % 4);
                const uint8_t led = static_cast<uint8_t>(i % 3);
                if (request(h, code(kSetLed), {led, 0, 0, 0}, 4).ok != 1 ||
                    request(h, code(kGetLed), {}, 8).ok != 1 || vlsim_CloseHandle(h) != 1 ||
                    fetch(sizeQuery()).size() != 4 * (pathOf(0).size() + 1) + 1) {
                    ++failures;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(vlsim_open_handle_count(), 0u);
    EXPECT_EQ(vlsim_request_count(), size_t{2 * kThreads * kRounds});
    EXPECT_EQ(vlsim_call_count(VLSIM_CALL_CREATE_FILE), uint64_t{kThreads * kRounds});
}

} // namespace

namespace {

// Every value with a text reads as Windows' own message table words it (US
// English, final full stop kept); every other value gets the one fallback.
// All values up to 0xFFFF are walked, so a text given to the wrong value, a
// text missing or one too many all fail.
TEST(SimErrorText, GivesWindowsOwnWordsForEachValueAndTheFallbackForAllOthers) {
    const std::map<uint32_t, std::string> windows = {
        {0, "The operation completed successfully."},
        {1, "Incorrect function."},
        {2, "The system cannot find the file specified."},
        {3, "The system cannot find the path specified."},
        {4, "The system cannot open the file."},
        {5, "Access is denied."},
        {6, "The handle is invalid."},
        {8, "Not enough memory resources are available to process this command."},
        {14, "Not enough memory resources are available to complete this operation."},
        {21, "The device is not ready."},
        {31, "A device attached to the system is not functioning."},
        {32, "The process cannot access the file because it is being used by another process."},
        {50, "The request is not supported."},
        {87, "The parameter is incorrect."},
        {121, "The semaphore timeout period has expired."},
        {122, "The data area passed to a system call is too small."},
        {234, "More data is available."},
        {995, "The I/O operation has been aborted because of either a thread exit or an "
              "application request."},
        {998, "Invalid access to memory location."},
        {1113, "No mapping for the Unicode character exists in the target multi-byte code page."},
        {1167, "The device is not connected."},
        {1450, "Insufficient system resources exist to complete the requested service."},
        {1460, "This operation returned because the timeout period expired."},
        {1784, "The supplied user buffer is not valid for the requested operation."},
    };
    for (uint32_t value = 0; value <= 0xFFFFu; ++value) {
        const auto found = windows.find(value);
        ASSERT_EQ(vlsim_error_text(value), found != windows.end() ? found->second : "unknown error")
            << value;
    }
    EXPECT_STREQ(vlsim_error_text(0xFFFFFFFFu), "unknown error");
}

} // namespace
