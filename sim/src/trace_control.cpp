#include "platform_state.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

using namespace velnor::sim;

namespace {

/* A trace larger than this is refused rather than read into memory. */
constexpr long trace_size_limit = 1L << 30;

bool read_file(const char* path, std::vector<std::uint8_t>& bytes, std::string& error) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path, "rb"), std::fclose);
    if (!file) {
        error = std::string("cannot open it: ") + std::strerror(errno);
        return false;
    }
    if (std::fseek(file.get(), 0, SEEK_END) != 0) {
        error = "cannot read it";
        return false;
    }
    const long size = std::ftell(file.get());
    if (size < 0 || size > trace_size_limit) {
        error = size < 0 ? "cannot read it" : "larger than 1 GiB";
        return false;
    }
    std::rewind(file.get());
    bytes.resize(static_cast<std::size_t>(size));
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        error = "cannot read it";
        return false;
    }
    return true;
}

} // namespace

extern "C" VLSIM_API int vlsim_load_trace(const char* path) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    trace_t trace;
    const bool loaded = path != nullptr && read_file(path, bytes, error) &&
                        read_trace(bytes.data(), bytes.size(), trace, error);
    platform_t& p = platform();
    std::lock_guard<std::mutex> lock(p.mutex);
    if (!loaded) {
        p.trace_refusal = std::string("trace ") + (path != nullptr ? path : "(null)") +
                          " refused: " + (path != nullptr ? error : "no path");
        return -1;
    }
    const bool pacing = p.trace_pacing;
    p.reset();
    p.trace_pacing = pacing;
    p.trace_refusal.clear();
    p.replay = std::make_unique<replay_t>(std::move(trace));
    p.replay->set_pacing(pacing);
    for (std::size_t i = 0; i < p.replay->board_paths().size(); ++i) {
        p.notify(VLSIM_BOARD_ARRIVED, p.replay->board_path(i));
    }
    return 0;
}

extern "C" VLSIM_API const char* vlsim_trace_divergence(void) {
    thread_local std::string copy;
    platform_t& p = platform();
    std::lock_guard<std::mutex> lock(p.mutex);
    /* A refusal is the news until the next load or reset, even over a replay
     * that goes on. */
    copy = !p.trace_refusal.empty() ? p.trace_refusal
           : p.replay               ? p.replay->divergence()
                                    : std::string();
    return copy.c_str();
}

extern "C" VLSIM_API void vlsim_set_trace_pacing(int on) {
    platform_t& p = platform();
    std::lock_guard<std::mutex> lock(p.mutex);
    p.trace_pacing = on != 0;
    if (p.replay) {
        p.replay->set_pacing(p.trace_pacing);
    }
}
