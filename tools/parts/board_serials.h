// The serials a watch shows: read from a board when it arrives, remembered
// for its removal, when the board can no longer be asked.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace velnorctl {

class board_serials_t {
public:
    // The serial of the board that arrived at path, read through the
    // library and remembered; nothing when it cannot be read (the board left
    // again, or the list changed between the listing and the open).
    std::optional<std::string> arrived(const std::string& path);

    // The serial remembered from the arrival at path in this run, if any;
    // forgotten now, since a board that comes back is read again.
    std::optional<std::string> removed(const std::string& path);

private:
    std::map<std::string, std::string> known_;
    bool listing_failed_ = false; // said once on standard error
};

} // namespace velnorctl
