// The boards' interface paths, as the system lists them. The library only
// hands out indexes; the tool asks the configuration manager itself (on the
// virtual platform, the virtual one) so that `list` can show where each
// board lives. One file per platform implements the listing, chosen by the
// build as the library chooses its backend.
#pragma once

#include <string>
#include <vector>

namespace velnorctl {

// The present interface paths of the board class, in the system's order,
// as UTF-8 text. Throws tool_error_t (library) naming the call that failed
// and its result when the system cannot list them.
std::vector<std::string> board_interface_paths();

// The paths of a configuration-manager list (each one ended by a NUL, the
// list by an empty one) as UTF-8 text; empty pieces are skipped.
std::vector<std::string> split_interface_list(const std::vector<wchar_t>& list);

// The failure of a listing call: "cannot list the boards' interface paths:
// CALL answered 0xNN".
[[noreturn]] void throw_listing_failure(const char* call, unsigned long result);

} // namespace velnorctl
