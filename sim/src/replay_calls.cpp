#include "replay_calls.h"

#include <velnor_trace_format.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace velnor::sim {
namespace {

std::vector<std::uint8_t> guid_bytes(const vlsim_guid* guid) {
    std::vector<std::uint8_t> out;
    if (guid != nullptr) {
        for (int i = 0; i < 4; ++i) {
            out.push_back(static_cast<std::uint8_t>(guid->data1 >> (8 * i)));
        }
        for (const std::uint32_t half : {std::uint32_t{guid->data2}, std::uint32_t{guid->data3}}) {
            out.push_back(static_cast<std::uint8_t>(half));
            out.push_back(static_cast<std::uint8_t>(half >> 8));
        }
        out.insert(out.end(), guid->data4, guid->data4 + 8);
    }
    return out;
}

std::uint8_t flag_if(bool condition, unsigned flag) {
    return condition ? static_cast<std::uint8_t>(flag) : std::uint8_t{0};
}

std::uint64_t handle_value(const void* handle) {
    return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(handle));
}

void* as_handle(std::uint64_t value) {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(value));
}

} // namespace

std::vector<std::uint8_t> utf16le_of(const wchar_t* text, std::size_t count) {
    std::vector<std::uint8_t> out;
    out.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        auto code = static_cast<std::uint32_t>(text[i]);
        if (code > 0xFFFF && code <= 0x10FFFF) {
            code -= 0x10000;
            const std::uint32_t high = 0xD800 + (code >> 10);
            const std::uint32_t low = 0xDC00 + (code & 0x3FF);
            for (const std::uint32_t unit : {high, low}) {
                out.push_back(static_cast<std::uint8_t>(unit));
                out.push_back(static_cast<std::uint8_t>(unit >> 8));
            }
        } else {
            out.push_back(static_cast<std::uint8_t>(code));
            out.push_back(static_cast<std::uint8_t>(code >> 8));
        }
    }
    return out;
}

