// A process that fails twice under the temporary directory it was started
// with, then writes what it saw to the report file named by its first
// argument: the two results, the code pages in force (Windows) and the log
// context's narrow path, byte for byte. Writes nothing to standard output itself.
// Second argument (Windows): "ansi", "oem" (file functions switched to the
// OEM code page first) or "utf8" (the C runtime's locale set to UTF-8 first).
#include <velnor.h>

#if defined(VELNOR_CHILD_READS_CONTEXT)
#include "log/log_context.h"
#endif

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include <locale.h>
#endif

int main(int argc, char** argv) {
    if (argc < 3) {
        return 2;
    }
    const std::string mode = argv[2];
#ifdef _WIN32
    if (mode == "oem") {
        SetFileApisToOEM();
    } else if (mode == "utf8") {
        setlocale(LC_ALL, ".UTF-8");
    }
#endif
    const vl_rc first = vl_get_library_version(nullptr);
    const vl_rc second = vl_device_open(0, nullptr);

    std::FILE* report = std::fopen(argv[1], "wb");
    if (report == nullptr) {
        return 3;
    }
    std::fprintf(report, "results %d %d\n", first, second);
#ifdef _WIN32
    std::fprintf(report, "acp %u\noemcp %u\nfile_apis_ansi %d\ncrt_code_page %u\n", GetACP(),
                 GetOEMCP(), AreFileApisANSI() ? 1 : 0, ___lc_codepage_func());
#endif
#if defined(VELNOR_CHILD_READS_CONTEXT)
    try {
        const velnor_log_context_t context{"Velnor"};
        std::fprintf(report, "log_path %s\n", context.log_path.c_str());
    } catch (...) {
        std::fprintf(report, "log_path none\n");
    }
#endif
    std::fclose(report);
    return 0;
}
