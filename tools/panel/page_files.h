// The page's files, built into the program (page/ in the sources, turned
// into page_files.cpp at build time): the panel never serves a file from
// the file system.
#pragma once

#include <cstddef>
#include <string>

namespace velnor_panel {

struct page_file_t {
    const char* path; // "/index.html", "/app.js", ...
    const char* type; // its Content-Type
    const unsigned char* bytes;
    size_t size;
};

// The file served at path ("/" is "/index.html"); null when there is none.
const page_file_t* find_page_file(const std::string& path);

} // namespace velnor_panel
