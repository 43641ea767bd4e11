// Reads the driver package's .inf through SetupAPI, as the device installer
// does, and checks what it would install: the root-enumerated board, its
// copy of velnor_board.sys, the kernel service and the board interface class.
#include <gtest/gtest.h>
#include <windows.h>
// windows.h must come first.
#include <setupapi.h>

#include <string>

namespace {

std::wstring windows_path(const char* unix_path) {
    std::wstring path = L"Z:";
    for (const char* p = unix_path; *p != '\0'; ++p) {
        path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    }
    return path;
}

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

std::string lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

class inf_file_t {
public:
    explicit inf_file_t(const std::wstring& path) {
        UINT error_line = 0;
        inf_ = SetupOpenInfFileW(path.c_str(), nullptr, INF_STYLE_WIN4, &error_line);
        if (inf_ == INVALID_HANDLE_VALUE) {
            error_ = GetLastError();
            error_line_ = error_line;
        }
    }
    ~inf_file_t() {
        if (inf_ != INVALID_HANDLE_VALUE) {
            SetupCloseInfFile(inf_);
        }
    }
    inf_file_t(const inf_file_t&) = delete;
    inf_file_t& operator=(const inf_file_t&) = delete;

    HINF get() const { return inf_; }
    bool open() const { return inf_ != INVALID_HANDLE_VALUE; }
    DWORD error() const { return error_; }
    UINT error_line() const { return error_line_; }

    // Field `field` of the line `key` in `section` (strings substituted), or
    // "<missing>".
    std::string value(const wchar_t* section, const wchar_t* key, DWORD field = 1) const {
        INFCONTEXT context;
        if (!SetupFindFirstLineW(inf_, section, key, &context)) {
            return "<missing>";
        }
        return field_of(context, field);
    }

    static std::string field_of(INFCONTEXT& context, DWORD field) {
        wchar_t text[512];
        DWORD size = 0;
        if (!SetupGetStringFieldW(&context, field, text, 512, &size)) {
            return "<missing>";
        }
        return narrow(text);
    }

