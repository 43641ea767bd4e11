// What only builds on the virtual platform offer: which virtual boards are
// present, a fault switch of the virtual driver for trying how scripts take
// failures, and the trigger's edge.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace velnorctl {

// From now on the platform answers every call from the trace in file, and
// its boards are the trace's. Throws tool_error_t (file) with the platform's
// text when it refuses the file.
void replay_trace(const std::string& file);

// Whether a trace is replaying (replay_trace succeeded).
bool replaying_trace();

// After the command: when a call left the trace, prints the platform's
// divergence on standard error, and when the run ended with records of the
// trace left, how many and the next one; either returns exit_code_t::replay
// (as an int). Otherwise returns result.
int replay_verdict(int result);

// Replaces the virtual boards with count boards of the default configuration.
void use_virtual_boards(int count);

// Replaces the virtual boards with one board per serial, in order (the
// serials may repeat, or hold any byte but NUL). Throws tool_error_t (usage)
// for a serial longer than 32 bytes.
void use_virtual_board_serials(const std::vector<std::string>& serials);

// The edge arrives at the board at index: an armed trigger fires. Throws
// tool_error_t (no_board) when there is no such board.
void fire_virtual_trigger(size_t index);

// "fn=3,status=-10": request 3 answers status -10 from now on;
// "fn=3,reply=4": request 3 writes only its first 4 reply bytes;
// "call=list_size,value=0x13": the next platform call of that kind fails
// with that value (a CONFIGRET for the list calls, else a last error);
// "call=listen,value=8": the next watch's registration fails with that error.
// Throws tool_error_t (usage) for any other text.
void apply_virtual_fault(const std::string& switch_text);

} // namespace velnorctl
