// The pcapng bytes of a trace (velnor_trace_format.h): the section header,
// an interface per path, and one enhanced packet block per call, built
// without the writer's lock; the numbers only the writer knows (interface,
// time, sequence) are filled in afterwards.
#pragma once

#include <velnor_trace_format.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velnor::os {

// One call as the recording seam saw it; data points at bytes the caller
// keeps alive until it is recorded.
struct trace_call_t {
    vltr_kind kind = VLTR_LIST_SIZE;
    std::uint8_t flags = 0;
    std::uint64_t handle = 0;
    std::uint32_t result = 0;
    std::uint32_t last_error = 0;
    std::uint32_t p[4] = {};
    const std::uint8_t* in = nullptr;
    std::uint32_t in_size = 0;
    const std::uint8_t* out = nullptr;
    std::uint32_t out_size = 0;
    // CreateFileW: the path in UTF-8, naming the board's interface.
    const std::string* path = nullptr;
};

// The most bytes a pcapng option holds (its length is 16 bits).
constexpr std::size_t max_option_size = 0xFFFF;

// The longest start of text of at most most bytes that ends on a UTF-8
// character's boundary.
std::string_view utf8_prefix(std::string_view text, std::size_t most);

// Appends the section header block, naming the application that wrote it.
void put_section_header(std::vector<std::uint8_t>& out, std::string_view application);

// Appends an interface description block: if_name the name (cut to
// max_option_size bytes, at a character's boundary), if_tsresol nanoseconds.
void put_interface(std::vector<std::uint8_t>& out, std::string_view name);

// The bytes the call's packet block takes, counted in 64 bits: a record's
// data can be larger than a block can say.
std::uint64_t packet_block_size(const trace_call_t& call);

// Appends the call's packet block (at most 4 GiB: packet_block_size first),
// the thread named, its interface, time and sequence left 0.
void put_packet(std::vector<std::uint8_t>& out, const trace_call_t& call, std::uint32_t thread);

// Fills in the numbers of the packet block at block that put_packet made.
struct packet_stamp_t {
    std::uint32_t interface_id;
    std::uint64_t wall_ns;    // the block's time stamp: nanoseconds since 1970
    std::uint64_t elapsed_ns; // the record's time: since the trace began
    std::uint64_t sequence;
};
void stamp_packet(std::uint8_t* block, const packet_stamp_t& stamp);

} // namespace velnor::os
