// The library's own request table and interface class, written from the
// driver's documentation, against the board's protocol header: a change on
// either side shows up here.
#include "device/discovery.h"
#include "device/transport.h"

#include <velnor_board_protocol.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

struct request_pair {
    velnor::request library;
    std::uint32_t protocol;
    const char* name;
};

// Paired by name, so a renumbering on one side alone breaks a row.
const request_pair request_pairs[] = {
    {velnor::request::get_driver_version, VLB_REQ_GET_DRIVER_VERSION, "get_driver_version"},
    {velnor::request::get_firmware_version, VLB_REQ_GET_FIRMWARE_VERSION, "get_firmware_version"},
    {velnor::request::update_start, VLB_REQ_UPDATE_START, "update_start"},
    {velnor::request::update_get_status, VLB_REQ_UPDATE_STATUS, "update_get_status"},
    {velnor::request::update_write, VLB_REQ_UPDATE_WRITE, "update_write"},
    {velnor::request::update_complete, VLB_REQ_UPDATE_COMPLETE, "update_complete"},
    {velnor::request::update_reset, VLB_REQ_UPDATE_RESET, "update_reset"},
    {velnor::request::get_id_led_state, VLB_REQ_GET_LED, "get_id_led_state"},
    {velnor::request::set_id_led_state, VLB_REQ_SET_LED, "set_id_led_state"},
    {velnor::request::get_trigger_polarity, VLB_REQ_GET_TRIGGER_POLARITY, "get_trigger_polarity"},
    {velnor::request::set_trigger_polarity, VLB_REQ_SET_TRIGGER_POLARITY, "set_trigger_polarity"},
    {velnor::request::get_trigger_status, VLB_REQ_GET_TRIGGER_STATUS, "get_trigger_status"},
    {velnor::request::set_trigger_status, VLB_REQ_SET_TRIGGER_STATUS, "set_trigger_status"},
    {velnor::request::get_clock, VLB_REQ_GET_CLOCK, "get_clock"},
    {velnor::request::set_clock, VLB_REQ_SET_CLOCK, "set_clock"},
    {velnor::request::ad9516_reg_write, VLB_REQ_REG_WRITE, "ad9516_reg_write"},
    {velnor::request::ad9516_reg_read, VLB_REQ_REG_READ, "ad9516_reg_read"},
    {velnor::request::get_serial, VLB_REQ_GET_SERIAL, "get_serial"},
};

TEST(ProtocolTable, EveryRequestHasTheProtocolsNumberCodeAndLengths) {
    ASSERT_EQ(std::size(request_pairs), std::size_t{VLB_REQUEST_COUNT});
    for (const request_pair& pair : request_pairs) {
        SCOPED_TRACE(pair.name);
        const auto fn = static_cast<std::uint32_t>(pair.library);
        ASSERT_EQ(fn, pair.protocol);
        ASSERT_LT(fn, velnor::request_table.size());
        EXPECT_EQ(velnor::control_code(fn), VLB_CONTROL_CODE(pair.protocol));
        EXPECT_EQ(static_cast<int>(velnor::request_table[fn].input_length),
                  vlb_request_input_length(pair.protocol));
        EXPECT_EQ(static_cast<int>(velnor::request_table[fn].payload_length),
                  vlb_request_payload_length(pair.protocol));
    }
}

TEST(ProtocolTable, TheLibraryKnowsExactlyTheProtocolsRequests) {
    EXPECT_EQ(velnor::request_table.size(), std::size_t{VLB_REQUEST_COUNT});
    EXPECT_EQ(vlb_request_input_length(VLB_REQUEST_COUNT), -1);
    EXPECT_EQ(vlb_request_payload_length(VLB_REQUEST_COUNT), -1);
    EXPECT_EQ(velnor::status_word_size, std::size_t{VLB_STATUS_WORD_SIZE});
    EXPECT_EQ(velnor::max_reply_size, std::size_t{VLB_REPLY_MAX});
}

TEST(ProtocolTable, TheInterfaceClassIsTheProtocols) {
    const GUID protocol = VLB_INTERFACE_CLASS_INIT;
    const GUID& library = velnor::board_interface_guid;
    EXPECT_EQ(library.Data1, protocol.Data1);
    EXPECT_EQ(library.Data2, protocol.Data2);
    EXPECT_EQ(library.Data3, protocol.Data3);
    EXPECT_EQ(std::memcmp(library.Data4, protocol.Data4, sizeof protocol.Data4), 0);
}

} // namespace
