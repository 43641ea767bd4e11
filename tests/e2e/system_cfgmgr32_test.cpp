// Run on Wine's own cfgmgr32.dll (WINEDLLOVERRIDES=cfgmgr32=b, while the
// harness's lies in the system folder), whose interface-list calls answer
// CR_FAILURE: discovery fails cleanly instead of crashing. Selected by
// --system-cfgmgr32; the main run skips this suite.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "configuration_manager.h"
#include "velnor.h"
#include "velnor_log.h"

namespace e2e {
namespace {

const char* const size_call = "Call to CM_Get_Device_Interface_List_Size( &list_length, &guid, "
                              "NULL, CM_GET_DEVICE_INTERFACE_LIST_PRESENT) failed with error "
                              "failure";

TEST(SystemConfigurationManager, RunsOnWinesOwnConfigurationManager) {
    HMODULE cfgmgr32 = configuration_manager_after_a_count();
    ASSERT_NE(cfgmgr32, nullptr);
    EXPECT_NE(GetProcAddress(cfgmgr32, "CM_Get_Device_ID_ListA"), nullptr)
        << "this run must not load the harness's cfgmgr32.dll";
}

TEST(SystemConfigurationManager, CountFailsAndNamesTheSizeQuery) {
    size_t count = 77;
    EXPECT_EQ(vl_get_device_count(&count), VL_RC_FAILED);
    EXPECT_EQ(count, 77u);
    const std::string message = last_log_message();
    EXPECT_EQ(message.rfind("[vl_get_device_count] Error: generic:", 0), 0u) << message;
    EXPECT_NE(message.find(size_call), std::string::npos) << message;
}

TEST(SystemConfigurationManager, OpenFailsWithoutCrashing) {
    vl_device* handle = reinterpret_cast<vl_device*>(0x1234);
    EXPECT_EQ(vl_device_open(0, &handle), VL_RC_FAILED);
    EXPECT_EQ(handle, reinterpret_cast<vl_device*>(0x1234));
    const std::string message = last_log_message();
    EXPECT_EQ(message.rfind("[vl_device_open] Error: generic:", 0), 0u) << message;
    EXPECT_NE(message.find(size_call), std::string::npos) << message;
}

} // namespace
} // namespace e2e
