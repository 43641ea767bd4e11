// install_driver <inf> <boards>: installs the virtual board driver from its
// .inf the way the device installer does for a root-enumerated device:
// creates the device instances ROOT\VELNOR\0000, 0001, ... with the hardware
// id Root\VELNOR, registers them, then has the driver installed for that id
// (copies velnor_board.sys, adds the velnor_board service, binds the
// devices). Used by the end-to-end run under Wine; on Windows it needs
// administrator rights and a test-signed driver package.
#include <windows.h>
// windows.h must come first.
#include <newdev.h>
#include <setupapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

const GUID system_class = {
    0x4d36e97d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
const wchar_t hardware_ids[] = L"Root\\VELNOR\0"; // a multi-string: one id, two NULs

class device_info_list_t {
public:
    device_info_list_t() : set_(SetupDiCreateDeviceInfoList(&system_class, nullptr)) {}
    ~device_info_list_t() {
        if (set_ != INVALID_HANDLE_VALUE) {
            SetupDiDestroyDeviceInfoList(set_);
        }
    }
    device_info_list_t(const device_info_list_t&) = delete;
    device_info_list_t& operator=(const device_info_list_t&) = delete;
    HDEVINFO get() const { return set_; }

private:
    HDEVINFO set_;
};

std::wstring instance_id(unsigned index) {
    wchar_t id[32];
    std::swprintf(id, 32, L"ROOT\\VELNOR\\%04u", index);
    return id;
}

int fail(const char* step, const wchar_t* what) {
    DWORD error = GetLastError();
    std::fprintf(stderr, "install_driver: %s failed for %ls: error %lu (0x%08lx)\n", step, what,
                 error, error);
    return 1;
}

int register_device(unsigned index) {
    const std::wstring id = instance_id(index);
    const wchar_t* instance = id.c_str();
    device_info_list_t set;
    if (set.get() == INVALID_HANDLE_VALUE) {
        return fail("SetupDiCreateDeviceInfoList", instance);
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!SetupDiCreateDeviceInfoW(set.get(), instance, &system_class, L"Velnor virtual board",
                                  nullptr, 0, &device)) {
        return fail("SetupDiCreateDeviceInfoW", instance);
    }
    if (!SetupDiSetDeviceRegistryPropertyW(set.get(), &device, SPDRP_HARDWAREID,
                                           reinterpret_cast<const BYTE*>(hardware_ids),
                                           sizeof hardware_ids)) {
        return fail("SetupDiSetDeviceRegistryPropertyW", instance);
    }
    if (!SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set.get(), &device)) {
        return fail("DIF_REGISTERDEVICE", instance);
    }
    std::printf("install_driver: registered %ls\n", instance);
    return 0;
}

// The service the device is bound to, or "" if none: Wine reports success
// for an .inf that matches no device, so the result is checked here.
std::wstring bound_service(unsigned index) {
    device_info_list_t set;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (set.get() == INVALID_HANDLE_VALUE ||
        !SetupDiOpenDeviceInfoW(set.get(), instance_id(index).c_str(), nullptr, 0, &device)) {
        return L"";
    }
    wchar_t service[64] = L"";
    if (!SetupDiGetDeviceRegistryPropertyW(set.get(), &device, SPDRP_SERVICE, nullptr,
                                           reinterpret_cast<BYTE*>(service), sizeof service - 2,
                                           nullptr)) {
        return L"";
    }
    return service;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: install_driver <velnor_board.inf> <boards>\n");
        return 2;
    }
    wchar_t full_inf[MAX_PATH];
    if (GetFullPathNameW(argv[1], MAX_PATH, full_inf, nullptr) == 0) {
        return fail("GetFullPathNameW", argv[1]);
    }
    wchar_t* end = nullptr;
    unsigned long boards = std::wcstoul(argv[2], &end, 10);
    if (end == argv[2] || *end != L'\0' || boards < 1 || boards > 9999) {
        std::fprintf(stderr, "install_driver: <boards> must be 1 to 9999\n");
        return 2;
    }
    for (unsigned i = 0; i < boards; ++i) {
        if (register_device(i) != 0) {
            return 1;
        }
    }
    BOOL reboot = FALSE;
    if (!UpdateDriverForPlugAndPlayDevicesW(nullptr, L"Root\\VELNOR", full_inf, INSTALLFLAG_FORCE,
                                            &reboot)) {
        return fail("UpdateDriverForPlugAndPlayDevicesW", full_inf);
    }
    for (unsigned i = 0; i < boards; ++i) {
        if (bound_service(i) != L"velnor_board") {
            std::fprintf(stderr,
                         "install_driver: ROOT\\VELNOR\\%04u is not bound to the velnor_board "
                         "service: %ls installs no driver for Root\\VELNOR\n",
                         i, full_inf);
            return 1;
        }
    }
    std::printf("install_driver: %ls installed for Root\\VELNOR%s\n", full_inf,
                reboot ? " (a restart is needed)" : "");
    return 0;
}
