// Options that only builds on the virtual platform have: how many virtual
// boards are present, and (for tests) a fault switch of the virtual driver.
#pragma once

#include <string>

namespace velnorctl {

// Replaces the virtual boards with count boards of the default configuration.
void use_virtual_boards(int count);

// "fn=3,status=-10": request 3 answers status -10 from now on;
// "fn=3,reply=4": request 3 writes only its first 4 reply bytes;
// "call=list_size,value=0x13": the next platform call of that kind fails
// with that value (a CONFIGRET for the list calls, else a last error).
// Throws tool_error_t (usage) for any other text.
void apply_virtual_fault(const std::string& switch_text);

} // namespace velnorctl
