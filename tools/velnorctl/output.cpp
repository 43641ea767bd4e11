#include "output.h"

#include "board_queries.h"

#include <algorithm>
#include <cstdio>

namespace velnorctl {

void print_table(std::ostream& out, const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], row[i].size());
        }
    }
    for (const auto& row : rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) {
                line.append(widths[i] - row[i].size() + 2, ' ');
            }
        }
        out << line << '\n';
    }
}

std::string json_string(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        switch (c) {
        case '"':
            quoted += "\\\"";
            break;
        case '\\':
            quoted += "\\\\";
            break;
        case '\n':
            quoted += "\\n";
            break;
        case '\r':
            quoted += "\\r";
            break;
        case '\t':
            quoted += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                quoted += escaped;
            } else {
                quoted += c;
            }
        }
    }
    return quoted + "\"";
}

std::string json_version(const vl_version& version) {
    return "{\"major\":" + std::to_string(version.major) +
           ",\"minor\":" + std::to_string(version.minor) +
           ",\"patch\":" + std::to_string(version.patch) +
           ",\"text\":" + json_string(version_text(version)) + "}";
}

progress_t::progress_t(std::ostream& out, bool terminal, uint64_t total)
    : out_(out), terminal_(terminal), total_(total == 0 ? 1 : total) {}

void progress_t::update(uint64_t done) {
    const auto percent = static_cast<int>(std::min<uint64_t>(done, total_) * 100 / total_);
    if (terminal_) {
        constexpr int width = 30;
        const int filled = percent * width / 100;
        out_ << "\r[" << std::string(static_cast<size_t>(filled), '#')
             << std::string(static_cast<size_t>(width - filled), '.') << "] " << percent << "% "
             << done << "/" << total_ << " bytes" << std::flush;
        drawn_ = true;
        return;
    }
    const int step = percent / 10;
    if (step != last_step_) {
        last_step_ = step;
        out_ << "sent " << done << " of " << total_ << " bytes (" << percent << "%)\n";
    }
}

void progress_t::finish() {
    if (drawn_) {
        out_ << '\n';
    }
    drawn_ = false;
}

} // namespace velnorctl
