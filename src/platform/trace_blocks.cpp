#include "platform/trace_blocks.h"

#include <algorithm>
#include <cstring>

namespace velnor::os {

namespace {

// The enhanced packet block: type, length, interface, time stamp (high,
// low), captured and original length, the record, the epb_packetid option
// (code, length, 8 bytes), the end of options, the length again.
constexpr std::size_t packet_head = 28;
constexpr std::size_t packet_tail = 4 + 8 + 4 + 4;
constexpr std::size_t at_interface = 8;
constexpr std::size_t at_stamp_high = 12;
constexpr std::size_t at_stamp_low = 16;
constexpr std::size_t at_captured = 20;

void store16(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

void store32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

void store64(std::uint8_t* at, std::uint64_t value) {
    store32(at, static_cast<std::uint32_t>(value));
    store32(at + 4, static_cast<std::uint32_t>(value >> 32));
}

std::uint32_t load32(const std::uint8_t* at) {
    return at[0] | (static_cast<std::uint32_t>(at[1]) << 8) |
           (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

std::uint64_t padded(std::uint64_t size) {
    return (size + 3) & ~std::uint64_t{3};
}

std::uint8_t* grow(std::vector<std::uint8_t>& out, std::size_t size) {
    const std::size_t start = out.size();
    out.resize(start + size);
    return out.data() + start;
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    store32(grow(out, 4), value);
}

// An option: code, length, the value, padded to 32 bits. A value longer than
// an option holds is cut (text is cut by its caller, at a character).
void put_option(std::vector<std::uint8_t>& out, std::uint32_t code, const void* value,
                std::size_t size) {
    size = std::min(size, max_option_size);
    std::uint8_t* at = grow(out, 4 + static_cast<std::size_t>(padded(size)));
    store16(at, code);
    store16(at + 2, static_cast<std::uint32_t>(size));
    if (size != 0) {
        std::memcpy(at + 4, value, size);
    }
}

void put_text_option(std::vector<std::uint8_t>& out, std::uint32_t code, std::string_view text) {
    const std::string_view cut = utf8_prefix(text, max_option_size);
    put_option(out, code, cut.data(), cut.size());
}

// A block starts with its type and a length that is filled in at its end,
// where the length is repeated.
std::size_t begin_block(std::vector<std::uint8_t>& out, std::uint32_t type) {
    const std::size_t start = out.size();
    put32(out, type);
    put32(out, 0);
    return start;
}

void end_block(std::vector<std::uint8_t>& out, std::size_t start) {
    const auto length = static_cast<std::uint32_t>(out.size() - start + 4);
    put32(out, length);
    store32(out.data() + start + 4, length);
}

} // namespace

std::string_view utf8_prefix(std::string_view text, std::size_t most) {
    if (text.size() <= most) {
        return text;
    }
    std::size_t end = most;
    // Back over continuation bytes (10xxxxxx) to the start of the character
    // the cut would split.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end);
}

void put_section_header(std::vector<std::uint8_t>& out, std::string_view application) {
    const std::size_t start = begin_block(out, VLTR_BLOCK_SECTION_HEADER);
    put32(out, VLTR_BYTE_ORDER_MAGIC);
    put32(out, 1); // version 1.0: major 1, minor 0
    put32(out, 0xFFFFFFFFu);
    put32(out, 0xFFFFFFFFu); // section length not given
    put_text_option(out, VLTR_OPT_SHB_USERAPPL, application);
    put32(out, VLTR_OPT_END);
    end_block(out, start);
}

void put_interface(std::vector<std::uint8_t>& out, std::string_view name) {
    const std::size_t start = begin_block(out, VLTR_BLOCK_INTERFACE);
    put32(out, VLTR_LINKTYPE); // and 16 reserved bits
    put32(out, 0);             // no snapshot limit
    put_text_option(out, VLTR_OPT_IF_NAME, name);
    const std::uint8_t resolution = VLTR_TSRESOL_NANOSECONDS;
    put_option(out, VLTR_OPT_IF_TSRESOL, &resolution, 1);
    put32(out, VLTR_OPT_END);
    end_block(out, start);
}

std::uint64_t packet_block_size(const trace_call_t& call) {
    const std::uint64_t record =
        std::uint64_t{VLTR_RECORD_HEADER_SIZE} + call.in_size + call.out_size;
    return packet_head + padded(record) + packet_tail;
}

void put_packet(std::vector<std::uint8_t>& out, const trace_call_t& call, std::uint32_t thread) {
    const auto length =
        static_cast<std::uint32_t>(VLTR_RECORD_HEADER_SIZE + call.in_size + call.out_size);
    const auto size = static_cast<std::size_t>(packet_block_size(call));
    std::uint8_t* const block = grow(out, size);
    std::memset(block, 0, packet_head + VLTR_RECORD_HEADER_SIZE);
    store32(block, VLTR_BLOCK_ENHANCED_PACKET);
    store32(block + 4, static_cast<std::uint32_t>(size));
    store32(block + at_captured, length);
    store32(block + 24, length);

    std::uint8_t* const record = block + packet_head;
    store16(record + VLTR_OFF_HEADER_SIZE, VLTR_RECORD_HEADER_SIZE);
    record[VLTR_OFF_KIND] = static_cast<std::uint8_t>(call.kind);
    record[VLTR_OFF_FLAGS] = call.flags;
    store32(record + VLTR_OFF_THREAD, thread);
    store64(record + VLTR_OFF_HANDLE, call.handle);
    store32(record + VLTR_OFF_RESULT, call.result);
    store32(record + VLTR_OFF_LAST_ERROR, call.last_error);
    for (std::size_t i = 0; i < 4; ++i) {
        store32(record + VLTR_OFF_P0 + 4 * i, call.p[i]);
    }
    store32(record + VLTR_OFF_IN_SIZE, call.in_size);
    store32(record + VLTR_OFF_OUT_SIZE, call.out_size);
    std::uint8_t* data = record + VLTR_RECORD_HEADER_SIZE;
    if (call.in_size != 0) {
        std::memcpy(data, call.in, call.in_size);
        data += call.in_size;
    }
    if (call.out_size != 0) {
        std::memcpy(data, call.out, call.out_size);
        data += call.out_size;
    }
    std::uint8_t* const options = record + padded(length);
    std::memset(data, 0, static_cast<std::size_t>(options - data));
    store16(options, VLTR_OPT_EPB_PACKETID);
    store16(options + 2, 8);
    store64(options + 4, 0);
    store32(options + 12, VLTR_OPT_END);
    store32(options + 16, static_cast<std::uint32_t>(size));
}

void stamp_packet(std::uint8_t* block, const packet_stamp_t& stamp) {
    store32(block + at_interface, stamp.interface_id);
    store32(block + at_stamp_high, static_cast<std::uint32_t>(stamp.wall_ns >> 32));
    store32(block + at_stamp_low, static_cast<std::uint32_t>(stamp.wall_ns));
    std::uint8_t* const record = block + packet_head;
    store64(record + VLTR_OFF_SEQUENCE, stamp.sequence);
    store64(record + VLTR_OFF_TIME, stamp.elapsed_ns);
    const std::uint64_t length = load32(block + at_captured);
    store64(record + padded(length) + 4, stamp.sequence);
}

} // namespace velnor::os
