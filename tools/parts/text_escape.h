// Text from boards and command lines made safe to print: a hostile serial
// must not move the cursor, clear the screen or cut a message short.
#pragma once

#include <cstddef>
#include <string>

namespace velnorctl {

// The text with every control character (C0 including NUL, DEL, C1) and
// every byte that is not part of valid UTF-8 written as \xNN; the rest,
// other UTF-8 text included, as it is.
std::string printable(const std::string& text);

// Characters (code points) in printable text, for aligning table columns.
std::size_t display_width(const std::string& text);

} // namespace velnorctl
