// Finding the boards through the configuration manager.
#include "device/discovery.h"
#include "support/library_fixture.h"
#include "velnor_board_protocol.h"

#include <string>

namespace {

using velnor_test::LibraryTest;
using velnor_test::read_log_lines;

class Discovery : public LibraryTest {};

const char* const size_call = "CM_Get_Device_Interface_List_Size( &list_length, &guid, NULL, "
                              "CM_GET_DEVICE_INTERFACE_LIST_PRESENT)";
const char* const fetch_call = "CM_Get_Device_Interface_ListW(&guid, NULL, list.data(), "
                               "list_length, CM_GET_DEVICE_INTERFACE_LIST_PRESENT)";

TEST_F(Discovery, NoBoardGivesAnEmptyListFromASizeOfOne) {
    std::uint32_t length = 0;
    const vlsim_guid guid = VLB_INTERFACE_CLASS_INIT;
    ASSERT_EQ(vlsim_CM_Get_Device_Interface_List_SizeA(&length, &guid, nullptr, 0), 0u);
    EXPECT_EQ(length, 1u);
    size_t count = 99;
    ASSERT_EQ(vl_get_device_count(&count), VL_RC_SUCCESS);
    EXPECT_EQ(count, 0u);
}

TEST_F(Discovery, CountsThePresentBoardsAndFollowsArrivalAndRemoval) {
    add_board();
    const int second = add_board();
    add_board();
    size_t count = 0;
    ASSERT_EQ(vl_get_device_count(&count), VL_RC_SUCCESS);
    EXPECT_EQ(count, 3u);
    ASSERT_EQ(vlsim_remove_board(second), 0);
    ASSERT_EQ(vl_get_device_count(&count), VL_RC_SUCCESS);
    EXPECT_EQ(count, 2u);
}

TEST_F(Discovery, ListsPathsInTheConfigurationManagersOrder) {
    add_board();
    add_board();
    const std::vector<std::wstring> paths = velnor::list_device_paths(velnor::board_interface_guid);
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[0], L"\\\\?\\ROOT#VELNOR#0000#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}");
    EXPECT_EQ(paths[1], L"\\\\?\\ROOT#VELNOR#0001#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}");
}

TEST_F(Discovery, AnotherInterfaceClassHasNoBoards) {
    add_board();
    GUID other = velnor::board_interface_guid;
    other.Data4[7] ^= 1;
    EXPECT_TRUE(velnor::list_device_paths(other).empty());
}

struct RawList {
    const char* name;
    std::wstring chars;
    std::vector<std::wstring> paths;
};

class RawLists : public LibraryTest, public testing::WithParamInterface<RawList> {};

TEST_P(RawLists, SplitIntoNonEmptyPathsInOrder) {
    const RawList& list = GetParam();
    vlsim_set_next_list_raw(list.chars.data(), static_cast<std::uint32_t>(list.chars.size()));
    EXPECT_EQ(velnor::list_device_paths(velnor::board_interface_guid), list.paths);
    EXPECT_EQ(velnor::split_device_list(list.chars.data(), static_cast<ULONG>(list.chars.size())),
              list.paths);
}

