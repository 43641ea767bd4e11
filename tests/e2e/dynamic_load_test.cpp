// Velnor.dll loaded at run time, as a C application without the import library would.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <set>
#include <string>

#include "velnor.h"

namespace e2e {
namespace {

const char* const export_names[] = {
    "vl_get_library_version",
    "vl_get_device_count",
    "vl_device_open",
    "vl_device_close",
    "vl_device_get_driver_version",
    "vl_device_get_firmware_version",
    "vl_device_get_serial",
    "vl_device_get_id_led_state",
    "vl_device_set_id_led_state",
    "vl_device_get_trigger_polarity",
    "vl_device_set_trigger_polarity",
    "vl_device_get_trigger_status",
    "vl_device_set_trigger_status",
    "vl_device_ad9516_reg_write",
    "vl_device_ad9516_reg_read",
    "vl_device_set_clock",
    "vl_device_get_clock",
    "vl_device_update_start_async",
    "vl_device_update_get_status",
    "vl_device_update_write",
    "vl_device_update_complete",
    "vl_device_update_reset",
};

// The names in the module's export directory.
std::set<std::string> exported_names(HMODULE module) {
    auto* base = reinterpret_cast<const unsigned char*>(module);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::set<std::string> result;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        result.insert(reinterpret_cast<const char*>(base + names[i]));
    }
    return result;
}

// As a C application casts the address GetProcAddress returns.
template <class Function> Function resolve(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

TEST(DynamicLoad, AllTwentyTwoExportsResolveAndWork) {
    HMODULE module = LoadLibraryW(L"Velnor.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(exported_names(module),
              std::set<std::string>(std::begin(export_names), std::end(export_names)));
    for (const char* name : export_names) {
        EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
    }

    auto get_version = resolve<decltype(&vl_get_library_version)>(module, "vl_get_library_version");
    auto get_count = resolve<decltype(&vl_get_device_count)>(module, "vl_get_device_count");
    auto open = resolve<decltype(&vl_device_open)>(module, "vl_device_open");
    auto close = resolve<decltype(&vl_device_close)>(module, "vl_device_close");
    auto set_led =
        resolve<decltype(&vl_device_set_id_led_state)>(module, "vl_device_set_id_led_state");
    auto get_led =
        resolve<decltype(&vl_device_get_id_led_state)>(module, "vl_device_get_id_led_state");
    ASSERT_TRUE(get_version && get_count && open && close && set_led && get_led);

    vl_version version{};
    ASSERT_EQ(get_version(&version), VL_RC_SUCCESS);
    EXPECT_STREQ(version.text, "1.0.2");
    size_t count = 0;
    ASSERT_EQ(get_count(&count), VL_RC_SUCCESS);
    EXPECT_EQ(count, 2u);
    vl_device* device = nullptr;
    ASSERT_EQ(open(1, &device), VL_RC_SUCCESS);
    uint32_t led = 99;
    EXPECT_EQ(set_led(device, 1), VL_RC_SUCCESS);
    EXPECT_EQ(get_led(device, &led), VL_RC_SUCCESS);
    EXPECT_EQ(led, 1u);
    EXPECT_EQ(set_led(device, 0), VL_RC_SUCCESS);
    EXPECT_EQ(close(device), VL_RC_SUCCESS);
    EXPECT_TRUE(FreeLibrary(module));
}

} // namespace
} // namespace e2e
