#include "platform_state.h"
#include "replay_calls.h"

#include <algorithm>
#include <cwchar>
#include <iterator>

using namespace velnor::sim;

extern "C" VLSIM_API void* vlsim_CreateFileW(const wchar_t* path, uint32_t access,
                                             uint32_t share_mode, void* security,
                                             uint32_t disposition, uint32_t flags,
                                             void* template_file) {
    platform_t& p = platform();
    std::unique_lock<std::mutex> lock(p.mutex);
    const auto fault = p.enter_call(VLSIM_CALL_CREATE_FILE);
    if (p.replay && !fault) {
        replay_deadline_t deadline;
        void* const result = replay_create_file(p, deadline, path, access, share_mode, security,
                                                disposition, flags, template_file);
        lock.unlock();
        wait_for(deadline);
        return result;
    }

    vlsim_open_record record{};
    if (path != nullptr) {
        const std::size_t keep = std::min(std::wcslen(path), std::size(record.path) - 1);
        std::wmemcpy(record.path, path, keep);
    }
    record.access = access;
    record.share_mode = share_mode;
    record.security = security;
    record.disposition = disposition;
    record.flags = flags;
    record.template_file = template_file;

    void* result = invalid_handle_value();
    if (fault) {
        set_last_error(*fault);
    } else if (p.faults.next_open_null) {
        p.faults.next_open_null = false;
        result = nullptr;
    } else if (auto it = path ? p.board_by_path.find(path) : p.board_by_path.end();
               it != p.board_by_path.end()) {
        const std::uintptr_t value = new_handle_value();
        p.handles.emplace(value, open_handle_t{it->second});
        result = reinterpret_cast<void*>(value);
    } else {
        set_last_error(VLSIM_ERROR_FILE_NOT_FOUND);
    }
    record.result = result;
    p.last_open = record;
    return result;
}

extern "C" VLSIM_API int vlsim_CloseHandle(void* handle) {
    platform_t& p = platform();
    std::unique_lock<std::mutex> lock(p.mutex);
    if (auto fault = p.enter_call(VLSIM_CALL_CLOSE_HANDLE)) {
        set_last_error(*fault);
        return 0;
    }
    if (p.replay) {
        replay_deadline_t deadline;
        const int result = replay_close_handle(p, deadline, handle);
        lock.unlock();
        wait_for(deadline);
        return result;
    }
    if (p.handles.erase(reinterpret_cast<std::uintptr_t>(handle)) == 0) {
        set_last_error(VLSIM_ERROR_INVALID_HANDLE);
        return 0;
    }
    return 1;
}
