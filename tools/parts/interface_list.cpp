#include "errors.h"
#include "interface_paths.h"

#include <cstdio>
#include <filesystem>

namespace velnorctl {

std::vector<std::string> split_interface_list(const std::vector<wchar_t>& list) {
    std::vector<std::string> paths;
    std::size_t start = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i] != L'\0') {
            continue;
        }
        if (i > start) {
            paths.push_back(
                std::filesystem::path(std::wstring(list.data() + start, i - start)).u8string());
        }
        start = i + 1;
    }
    return paths;
}

void throw_listing_failure(const char* call, unsigned long result) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%02lx", result);
    throw tool_error_t(exit_code_t::library,
                       std::string("cannot list the boards' interface paths: ") + call +
                           " answered " + code);
}

} // namespace velnorctl
