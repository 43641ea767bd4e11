/*
 * trace_file.h - reads a trace file from its path, for the virtual platform's
 * vlsim_load_trace and velnorctl's `trace show` alike: a regular file only
 * (a FIFO, a folder or a device is refused with its own text, and opening
 * never waits on a writer), the magic checked in the first 12 bytes before
 * the rest is read, 64-bit sizes, and at most VLTR_MAX_FILE_SIZE bytes read:
 * the part past it is named as damage after the records before it.
 */
#ifndef VELNOR_SIM_TRACE_FILE_H
#define VELNOR_SIM_TRACE_FILE_H

#include "trace_reader.h"

#include <velnor_trace_format.h>

#include <cstdint>
#include <string>
#include <vector>

namespace velnor::sim {

/* The first bytes of a file, at most `limit` of them, and the file's whole
 * size. False with error set ("is a folder, not a trace file", "cannot open
 * it: ...") when the path is not a regular file that can be read. The path is
 * UTF-8; on Windows it is opened as UTF-16. */
bool read_regular_file(const std::string& path, std::uint64_t limit,
                       std::vector<std::uint8_t>& bytes, std::uint64_t& file_size,
                       std::string& error);

enum class trace_load_t {
    loaded,      /* trace is set; trace.damage says why it may end early */
    unreadable,  /* the path is no regular file that can be read */
    not_a_trace, /* its bytes are not a trace (read_trace's error) */
};

/* Reads the trace at path, error set unless loaded. A file past `limit`
 * bytes gives the records before that point, and trace.damage says the trace
 * goes on past it ("past 1 GiB"). */
trace_load_t load_trace_file(const std::string& path, trace_t& trace, std::string& error,
                             std::uint64_t limit = VLTR_MAX_FILE_SIZE);

} // namespace velnor::sim

#endif /* VELNOR_SIM_TRACE_FILE_H */