    long line_count(const wchar_t* section) const { return SetupGetLineCountW(inf_, section); }

private:
    HINF inf_ = INVALID_HANDLE_VALUE;
    DWORD error_ = 0;
    UINT error_line_ = 0;
};

class DriverInf : public ::testing::Test {
protected:
    inf_file_t inf{windows_path(VELNOR_INF_PATH)};
    void SetUp() override {
        ASSERT_TRUE(inf.open()) << "SetupOpenInfFileW failed with " << inf.error() << " at line "
                                << inf.error_line();
    }
};

TEST_F(DriverInf, IsAWindowsNtInfOfTheSystemClass) {
    EXPECT_EQ(inf.value(L"Version", L"Signature"), "$Windows NT$");
    EXPECT_EQ(inf.value(L"Version", L"Class"), "System");
    EXPECT_EQ(lower(inf.value(L"Version", L"ClassGuid")), "{4d36e97d-e325-11ce-bfc1-08002be10318}");
    EXPECT_EQ(inf.value(L"Version", L"DriverVer", 2), "1.0.2.0") << "the package's version";
    EXPECT_EQ(inf.value(L"Version", L"CatalogFile"), "velnor_board.cat");

    GUID class_guid{};
    wchar_t class_name[64] = L"";
    ASSERT_TRUE(SetupDiGetINFClassW(windows_path(VELNOR_INF_PATH).c_str(), &class_guid, class_name,
                                    64, nullptr))
        << GetLastError();
    EXPECT_EQ(narrow(class_name), "System");
    const GUID system_class = {
        0x4d36e97d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
    EXPECT_TRUE(IsEqualGUID(class_guid, system_class));
}

TEST_F(DriverInf, NamesTheRootEnumeratedBoardForX64) {
    EXPECT_EQ(inf.value(L"Manufacturer", nullptr, 1), "VelnorBoard_Models");
    EXPECT_EQ(inf.value(L"Manufacturer", nullptr, 2), "NTamd64");
    ASSERT_EQ(inf.line_count(L"VelnorBoard_Models.NTamd64"), 1);
    INFCONTEXT model;
    ASSERT_TRUE(SetupFindFirstLineW(inf.get(), L"VelnorBoard_Models.NTamd64", nullptr, &model));
    EXPECT_EQ(inf_file_t::field_of(model, 0), "Velnor virtual board") << "device description";
    EXPECT_EQ(inf_file_t::field_of(model, 1), "VelnorBoard_Install");
    EXPECT_EQ(inf_file_t::field_of(model, 2), "Root\\VELNOR") << "hardware id";
}

TEST_F(DriverInf, CopiesTheDriverImageIntoTheDriversFolder) {
    EXPECT_EQ(inf.value(L"VelnorBoard_Install.NTamd64", L"CopyFiles"), "VelnorBoard_CopyFiles");
    EXPECT_EQ(inf.value(L"VelnorBoard_CopyFiles", nullptr, 1), "velnor_board.sys");
    EXPECT_EQ(inf.value(L"DestinationDirs", L"VelnorBoard_CopyFiles"), "12")
        << "dirid 12 is %SystemRoot%\\system32\\drivers";

    UINT source_id = 0;
    ASSERT_TRUE(SetupGetSourceFileLocationW(inf.get(), nullptr, L"velnor_board.sys", &source_id,
                                            nullptr, 0, nullptr))
        << "velnor_board.sys is not in [SourceDisksFiles]: " << GetLastError();
    EXPECT_EQ(source_id, 1u);
    EXPECT_EQ(inf.value(L"SourceDisksNames", L"1"), "Velnor virtual board driver disk");
}

TEST_F(DriverInf, InstallsTheKernelServiceTheDeviceRunsOn) {
    INFCONTEXT add_service;
    ASSERT_TRUE(SetupFindFirstLineW(inf.get(), L"VelnorBoard_Install.NTamd64.Services",
                                    L"AddService", &add_service));
    EXPECT_EQ(inf_file_t::field_of(add_service, 1), "velnor_board");
    INT flags = 0;
    ASSERT_TRUE(SetupGetIntField(&add_service, 2, &flags));
    EXPECT_EQ(flags, SPSVCINST_ASSOCSERVICE) << "the device's function driver";
    EXPECT_EQ(inf_file_t::field_of(add_service, 3), "VelnorBoard_Service");

    struct dword_case {
        const wchar_t* key;
        INT expected;
    };
    const dword_case dwords[] = {
        {L"ServiceType", 1},  // SERVICE_KERNEL_DRIVER
        {L"StartType", 3},    // SERVICE_DEMAND_START
        {L"ErrorControl", 1}, // SERVICE_ERROR_NORMAL
    };
    for (const auto& d : dwords) {
        INFCONTEXT line;
        ASSERT_TRUE(SetupFindFirstLineW(inf.get(), L"VelnorBoard_Service", d.key, &line))
            << narrow(d.key);
        INT value = -1;
        ASSERT_TRUE(SetupGetIntField(&line, 1, &value)) << narrow(d.key);
        EXPECT_EQ(value, d.expected) << narrow(d.key);
    }
    // %12% expands to the drivers folder: the same image path the Wine runs'
    // registry file gives the service.
    EXPECT_EQ(lower(inf.value(L"VelnorBoard_Service", L"ServiceBinary")),
              "c:\\windows\\system32\\drivers\\velnor_board.sys");
    EXPECT_EQ(inf.value(L"VelnorBoard_Service", L"DisplayName"), "Velnor virtual board");
}

TEST_F(DriverInf, RegistersTheBoardInterfaceClass) {
    INFCONTEXT line;
    ASSERT_TRUE(SetupFindFirstLineW(inf.get(), L"VelnorBoard_Install.NTamd64.Interfaces",
                                    L"AddInterface", &line));
    EXPECT_EQ(lower(inf_file_t::field_of(line, 1)), "{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}");
    EXPECT_EQ(inf_file_t::field_of(line, 3), "VelnorBoard_Interface");
    EXPECT_EQ(inf.value(L"VelnorBoard_Interface", L"AddReg"), "VelnorBoard_Interface_AddReg");
}

} // namespace
