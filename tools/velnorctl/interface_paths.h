// The boards' interface paths, as the system lists them. The library only
// hands out indexes; the tool asks the configuration manager itself (on the
// virtual platform, the virtual one) so that `list` can show where each
// board lives.
#pragma once

#include <string>
#include <vector>

namespace velnorctl {

// The present interface paths of the board class, in the system's order,
// as UTF-8 text. Empty when the system cannot list them.
std::vector<std::string> board_interface_paths();

} // namespace velnorctl
