// Reads the VERSIONINFO resource of each shipped binary back through the
// version API, as Explorer and installers do.
#include <velnor.h>

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct binary_case {
    const char* path;
    const wchar_t* original_filename;
    const wchar_t* description;
    DWORD file_type;
};

void PrintTo(const binary_case& c, std::ostream* os) {
    *os << c.path;
}

const binary_case binaries[] = {
    {VELNOR_PRODUCT_DLL, L"Velnor.dll", L"Velnor device-access library", VFT_DLL},
    {VELNOR_SIMULATION_DLL, L"Velnor.dll",
     L"Velnor device-access library, simulation build on virtual boards", VFT_DLL},
    {VELNOR_SIM_DLL, L"velnor_sim.dll", L"Velnor virtual platform", VFT_DLL},
    {VELNOR_WATCH_DLL, L"VelnorWatch.dll", L"Velnor board watcher: boards arriving and leaving",
     VFT_DLL},
    {VELNOR_WATCH_SIMULATION_DLL, L"VelnorWatch.dll",
     L"Velnor board watcher, simulation build on virtual boards", VFT_DLL},
    {VELNORCTL_EXE, L"velnorctl.exe", L"Velnor board bring-up and service tool", VFT_APP},
    {VELNOR_PANEL_EXE, L"velnor-panel.exe", L"Velnor test panel: the boards in a browser", VFT_APP},
};

std::wstring windows_path(const char* unix_path) {
    std::wstring path = L"Z:";
    for (const char* p = unix_path; *p != '\0'; ++p) {
        path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    }
    return path;
}

class version_info_t {
public:
    explicit version_info_t(const std::wstring& path) {
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
        if (size == 0) {
            error_ = GetLastError();
            return;
        }
        data_.resize(size);
        if (!GetFileVersionInfoW(path.c_str(), 0, size, data_.data())) {
            error_ = GetLastError();
            data_.clear();
        }
    }
    bool loaded() const { return !data_.empty(); }
    DWORD error() const { return error_; }

    const void* query(const wchar_t* key, UINT* length) const {
        void* value = nullptr;
        *length = 0;
        // VerQueryValueW takes a non-const block but does not change it.
        auto* block = const_cast<unsigned char*>(data_.data());
        return VerQueryValueW(block, key, &value, length) ? value : nullptr;
    }

    std::wstring string(const wchar_t* name) const {
        std::wstring key = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
        UINT length = 0;
        const auto* text = static_cast<const wchar_t*>(query(key.c_str(), &length));
        return text == nullptr ? L"<missing>" : std::wstring(text);
    }

private:
    std::vector<unsigned char> data_;
    DWORD error_ = 0;
};

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

class VersionResource : public ::testing::TestWithParam<binary_case> {};

TEST_P(VersionResource, CarriesTheProjectVersionAndNamesTheBinary) {
    const binary_case& c = GetParam();
    version_info_t info(windows_path(c.path));
    ASSERT_TRUE(info.loaded()) << "no version resource, error " << info.error();

    UINT length = 0;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(info.query(L"\\", &length));
    ASSERT_NE(fixed, nullptr);
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, (1u << 16) | 0u);
    EXPECT_EQ(fixed->dwFileVersionLS, (2u << 16) | 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, (1u << 16) | 0u);
    EXPECT_EQ(fixed->dwProductVersionLS, (2u << 16) | 0u);
    EXPECT_EQ(fixed->dwFileType, c.file_type);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u) << "debug or pre-release flag set";

    const auto* translation =
        static_cast<const std::uint16_t*>(info.query(L"\\VarFileInfo\\Translation", &length));
    ASSERT_NE(translation, nullptr);
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409) << "language: U.S. English";
    EXPECT_EQ(translation[1], 1200) << "code page: Unicode";

    EXPECT_EQ(narrow(info.string(L"FileVersion")), "1.0.2");
    EXPECT_EQ(narrow(info.string(L"ProductVersion")), "1.0.2");
    EXPECT_EQ(narrow(info.string(L"ProductName")), "Velnor");
    EXPECT_EQ(narrow(info.string(L"FileDescription")), narrow(c.description));
    EXPECT_EQ(narrow(info.string(L"OriginalFilename")), narrow(c.original_filename));
}

INSTANTIATE_TEST_SUITE_P(ShippedBinaries, VersionResource, ::testing::ValuesIn(binaries));

// The resource and the library's own answer must never drift apart.
TEST(VersionResourceAgreement, ProductDllSaysTheVersionItsResourceCarries) {
    vl_version version{};
    ASSERT_EQ(vl_get_library_version(&version), VL_RC_SUCCESS);
    version_info_t info(windows_path(VELNOR_PRODUCT_DLL));
    ASSERT_TRUE(info.loaded());
    EXPECT_EQ(narrow(info.string(L"FileVersion")), std::string(version.text));
    UINT length = 0;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(info.query(L"\\", &length));
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwFileVersionMS, (version.major << 16) | version.minor);
    EXPECT_EQ(fixed->dwFileVersionLS, version.patch << 16);
}

} // namespace
