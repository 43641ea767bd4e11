// The recording build's backend: each call goes unchanged to the real
// backend (Windows, or the virtual platform), then is appended whole to the
// trace. The call's result is always the real backend's.
#include "platform/os.h"

#include "platform/os_forwarded.h"
#include "platform/trace_writer.h"

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace velnor::os {

namespace real = velnor::os_forwarded;

namespace {

// Interface paths and list buffers are wchar_t text: UTF-16 on Windows,
// UTF-32 elsewhere. The trace holds UTF-16LE either way, so a trace from
// one host replays on the other.
void append_utf16(std::vector<std::uint8_t>& out, const wchar_t* text, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        auto code = static_cast<std::uint32_t>(text[i]);
        if (code > 0xFFFF && code <= 0x10FFFF) {
            code -= 0x10000;
            const std::uint32_t high = 0xD800 + (code >> 10);
            const std::uint32_t low = 0xDC00 + (code & 0x3FF);
            out.insert(out.end(),
                       {static_cast<std::uint8_t>(high), static_cast<std::uint8_t>(high >> 8),
                        static_cast<std::uint8_t>(low), static_cast<std::uint8_t>(low >> 8)});
        } else {
            out.push_back(static_cast<std::uint8_t>(code));
            out.push_back(static_cast<std::uint8_t>(code >> 8));
        }
    }
}

// The path as UTF-8, for the interface's name in the trace.
std::string utf8_of(const std::vector<std::uint8_t>& utf16) {
    std::string text;
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
        std::uint32_t code = utf16[i] | (static_cast<std::uint32_t>(utf16[i + 1]) << 8);
        if (code >= 0xD800 && code < 0xDC00 && i + 3 < utf16.size()) {
            const std::uint32_t low =
                utf16[i + 2] | (static_cast<std::uint32_t>(utf16[i + 3]) << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (code < 0x80) {
            text.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            text.push_back(static_cast<char>(0xC0 | (code >> 6)));
            text.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            text.push_back(static_cast<char>(0xE0 | (code >> 12)));
            text.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            text.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            text.push_back(static_cast<char>(0xF0 | (code >> 18)));
            text.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            text.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            text.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return text;
}

// The interface class in the GUID's own layout, fields little-endian.
std::vector<std::uint8_t> guid_bytes(const GUID* guid) {
    std::vector<std::uint8_t> out;
    if (guid == nullptr) {
        return out;
    }
    const std::uint32_t data1 = guid->Data1;
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(data1 >> (8 * i)));
    }
    for (const std::uint32_t half : {std::uint32_t{guid->Data2}, std::uint32_t{guid->Data3}}) {
        out.push_back(static_cast<std::uint8_t>(half));
        out.push_back(static_cast<std::uint8_t>(half >> 8));
    }
    out.insert(out.end(), guid->Data4, guid->Data4 + 8);
    return out;
}

std::uint32_t size_of(const std::vector<std::uint8_t>& bytes) {
    return static_cast<std::uint32_t>(bytes.size());
}

std::uint64_t handle_value(HANDLE handle) {
    return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(handle));
}

void record(trace_call_t& call) {
    trace_writer_t::instance().record(call);
}

} // namespace

CONFIGRET CM_Get_Device_Interface_List_SizeA(PULONG length, LPGUID interface_class,
                                             DEVINSTID_A device_id, ULONG flags) {
    const CONFIGRET result =
        real::CM_Get_Device_Interface_List_SizeA(length, interface_class, device_id, flags);
    const std::uint32_t last_error = real::GetLastError();
    try {
        const std::vector<std::uint8_t> guid = guid_bytes(interface_class);
        trace_call_t call;
        call.kind = VLTR_LIST_SIZE;
        call.flags =
            static_cast<std::uint8_t>((length == nullptr ? VLTR_FLAG_FIRST_NULL : 0) |
                                      (interface_class == nullptr ? VLTR_FLAG_SECOND_NULL : 0) |
                                      (device_id != nullptr ? VLTR_FLAG_DEVICE_ID : 0));
        call.result = result;
        call.last_error = last_error;
        call.p[0] = flags;
        call.p[1] = length != nullptr ? *length : 0;
        call.in = guid.data();
        call.in_size = size_of(guid);
        record(call);
    } catch (...) {
        // Out of memory: the record is lost, the call's result stands.
    }
    return result;
}

