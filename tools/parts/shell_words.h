// The words of a shell line: blanks separate them; '...' quotes text as it
// stands, "..." quotes text in which \" and \\ stand for " and \; outside
// quotes a backslash keeps the next character; a # that starts a word
// starts a comment that runs to the end of the line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velnorctl {

// The words, or nothing when a quote is not closed.
std::optional<std::vector<std::string>> split_words(const std::string& line);

} // namespace velnorctl
