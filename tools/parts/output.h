// Printing: aligned tables, JSON documents, local times, and the progress of
// a long transfer. Text from boards goes through printable() in tables and is
// escaped by the JSON library in documents.
#pragma once

#include "text_escape.h"

#include <velnor.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace velnorctl {

// Keys in the order they are written.
using json_t = nlohmann::ordered_json;

// Columns separated by two spaces, each as wide as its widest cell; the last
// column is not padded. Control characters in cells are escaped.
void print_table(std::ostream& out, const std::vector<std::vector<std::string>>& rows);

// {"major":1,"minor":3,"patch":0,"text":"1.3.0"}
json_t version_json(const vl_version& version);

// The document on one line, in ASCII: other characters and control
// characters as \u escapes, bytes that are not UTF-8 as \ufffd, so the
// output is always valid JSON whatever a board reports.
void print_json(std::ostream& out, const json_t& document);

// The moment as local wall-clock time to the millisecond, in ISO 8601:
// "2026-12-10T08:15:02.123".
std::string local_time_text(std::chrono::system_clock::time_point moment);

// Progress of a transfer: a bar redrawn in place on a terminal, otherwise a
// plain line at every tenth of the way (scripts and logs read those).
class progress_t {
public:
    progress_t(std::ostream& out, bool terminal, uint64_t total);
    void update(uint64_t done);
    void finish();
    const std::ostream& stream() const { return out_; }

private:
    std::ostream& out_;
    bool terminal_;
    uint64_t total_;
    int last_step_ = -1;
    bool drawn_ = false; // a bar is on the line and needs its line end
};

} // namespace velnorctl