std::size_t wide_of(const std::vector<std::uint8_t>& utf16, wchar_t* out, std::size_t capacity) {
    std::size_t written = 0;
    for (std::size_t i = 0; i + 1 < utf16.size() && written < capacity; i += 2) {
        std::uint32_t code = utf16[i] | (static_cast<std::uint32_t>(utf16[i + 1]) << 8);
        if (sizeof(wchar_t) == 4 && code >= 0xD800 && code < 0xDC00 && i + 3 < utf16.size()) {
            const std::uint32_t low =
                utf16[i + 2] | (static_cast<std::uint32_t>(utf16[i + 3]) << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        out[written++] = static_cast<wchar_t>(code);
    }
    return written;
}

std::uint32_t replay_list_size(platform_t& p, replay_deadline_t& deadline, std::uint32_t* length,
                               const vlsim_guid* guid, const char* device_id, std::uint32_t flags) {
    replay_call_t call;
    call.kind = VLTR_LIST_SIZE;
    call.flags = flag_if(length == nullptr, VLTR_FLAG_FIRST_NULL) |
                 flag_if(guid == nullptr, VLTR_FLAG_SECOND_NULL) |
                 flag_if(device_id != nullptr, VLTR_FLAG_DEVICE_ID);
    call.p[0] = flags;
    call.match_p[0] = true;
    call.in = guid_bytes(guid);
    const trace_record_t* record = p.replay->next(call, deadline);
    if (record == nullptr) {
        return replay_cr_failure;
    }
    if (length != nullptr) {
        *length = record->p[1];
    }
    set_last_error(record->last_error);
    return record->result;
}

std::uint32_t replay_list_fetch(platform_t& p, replay_deadline_t& deadline, const vlsim_guid* guid,
                                const wchar_t* device_id, wchar_t* buffer, std::uint32_t length,
                                std::uint32_t flags) {
    replay_call_t call;
    call.kind = VLTR_LIST_FETCH;
    call.flags = flag_if(buffer == nullptr, VLTR_FLAG_FIRST_NULL) |
                 flag_if(guid == nullptr, VLTR_FLAG_SECOND_NULL) |
                 flag_if(device_id != nullptr, VLTR_FLAG_DEVICE_ID);
    call.p[0] = flags;
    call.p[1] = length;
    call.match_p[0] = call.match_p[1] = true;
    call.in = guid_bytes(guid);
    const trace_record_t* record = p.replay->next(call, deadline);
    if (record == nullptr) {
        return replay_cr_failure;
    }
    if (buffer != nullptr) {
        wide_of(record->out, buffer, length);
    }
    set_last_error(record->last_error);
    return record->result;
}

void* replay_create_file(platform_t& p, replay_deadline_t& deadline, const wchar_t* path,
                         std::uint32_t access, std::uint32_t share_mode, void* security,
                         std::uint32_t disposition, std::uint32_t flags, void* template_file) {
    replay_call_t call;
    call.kind = VLTR_CREATE_FILE;
    call.flags = flag_if(path == nullptr, VLTR_FLAG_FIRST_NULL) |
                 flag_if(security != nullptr || template_file != nullptr, VLTR_FLAG_EXTRA);
    call.p[0] = access;
    call.p[1] = share_mode;
    call.p[2] = disposition;
    call.p[3] = flags;
    call.match_p[0] = call.match_p[1] = call.match_p[2] = call.match_p[3] = true;
    if (path != nullptr) {
        call.in = utf16le_of(path, std::wcslen(path));
    }
    const trace_record_t* record = p.replay->next(call, deadline);
    if (record == nullptr) {
        set_last_error(replay_error);
        return invalid_handle_value();
    }
    set_last_error(record->last_error);
    if (record->result == 0) {
        return as_handle(record->handle);
    }
    /* A handle of the replay's own: two threads' handles never share a value,
     * even where the recorded program got one value again after a close. */
    return as_handle(p.replay->open_handle(*record, new_handle_value()));
}

int replay_close_handle(platform_t& p, replay_deadline_t& deadline, void* handle) {
    replay_call_t call;
    call.kind = VLTR_CLOSE_HANDLE;
    call.handle = handle_value(handle);
    const trace_record_t* record = p.replay->next(call, deadline);
    if (record == nullptr) {
        set_last_error(replay_error);
        return 0;
    }
    set_last_error(record->last_error);
    return static_cast<int>(record->result);
}

int replay_io_control(platform_t& p, replay_deadline_t& deadline, void* handle, std::uint32_t code,
                      const void* in, std::uint32_t in_length, void* out, std::uint32_t out_length,
                      std::uint32_t* bytes_returned, void* overlapped) {
    replay_call_t call;
    call.kind = VLTR_IO_CONTROL;
    call.flags = flag_if(in == nullptr, VLTR_FLAG_FIRST_NULL) |
                 flag_if(out == nullptr, VLTR_FLAG_SECOND_NULL) |
                 flag_if(bytes_returned == nullptr, VLTR_FLAG_THIRD_NULL) |
                 flag_if(overlapped != nullptr, VLTR_FLAG_EXTRA);
    call.handle = handle_value(handle);
    call.p[0] = code;
    call.p[1] = in_length;
    call.p[2] = out_length;
    call.match_p[0] = call.match_p[1] = call.match_p[2] = true;
    if (in != nullptr) {
        const auto* bytes = static_cast<const std::uint8_t*>(in);
        call.in.assign(bytes, bytes + in_length);
    }
    const trace_record_t* record = p.replay->next(call, deadline);
    if (record == nullptr) {
        set_last_error(replay_error);
        return 0;
    }
    if (out != nullptr && !record->out.empty()) {
        std::memcpy(out, record->out.data(), std::min<std::size_t>(record->out.size(), out_length));
    }
    if (bytes_returned != nullptr) {
        /* As recorded, but never more than the reply bytes the record holds
         * nor the caller's capacity. */
        *bytes_returned = static_cast<std::uint32_t>(
            std::min<std::size_t>({record->p[3], record->out.size(), out_length}));
    }
    set_last_error(record->last_error);
    return static_cast<int>(record->result);
}

} // namespace velnor::sim
