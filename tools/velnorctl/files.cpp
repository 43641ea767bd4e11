#include "files.h"

#include "errors.h"

#include <fstream>
#include <iterator>

namespace velnorctl {

std::vector<uint8_t> read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw tool_error_t(exit_code_t::file, "cannot open '" + path + "' for reading");
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
    if (file.bad()) {
        throw tool_error_t(exit_code_t::file, "cannot read '" + path + "'");
    }
    return bytes;
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        throw tool_error_t(exit_code_t::file, "cannot write '" + path + "'");
    }
}

} // namespace velnorctl
