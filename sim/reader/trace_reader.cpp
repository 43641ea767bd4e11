#include "trace_reader.h"

#include <velnor_trace_format.h>

#include <string>

namespace velnor::sim {
namespace {

std::uint32_t get16(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0] | (p[1] << 8));
}

std::uint32_t get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint64_t get64(const std::uint8_t* p) {
    return get32(p) | (static_cast<std::uint64_t>(get32(p + 4)) << 32);
}

/* The options of a block body from `at`, each code, length, value padded to 4. */
template <typename Visit>
bool read_options(const std::uint8_t* data, std::size_t size, std::size_t at, Visit visit) {
    while (at + 4 <= size) {
        const std::uint32_t code = get16(data + at);
        const std::uint32_t length = get16(data + at + 2);
        at += 4;
        if (code == VLTR_OPT_END) {
            return true;
        }
        if (length > size - at) {
            return false;
        }
        visit(code, data + at, length);
        at += (static_cast<std::size_t>(length) + 3) & ~std::size_t{3};
    }
    return at >= size; /* options may end without opt_endofopt */
}

bool read_record(const std::uint8_t* body, std::size_t size, trace_record_t& record,
                 std::string& why) {
    if (size < 20) {
        why = "packet block too short";
        return false;
    }
    record.interface_id = get32(body);
    const std::uint32_t captured = get32(body + 12);
    if (captured > size - 20) {
        why = "packet longer than its block";
        return false;
    }
    const std::uint8_t* r = body + 20;
    if (captured < VLTR_RECORD_HEADER_SIZE || get16(r) != VLTR_RECORD_HEADER_SIZE) {
        why = "record header of the wrong size";
        return false;
    }
    record.kind = r[VLTR_OFF_KIND];
    if (record.kind >= VLTR_KIND_COUNT) {
        why = "unknown call kind " + std::to_string(record.kind);
        return false;
    }
    record.flags = r[VLTR_OFF_FLAGS];
    record.thread = get32(r + VLTR_OFF_THREAD);
    record.sequence = get64(r + VLTR_OFF_SEQUENCE);
    record.time_ns = get64(r + VLTR_OFF_TIME);
    record.handle = get64(r + VLTR_OFF_HANDLE);
    record.result = get32(r + VLTR_OFF_RESULT);
    record.last_error = get32(r + VLTR_OFF_LAST_ERROR);
    for (std::size_t i = 0; i < 4; ++i) {
        record.p[i] = get32(r + VLTR_OFF_P0 + 4 * i);
    }
    const std::uint64_t in_size = get32(r + VLTR_OFF_IN_SIZE);
    const std::uint64_t out_size = get32(r + VLTR_OFF_OUT_SIZE);
    if (VLTR_RECORD_HEADER_SIZE + in_size + out_size != captured) {
        why = "record data sizes do not add up to the packet";
        return false;
    }
    const std::uint8_t* in = r + VLTR_RECORD_HEADER_SIZE;
    record.in.assign(in, in + in_size);
    record.out.assign(in + in_size, in + in_size + out_size);
    return true;
}

} // namespace

const char* trace_kind_name(std::uint32_t kind) {
    switch (kind) {
    case VLTR_LIST_SIZE:
        return "CM_Get_Device_Interface_List_SizeA";
    case VLTR_LIST_FETCH:
        return "CM_Get_Device_Interface_ListW";
    case VLTR_CREATE_FILE:
        return "CreateFileW";
    case VLTR_CLOSE_HANDLE:
        return "CloseHandle";
    case VLTR_IO_CONTROL:
        return "DeviceIoControl";
    case VLTR_GET_LAST_ERROR:
        return "GetLastError";
    default:
        return "unknown call";
    }
}

bool trace_magic_ok(const std::uint8_t* data, std::size_t size, std::string& error) {
    if (size < 12 || get32(data) != VLTR_BLOCK_SECTION_HEADER) {
        error = "not a pcapng file";
        return false;
    }
    if (get32(data + 8) != VLTR_BYTE_ORDER_MAGIC) {
        error = "not a little-endian pcapng file";
        return false;
    }
    return true;
}

bool read_trace(const std::uint8_t* data, std::size_t size, trace_t& trace, std::string& error) {
    trace = trace_t{};
    if (size < 28) {
        error = "not a pcapng file";
        return false;
    }
    if (!trace_magic_ok(data, size, error)) {
        return false;
    }
    bool have_section = false;
    std::size_t at = 0;
    std::string why;
    while (at < size) {
        if (size - at < 12) {
            why = "a block cut short at byte " + std::to_string(at);
            trace.cut_short = true;
            break;
        }
        const std::uint32_t type = get32(data + at);
        const std::uint32_t length = get32(data + at + 4);
        if (length < 12 || length % 4 != 0 || length > size - at) {
            why = "a block cut short at byte " + std::to_string(at);
            trace.cut_short = length >= 12 && length % 4 == 0;
            break;
        }
        if (get32(data + at + length - 4) != length) {
            why = "a block's two lengths differ at byte " + std::to_string(at);
            break;
        }
        const std::uint8_t* body = data + at + 8;
        const std::size_t body_size = length - 12;
        if (type == VLTR_BLOCK_SECTION_HEADER) {
            if (have_section) {
                why = "a second section (only one is read)";
                break;
            }
            if (body_size < 16) {
                why = "section header too short";
                break;
            }
            have_section = true;
            if (!read_options(body, body_size, 16,
                              [&](std::uint32_t code, const std::uint8_t* value, std::uint32_t n) {
                                  if (code == VLTR_OPT_SHB_USERAPPL) {
                                      trace.application.assign(reinterpret_cast<const char*>(value),
                                                               n);
                                  }
                              })) {
                why = "a malformed option in the section header";
                break;
            }
        } else if (type == VLTR_BLOCK_INTERFACE) {
            if (body_size < 8 || get16(body) != VLTR_LINKTYPE) {
                why = "an interface that is not a Velnor trace's (link type 147)";
                break;
            }
            std::string name;
            bool nanoseconds = false;
            if (!read_options(body, body_size, 8,
                              [&](std::uint32_t code, const std::uint8_t* value, std::uint32_t n) {
                                  if (code == VLTR_OPT_IF_NAME) {
                                      name.assign(reinterpret_cast<const char*>(value), n);
                                  } else if (code == VLTR_OPT_IF_TSRESOL && n == 1) {
                                      nanoseconds = value[0] == VLTR_TSRESOL_NANOSECONDS;
                                  }
                              })) {
                why =
                    "a malformed option in an interface description at byte " + std::to_string(at);
                break;
            }
            if (!nanoseconds) {
                why = "an interface without nanosecond time stamps";
                break;
            }
            trace.interfaces.push_back(std::move(name));
        } else if (type == VLTR_BLOCK_ENHANCED_PACKET) {
            trace_record_t record;
            if (!read_record(body, body_size, record, why)) {
                why += " in the packet block at byte " + std::to_string(at);
                break;
            }
            if (record.interface_id >= trace.interfaces.size()) {
                why = "a record on an interface not described, at byte " + std::to_string(at);
                break;
            }
            trace.records.push_back(std::move(record));
        }
        /* Other blocks (statistics, comments added by an editor) are skipped. */
        at += length;
    }
    if (!why.empty() && trace.records.empty()) {
        error = "damaged before its first whole record: " + why;
        return false;
    }
    if (trace.interfaces.empty()) {
        error = "no interface: not a Velnor trace";
        return false;
    }
    trace.damage = why;
    return true;
}

} // namespace velnor::sim
