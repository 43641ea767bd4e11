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

// Every value of the configuration manager's table against the name the
// SDK gives it, written out here from the SDK's constants, one by one.
TEST(ConfigretName, GivesEachOfTheSixtyValuesItsOwnName) {
    const char* const expected[] = {
        "success",                  // 0x00 CR_SUCCESS
        "dflt",                     // 0x01 CR_DEFAULT
        "out_of_memory",            // 0x02
        "invalid_pointer",          // 0x03
        "invalid_flag",             // 0x04
        "invalid_devnode",          // 0x05 (also CR_INVALID_DEVINST)
        "invalid_res_des",          // 0x06
        "invalid_log_conf",         // 0x07
        "invalid_arbitrator",       // 0x08
        "invalid_nodelist",         // 0x09
        "devnode_has_reqs",         // 0x0A
        "invalid_resourceid",       // 0x0B
        "dlvxd_not_found",          // 0x0C
        "no_such_devnode",          // 0x0D
        "no_more_log_conf",         // 0x0E
        "no_more_res_des",          // 0x0F
        "already_such_devnode",     // 0x10
        "invalid_range_list",       // 0x11
        "invalid_range",            // 0x12
        "failure",                  // 0x13
        "no_such_logical_dev",      // 0x14
        "create_blocked",           // 0x15
        "not_system_vm",            // 0x16
        "remove_vetoed",            // 0x17
        "apm_vetoed",               // 0x18
        "invalid_load_type",        // 0x19
        "buffer_small",             // 0x1A
        "no_arbitrator",            // 0x1B
        "no_registry_handle",       // 0x1C
        "registry_error",           // 0x1D
        "invalid_device_id",        // 0x1E
        "invalid_data",             // 0x1F
        "invalid_api",              // 0x20
        "devloader_not_ready",      // 0x21
        "need_restart",             // 0x22
        "no_more_hw_profiles",      // 0x23
        "device_not_there",         // 0x24
        "no_such_value",            // 0x25
        "wrong_type",               // 0x26
        "invalid_priority",         // 0x27
        "not_disableable",          // 0x28
        "free_resources",           // 0x29
        "query_vetoed",             // 0x2A
        "cant_share_irq",           // 0x2B
        "no_dependent",             // 0x2C
        "same_resources",           // 0x2D
        "no_such_registry_key",     // 0x2E
        "invalid_machinename",      // 0x2F
        "remote_comm_failure",      // 0x30
        "machine_unavailable",      // 0x31
        "no_cm_services",           // 0x32
        "access_denied",            // 0x33
        "call_not_implemented",     // 0x34
        "invalid_property",         // 0x35
        "device_interface_active",  // 0x36
        "no_such_device_interface", // 0x37
        "invalid_reference_string", // 0x38
        "invalid_conflict_list",    // 0x39
        "invalid_index",            // 0x3A
        "invalid_structure_size",   // 0x3B
    };
    static_assert(sizeof expected / sizeof expected[0] == 60);
    for (CONFIGRET value = 0; value < 60; ++value) {
        EXPECT_STREQ(velnor::configret_name(value), expected[value]) << "0x" << std::hex << value;
    }
}

} // namespace
