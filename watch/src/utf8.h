// Interface paths come from the system in wide characters (UTF-16 on
// Windows, UTF-32 on the virtual platform's hosts) and go to the
// application in UTF-8, converted as velnorctl converts them for its list.
#pragma once

#include <filesystem>
#include <string>

namespace velnor::watch {

// The path in UTF-8. A name the conversion refuses (a lone surrogate) keeps
// its ASCII characters and has '?' for every other unit, so it is still
// reported.
inline std::string utf8_of(const wchar_t* path) {
    try {
        return std::filesystem::path(path).u8string();
    } catch (const std::exception&) {
        std::string text;
        for (const wchar_t* at = path; *at != L'\0'; ++at) {
            text.push_back(*at > 0 && *at < 0x80 ? static_cast<char>(*at) : '?');
        }
        return text;
    }
}

} // namespace velnor::watch
