#include "fuzz_support.h"

#include "support/log_file.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace velnor_fuzz {

namespace {

std::filesystem::path& private_dir() {
    static std::filesystem::path dir;
    return dir;
}

void remove_private_dir() {
    std::error_code ignored;
    std::filesystem::remove_all(private_dir(), ignored);
}

} // namespace

void fail(const char* file, int line, const char* condition, const char* format, ...) {
    std::fprintf(stderr, "\n%s:%d: check failed: %s\n  ", file, line, condition);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fprintf(stderr, "\n");
    std::fflush(stderr);
    std::abort();
}

void trim_log() {
    // Checking the size costs a system call, so only every few hundred inputs.
    static unsigned inputs = 0;
    if (++inputs % 256 != 0 || private_dir().empty()) {
        return;
    }
    velnor_test::trim_log_file(private_dir() / "Velnor.log", 4u << 20);
}

vl_rc truncated_status(vl_rc status, std::uint32_t bytes) {
    if (bytes >= 4) {
        return status;
    }
    const auto word = static_cast<std::uint32_t>(status);
    const std::uint32_t mask = bytes == 0 ? 0u : (1u << (8 * bytes)) - 1u;
    return static_cast<vl_rc>(word & mask);
}

bool one_of(vl_rc rc, std::initializer_list<vl_rc> set) {
    return std::find(set.begin(), set.end(), rc) != set.end();
}

void result_set::add(vl_rc rc) {
    if (!contains(rc)) {
        codes_.push_back(rc);
    }
}

void result_set::add_with_truncations(vl_rc status) {
    for (std::uint32_t bytes = 1; bytes <= 4; ++bytes) {
        const vl_rc value = truncated_status(status, bytes);
        if (value != 0) {
            add(value);
        }
    }
}

bool result_set::contains(vl_rc rc) const {
    return std::find(codes_.begin(), codes_.end(), rc) != codes_.end();
}

} // namespace velnor_fuzz

// The library writes its log to the temporary directory: point it at a
// folder of this process's own, removed again at a normal exit.
extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) {
        base = "/tmp";
    }
    std::string pattern = (base / "velnor-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    velnor_fuzz::private_dir() = pattern;
    setenv("TMPDIR", pattern.c_str(), 1);
    std::atexit(velnor_fuzz::remove_private_dir);
    return 0;
}
