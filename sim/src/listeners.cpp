/* Listeners told of the boards that arrive and leave: what the watcher of
 * arrivals and removals registers with on the virtual platform, as it does
 * for device notifications on Windows. */
#include "platform_state.h"

using namespace velnor::sim;

extern "C" VLSIM_API int vlsim_listen(vlsim_board_listener listener, void* context,
                                      uint64_t* registration) {
    platform_t& p = platform();
    std::lock_guard<std::mutex> lock(p.mutex);
    if (listener == nullptr || registration == nullptr) {
        set_last_error(VLSIM_ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (p.faults.listen_failure) {
        set_last_error(*p.faults.listen_failure);
        p.faults.listen_failure.reset();
        return -1;
    }
    /* The list and the registration under one hold of the lock: no change
     * of the boards can fall between them. */
    for (const std::wstring& path : p.present_paths()) {
        listener(context, VLSIM_BOARD_PRESENT, path.c_str());
    }
    *registration = ++p.last_listener;
    p.listeners.emplace(*registration, listener_t{listener, context});
    return 0;
}

extern "C" VLSIM_API int vlsim_unlisten(uint64_t registration) {
    platform_t& p = platform();
    std::lock_guard<std::mutex> lock(p.mutex);
    return p.listeners.erase(registration) == 1 ? 0 : -1;
}

extern "C" VLSIM_API size_t vlsim_listener_count(void) {
    platform_t& p = platform();
    std::lock_guard<std::mutex> lock(p.mutex);
    return p.listeners.size();
}

extern "C" VLSIM_API void vlsim_fail_next_listen(uint32_t error) {
    platform_t& p = platform();
    std::lock_guard<std::mutex> lock(p.mutex);
    p.faults.listen_failure = error;
}
