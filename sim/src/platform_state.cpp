#include "platform_state.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace velnor::sim {
namespace {

thread_local std::uint32_t last_error = 0;

// The library's version record and the board's are the same 44 bytes; the
// platform hands one on as the other field by field.
static_assert(sizeof(vl_version) == sizeof(vlb_version), "version records differ in size");
static_assert(offsetof(vl_version, major) == offsetof(vlb_version, major) &&
                  offsetof(vl_version, minor) == offsetof(vlb_version, minor) &&
                  offsetof(vl_version, patch) == offsetof(vlb_version, patch) &&
                  offsetof(vl_version, text) == offsetof(vlb_version, text) &&
                  sizeof(vl_version::text) == sizeof(vlb_version::text),
              "version records differ in layout");

vlb_version to_model(const vl_version& version) {
    vlb_version out{};
    out.major = version.major;
    out.minor = version.minor;
    out.patch = version.patch;
    std::memcpy(out.text, version.text, sizeof out.text);
    return out;
}

vl_version from_model(const vlb_version& version) {
    vl_version out{};
    out.major = version.major;
    out.minor = version.minor;
    out.patch = version.patch;
    std::memcpy(out.text, version.text, sizeof out.text);
    return out;
}

vlbm_config to_model(const vlsim_board_config& config) {
    vlbm_config out{};
    const char* end = std::find(config.serial, config.serial + sizeof out.serial, '\0');
    std::copy(config.serial, end, out.serial);
    out.driver_version = to_model(config.driver);
    out.firmware_version = to_model(config.firmware);
    return out;
}

} // namespace

platform_t::platform_t() {
    // Large enough for every request the board serves, so requests allocate nothing.
    system_buffer.reserve(VLB_BLOCK_SIZE);
    add_board(nullptr);
}

platform_t& platform() {
    // Never destroyed: static destructors elsewhere in the process may still close their
    // handles after this module's statics would have gone.
    alignas(platform_t) static unsigned char storage[sizeof(platform_t)];
    static platform_t* const instance = ::new (static_cast<void*>(storage)) platform_t();
    return *instance;
}

std::wstring board_path(int id) {
    char text[96];
    const int length =
        std::snprintf(text, sizeof text, "\\\\?\\ROOT#VELNOR#%04d#" VLB_INTERFACE_CLASS_TEXT, id);
    std::wstring path;
    path.reserve(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i) {
        path.push_back(static_cast<wchar_t>(text[i]));
    }
    return path;
}

void default_config(int id, vlsim_board_config* config) {
    vlbm_config model{};
    vlbm_default_config(&model);
    *config = vlsim_board_config{};
    std::snprintf(config->serial, sizeof config->serial, "VLN-SIM-%04d", id);
    config->driver = from_model(model.driver_version);
    config->firmware = from_model(model.firmware_version);
}

void set_last_error(std::uint32_t error) {
    last_error = error;
}

std::uintptr_t new_handle_value() {
    static std::atomic<std::uintptr_t> next{0};
    return (next.fetch_add(1, std::memory_order_relaxed) + 1) * 4;
}

std::vector<std::wstring> platform_t::present_paths() const {
    std::vector<std::wstring> paths;
    if (replay) {
        for (const trace_board_t& board : replay->boards()) {
            paths.push_back(replay_t::wide_path(board.path));
        }
        return paths;
    }
    for (const std::unique_ptr<board_t>& board : boards) {
        if (board) {
            paths.push_back(board->path);
        }
    }
    return paths;
}

void platform_t::notify(vlsim_board_event event, const std::wstring& path) const {
    for (const auto& [id, listener] : listeners) {
        listener.call(listener.context, event, path.c_str());
    }
}

void platform_t::reset() {
    if (!listeners.empty()) {
        for (const std::wstring& path : present_paths()) {
            notify(VLSIM_BOARD_REMOVED, path);
        }
    }
    boards.clear();
    board_count = 0;
    list_chars = 0;
    board_by_path.clear();
    handles.clear();
    calls = {};
    total_calls = 0;
    last_open.reset();
    requests.clear();
    faults = faults_t{};
    replay.reset();
    trace_refusal.clear();
}

int platform_t::add_board(const vlsim_board_config* config) {
    const int id = next_board_id();
    vlsim_board_config defaults{};
    if (config == nullptr) {
        default_config(id, &defaults);
        config = &defaults;
    }
    auto board = std::make_unique<board_t>();
    board->id = id;
    board->path = board_path(id);
    const vlbm_config model_config = to_model(*config);
    vlbm_init(&board->model, &model_config);
    list_chars += board->path.size() + 1;
    board_by_path.emplace(board->path, id);
    boards.push_back(std::move(board));
    ++board_count;
    if (!replay) {
        notify(VLSIM_BOARD_ARRIVED, boards.back()->path);
    }
    return id;
}

int platform_t::remove_board(int id) {
    board_t* board = find_board(id);
    if (board == nullptr) {
        return -1;
    }
    list_chars -= board->path.size() + 1;
    board_by_path.erase(board->path);
    const std::wstring path = std::move(board->path);
    boards[static_cast<std::size_t>(id)].reset();
    --board_count;
    if (!replay) {
        notify(VLSIM_BOARD_REMOVED, path);
    }
    return 0;
}

board_t* platform_t::find_board(int id) {
    if (id < 0 || static_cast<std::size_t>(id) >= boards.size()) {
        return nullptr;
    }
    return boards[static_cast<std::size_t>(id)].get();
}

std::optional<std::uint32_t> platform_t::enter_call(vlsim_call kind) {
    ++calls[static_cast<std::size_t>(kind)];
    const std::uint64_t number = ++total_calls;
    std::optional<std::uint32_t> fault;
    if (auto it = faults.at_call.find(number); it != faults.at_call.end()) {
        fault = it->second;
        faults.at_call.erase(it);
    }
    if (auto& next = faults.next[static_cast<std::size_t>(kind)]; next) {
        fault = *next;
        next.reset();
    }
    return fault;
}

} // namespace velnor::sim

extern "C" VLSIM_API uint32_t vlsim_GetLastError(void) {
    return velnor::sim::last_error;
}
