/*
 * trace_words.h - a record in words: the board request by the board
 * protocol's name, its input as the tool's commands name it ("blink",
 * "0x230 = 0x55"), the result (a CONFIGRET's name, the reply's status word by
 * the library's result names). `velnorctl trace show` prints them and the
 * replay's divergence texts use them, so both say the same.
 */
#ifndef VELNOR_SIM_TRACE_WORDS_H
#define VELNOR_SIM_TRACE_WORDS_H

#include "trace_reader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velnor::sim {

/* "0x%0*x": the value in hex, at least `digits` digits. */
std::string trace_hex(std::uint64_t value, int digits = 0);

/* The first 16 bytes in hex, and the count when there are more. */
std::string trace_hex_bytes(const std::vector<std::uint8_t>& bytes);

/* The request number of a board control code (0x222000 + 4n, n below the
 * request count), or none for any other code. */
std::optional<std::uint32_t> trace_request_of(std::uint32_t code);

/* "set_led", or the control code in hex when it is not a board request. */
std::string trace_request_words(std::uint32_t code);

/* A request's input ("blink", "0x230 = 0x55", "offset 0, 1024 bytes"); raw
 * hex when its length is not the request's; "-" when there is none. */
std::string trace_input_words(std::uint32_t code, const std::vector<std::uint8_t>& in);

/* "CR_SUCCESS", "CR_BUFFER_SMALL", "CONFIGRET 0x2a". */
std::string trace_configret_words(std::uint32_t value);

/* What the call returned: "success (0)", "CR_SUCCESS, 61 characters",
 * "handle 0x40", "failed, error 2", ...; status is set to the reply's status
 * word when a DeviceIoControl reply has one. */
std::string trace_result_words(const trace_record_t& record, std::optional<std::int32_t>& status);

/* A call in short, for the replay's texts: "DeviceIoControl set_led blink,
 * reply capacity 4", "CreateFileW of PATH", "CM_Get_Device_Interface_ListW
 * into 121 characters". p and in as a record holds them. */
std::string trace_call_words(std::uint32_t kind, const std::uint32_t* p,
                             const std::vector<std::uint8_t>& in);

} // namespace velnor::sim

#endif /* VELNOR_SIM_TRACE_WORDS_H */