using namespace std::string_literals;
INSTANTIATE_TEST_SUITE_P(Buffers, RawLists,
                         testing::Values(RawList{"WellFormed", L"A\0B\0\0"s, {L"A", L"B"}},
                                         RawList{"EmptyPieceInside", L"A\0\0B\0\0"s, {L"A", L"B"}},
                                         RawList{"NoFinalNul", L"A\0B\0"s, {L"A", L"B"}},
                                         RawList{"NoNulAtAll", L"AB"s, {L"AB"}},
                                         RawList{"OnlyNuls", L"\0\0\0"s, {}},
                                         RawList{"LeadingNul", L"\0A\0"s, {L"A"}},
                                         RawList{"Nothing", L""s, {}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ConfigretFailure {
    vlsim_call call;
    std::uint32_t result;
    std::string text; // what follows the call text
};

class ConfigretFailures : public LibraryTest,
                          public testing::WithParamInterface<ConfigretFailure> {};

TEST_P(ConfigretFailures, FailWithTheCallTextAndTheResultName) {
    const ConfigretFailure& failure = GetParam();
    add_board();
    vlsim_fail_next(failure.call, failure.result);
    size_t count = 77;
    EXPECT_EQ(vl_get_device_count(&count), VL_RC_FAILED);
    EXPECT_EQ(count, 77u);
    const std::string call = failure.call == VLSIM_CALL_LIST_SIZE ? size_call : fetch_call;
    const bool known = failure.result <= 0x3B;
    const std::string expected = std::string("Call to ") + call +
                                 (known ? " failed with error " : " returned invalid value ") +
                                 failure.text + ": " +
                                 std::generic_category().message(int(std::errc::not_supported));
    EXPECT_EQ(last_log_message(), "[vl_get_device_count] Error: generic:" +
                                      std::to_string(int(std::errc::not_supported)) + ", " +
                                      expected);
}

INSTANTIATE_TEST_SUITE_P(
    Results, ConfigretFailures,
    testing::Values(ConfigretFailure{VLSIM_CALL_LIST_SIZE, 0x01, "dflt"},
                    ConfigretFailure{VLSIM_CALL_LIST_SIZE, 0x3B, "invalid_structure_size"},
                    ConfigretFailure{VLSIM_CALL_LIST_SIZE, 0x3C, "60"},
                    ConfigretFailure{VLSIM_CALL_LIST_SIZE, 0xFFFFFFFF, "4294967295"},
                    ConfigretFailure{VLSIM_CALL_LIST_FETCH, 0x01, "dflt"},
                    ConfigretFailure{VLSIM_CALL_LIST_FETCH, 0x13, "failure"},
                    ConfigretFailure{VLSIM_CALL_LIST_FETCH, 0x3C, "60"},
                    ConfigretFailure{VLSIM_CALL_LIST_FETCH, 0xFFFFFFFF, "4294967295"}));

TEST_F(Discovery, ABoardArrivingBetweenSizeAndFetchFailsWithBufferSmall) {
    add_board();
    vlsim_add_board_before_next_fetch(nullptr);
    size_t count = 0;
    EXPECT_EQ(vl_get_device_count(&count), VL_RC_FAILED);
    EXPECT_NE(last_log_message().find(std::string(fetch_call) + " failed with error buffer_small"),
              std::string::npos);
    // No retry and no cache: the next call sees both boards.
    ASSERT_EQ(vl_get_device_count(&count), VL_RC_SUCCESS);
    EXPECT_EQ(count, 2u);
}

TEST_F(Discovery, NullCountFailsBeforeAnyConfigurationManagerCall) {
    EXPECT_EQ(vl_get_device_count(nullptr), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(vlsim_call_count(VLSIM_CALL_LIST_SIZE), 0u);
    EXPECT_EQ(vlsim_call_count(VLSIM_CALL_LIST_FETCH), 0u);
    EXPECT_NE(only_log_line().find("Velnor:-4, Count is null: null_parameter"), std::string::npos);
}

TEST(ConfigretName, NamesEveryResultAndFallsBackAboveTheTable) {
    const std::pair<CONFIGRET, const char*> names[] = {
        {0x00, "success"},         {0x01, "dflt"},
        {0x05, "invalid_devnode"}, {0x13, "failure"},
        {0x1A, "buffer_small"},    {0x1F, "invalid_data"},
        {0x33, "access_denied"},   {0x3B, "invalid_structure_size"},
        {0x3C, "invalid_rc"},      {0xFFFFFFFF, "invalid_rc"}};
    for (const auto& [value, name] : names) {
        EXPECT_STREQ(velnor::configret_name(value), name) << value;
    }
    for (CONFIGRET value = 0; value <= 0x3B; ++value) {
        const std::string name = velnor::configret_name(value);
        EXPECT_FALSE(name.empty());
        EXPECT_NE(name, "invalid_rc") << value;
    }
}

} // namespace
