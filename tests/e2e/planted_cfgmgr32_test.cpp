// Run from a folder that also holds a made-up cfgmgr32.dll, as a download
// folder might, with the native DLL preferred (WINEDLLOVERRIDES=cfgmgr32=n,b):
// Velnor.dll still takes the configuration manager of the system folder (the
// harness's, installed there) and counts the installed boards, not the
// planted DLL's three. Selected by --planted-cfgmgr32; the main run skips it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "configuration_manager.h"
#include "driver_link.h"
#include "velnor.h"

namespace e2e {
namespace {

TEST(PlantedConfigurationManager, LibraryLoadsTheSystemFoldersNeverTheOneBesideTheApplication) {
    wchar_t exe[MAX_PATH] = {};
    const std::wstring beside =
        folder_text(std::wstring(exe, GetModuleFileNameW(nullptr, exe, MAX_PATH)), true);
    ASSERT_NE(GetFileAttributesW((beside + L"\\cfgmgr32.dll").c_str()), INVALID_FILE_ATTRIBUTES)
        << "this run needs the planted cfgmgr32.dll beside the binary";
    ASSERT_EQ(GetModuleHandleW(L"cfgmgr32.dll"), nullptr) << "loaded before Velnor.dll asked";

    size_t count = 99;
    ASSERT_EQ(vl_get_device_count(&count), VL_RC_SUCCESS);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(count, board_interface_paths().size());

    const HMODULE cfgmgr32 = GetModuleHandleW(L"cfgmgr32.dll");
    ASSERT_NE(cfgmgr32, nullptr);
    EXPECT_EQ(GetProcAddress(cfgmgr32, "velnor_e2e_planted"), nullptr);
    EXPECT_EQ(folder_of(cfgmgr32), system_folder());

    vl_device* handle = nullptr;
    ASSERT_EQ(vl_device_open(1, &handle), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_close(handle), VL_RC_SUCCESS);
}

} // namespace
} // namespace e2e
