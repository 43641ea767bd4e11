#include "platform_state.h"
#include "replay_calls.h"

#include <algorithm>
#include <cstring>

namespace velnor::sim {
namespace {

bool is_board_class(const vlsim_guid& guid) {
    static const vlsim_guid board_class = VLB_INTERFACE_CLASS_INIT;
    return guid.data1 == board_class.data1 && guid.data2 == board_class.data2 &&
           guid.data3 == board_class.data3 &&
           std::memcmp(guid.data4, board_class.data4, sizeof guid.data4) == 0;
}

std::size_t list_length(const platform_t& p, const vlsim_guid& guid) {
    return is_board_class(guid) ? p.list_chars + 1 : 1;
}

void write_list(const platform_t& p, const vlsim_guid& guid, wchar_t* buffer) {
    if (is_board_class(guid)) {
        for (const auto& board : p.boards) {
            if (board) {
                buffer = std::copy(board->path.begin(), board->path.end(), buffer);
                *buffer++ = L'\0';
            }
        }
    }
    *buffer = L'\0';
}

} // namespace
} // namespace velnor::sim

using namespace velnor::sim;

extern "C" VLSIM_API uint32_t vlsim_CM_Get_Device_Interface_List_SizeA(uint32_t* length,
                                                                       const vlsim_guid* guid,
                                                                       const char* device_id,
                                                                       uint32_t flags) {
    platform_t& p = platform();
    std::unique_lock<std::mutex> lock(p.mutex);
    if (auto fault = p.enter_call(VLSIM_CALL_LIST_SIZE)) {
        return *fault;
    }
    if (p.replay) {
        replay_deadline_t deadline;
        const std::uint32_t result = replay_list_size(p, deadline, length, guid, device_id, flags);
        lock.unlock();
        wait_for(deadline);
        return result;
    }
    if (length == nullptr || guid == nullptr) {
        return VLSIM_CR_INVALID_POINTER;
    }
    if (p.faults.raw_for_size) {
        p.faults.raw_for_size = false;
        *length = static_cast<uint32_t>(p.faults.raw_list.size());
    } else {
        *length = static_cast<uint32_t>(list_length(p, *guid));
    }
    if (p.faults.arrival) {
        p.faults.arrival = false;
        p.add_board(p.faults.arrival_config ? &*p.faults.arrival_config : nullptr);
    }
    return VLSIM_CR_SUCCESS;
}

extern "C" VLSIM_API uint32_t vlsim_CM_Get_Device_Interface_ListW(const vlsim_guid* guid,
                                                                  const wchar_t* device_id,
                                                                  wchar_t* buffer, uint32_t length,
                                                                  uint32_t flags) {
    platform_t& p = platform();
    std::unique_lock<std::mutex> lock(p.mutex);
    if (auto fault = p.enter_call(VLSIM_CALL_LIST_FETCH)) {
        return *fault;
    }
    if (p.replay) {
        replay_deadline_t deadline;
        const std::uint32_t result =
            replay_list_fetch(p, deadline, guid, device_id, buffer, length, flags);
        lock.unlock();
        wait_for(deadline);
        return result;
    }
    if (guid == nullptr || (buffer == nullptr && length != 0)) {
        return VLSIM_CR_INVALID_POINTER;
    }
    if (p.faults.raw_for_fetch) {
        p.faults.raw_for_fetch = false;
        const auto& raw = p.faults.raw_list;
        if (length < raw.size()) {
            return VLSIM_CR_BUFFER_SMALL;
        }
        std::copy(raw.begin(), raw.end(), buffer);
        return VLSIM_CR_SUCCESS;
    }
    if (length < list_length(p, *guid)) {
        return VLSIM_CR_BUFFER_SMALL;
    }
    write_list(p, *guid, buffer);
    return VLSIM_CR_SUCCESS;
}
