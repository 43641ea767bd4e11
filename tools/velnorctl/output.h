// Printing: aligned tables, JSON text, and the progress of a long transfer.
#pragma once

#include <velnor.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace velnorctl {

// Columns separated by two spaces, each as wide as its widest cell; the last
// column is not padded.
void print_table(std::ostream& out, const std::vector<std::vector<std::string>>& rows);

// A JSON string literal, quotes included.
std::string json_string(const std::string& text);

// {"major":1,"minor":3,"patch":0,"text":"1.3.0"}
std::string json_version(const vl_version& version);

// progress_t of a transfer: a bar redrawn in place on a terminal, otherwise a
// plain line at every tenth of the way (scripts and logs read those).
class progress_t {
public:
    progress_t(std::ostream& out, bool terminal, uint64_t total);
    void update(uint64_t done);
    void finish();

private:
    std::ostream& out_;
    bool terminal_;
    uint64_t total_;
    int last_step_ = -1;
    bool drawn_ = false; // a bar is on the line and needs its line end
};

} // namespace velnorctl