CONFIGRET CM_Get_Device_Interface_ListW(LPGUID interface_class, DEVINSTID_W device_id,
                                        PZZWSTR buffer, ULONG length, ULONG flags) {
    const CONFIGRET result =
        real::CM_Get_Device_Interface_ListW(interface_class, device_id, buffer, length, flags);
    const std::uint32_t last_error = real::GetLastError();
    try {
        const std::vector<std::uint8_t> guid = guid_bytes(interface_class);
        std::vector<std::uint8_t> list;
        if (result == CR_SUCCESS && buffer != nullptr) {
            append_utf16(list, buffer, length);
        }
        trace_call_t call;
        call.kind = VLTR_LIST_FETCH;
        call.flags =
            static_cast<std::uint8_t>((buffer == nullptr ? VLTR_FLAG_FIRST_NULL : 0) |
                                      (interface_class == nullptr ? VLTR_FLAG_SECOND_NULL : 0) |
                                      (device_id != nullptr ? VLTR_FLAG_DEVICE_ID : 0));
        call.result = result;
        call.last_error = last_error;
        call.p[0] = flags;
        call.p[1] = length;
        call.in = guid.data();
        call.in_size = size_of(guid);
        call.out = list.data();
        call.out_size = size_of(list);
        record(call);
    } catch (...) {
    }
    return result;
}

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share_mode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE template_file) {
    const HANDLE handle =
        real::CreateFileW(path, access, share_mode, security, disposition, flags, template_file);
    const std::uint32_t last_error = real::GetLastError();
    try {
        std::vector<std::uint8_t> text;
        if (path != nullptr) {
            append_utf16(text, path, std::wcslen(path));
        }
        const std::string name = path != nullptr ? utf8_of(text) : std::string();
        trace_call_t call;
        call.kind = VLTR_CREATE_FILE;
        call.flags = static_cast<std::uint8_t>(
            (path == nullptr ? VLTR_FLAG_FIRST_NULL : 0) |
            (security != nullptr || template_file != nullptr ? VLTR_FLAG_EXTRA : 0));
        call.handle = handle_value(handle);
        call.result = handle != INVALID_HANDLE_VALUE && handle != nullptr ? 1 : 0;
        call.last_error = last_error;
        call.p[0] = access;
        call.p[1] = share_mode;
        call.p[2] = disposition;
        call.p[3] = flags;
        call.in = text.data();
        call.in_size = size_of(text);
        call.path = path != nullptr ? &name : nullptr;
        record(call);
    } catch (...) {
    }
    return handle;
}

BOOL CloseHandle(HANDLE handle) {
    BOOL result = 0;
    trace_call_t call;
    call.kind = VLTR_CLOSE_HANDLE;
    call.handle = handle_value(handle);
    // The close and its record in one step: another thread's CreateFileW
    // that gets the value back is recorded after it, on its own board.
    trace_writer_t::instance().record_in_order(call, [&](trace_call_t& made) {
        result = real::CloseHandle(handle);
        made.result = static_cast<std::uint32_t>(result);
        made.last_error = real::GetLastError();
    });
    return result;
}

BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD in_length, LPVOID out,
                     DWORD out_length, LPDWORD bytes_returned, LPOVERLAPPED overlapped) {
    const BOOL result = real::DeviceIoControl(device, code, in, in_length, out, out_length,
                                              bytes_returned, overlapped);
    trace_call_t call;
    call.kind = VLTR_IO_CONTROL;
    call.flags = static_cast<std::uint8_t>((in == nullptr ? VLTR_FLAG_FIRST_NULL : 0) |
                                           (out == nullptr ? VLTR_FLAG_SECOND_NULL : 0) |
                                           (bytes_returned == nullptr ? VLTR_FLAG_THIRD_NULL : 0) |
                                           (overlapped != nullptr ? VLTR_FLAG_EXTRA : 0));
    call.handle = handle_value(device);
    call.result = static_cast<std::uint32_t>(result);
    call.last_error = real::GetLastError();
    const std::uint32_t returned = bytes_returned != nullptr ? *bytes_returned : 0;
    call.p[0] = code;
    call.p[1] = in_length;
    call.p[2] = out_length;
    call.p[3] = returned;
    if (in != nullptr) {
        call.in = static_cast<const std::uint8_t*>(in);
        call.in_size = in_length;
    }
    if (out != nullptr) {
        call.out = static_cast<const std::uint8_t*>(out);
        call.out_size = returned < out_length ? returned : out_length;
    }
    record(call);
    return result;
}

DWORD GetLastError() {
    const DWORD value = real::GetLastError();
    trace_call_t call;
    call.kind = VLTR_GET_LAST_ERROR;
    call.result = value;
    call.last_error = value;
    record(call);
    return value;
}

std::string error_text(DWORD error) {
    return real::error_text(error);
}

} // namespace velnor::os
