/*
 * trace_reader.h - reads a Velnor trace (velnor_trace_format.h) from bytes,
 * checking every length against what is there: a damaged or hostile file
 * gives an error text or a shorter list of records, never a read out of
 * bounds. Pure parsing, no platform state: the virtual platform's replay
 * and velnorctl's `trace show` (on every build) read traces through it.
 */
#ifndef VELNOR_SIM_TRACE_READER_H
#define VELNOR_SIM_TRACE_READER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velnor::sim {

struct trace_record_t {
    std::uint32_t interface_id = 0;
    std::uint8_t kind = 0;
    std::uint8_t flags = 0;
    std::uint32_t thread = 0;
    std::uint64_t sequence = 0;
    std::uint64_t time_ns = 0;
    std::uint64_t handle = 0;
    std::uint32_t result = 0;
    std::uint32_t last_error = 0;
    std::uint32_t p[4] = {};
    std::vector<std::uint8_t> in;
    std::vector<std::uint8_t> out;
};

struct trace_t {
    std::string application;             /* shb_userappl */
    std::vector<std::string> interfaces; /* if_name of each interface, by id */
    std::vector<trace_record_t> records; /* in file order */
    std::string damage;                  /* why reading stopped before the end; empty when whole */
    bool cut_short = false;              /* the damage is the bytes ending inside a block */
};

/* Reads a trace. False with error set when the bytes are not a trace or are
 * damaged before the first whole record; a later damage keeps the records
 * before it and says why in trace.damage. */
bool read_trace(const std::uint8_t* data, std::size_t size, trace_t& trace, std::string& error);

/* True when the bytes begin as a little-endian pcapng file does (the first
 * 12 bytes are enough); otherwise false with error set as read_trace sets it. */
bool trace_magic_ok(const std::uint8_t* data, std::size_t size, std::string& error);

/* The name of a record's call ("DeviceIoControl", ...), "kind N" for others. */
const char* trace_kind_name(std::uint32_t kind);

} // namespace velnor::sim

#endif /* VELNOR_SIM_TRACE_READER_H */
