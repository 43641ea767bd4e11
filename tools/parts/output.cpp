#include "output.h"

#include "board_queries.h"
#include "platform.h"

#include <fmt/chrono.h>
#include <fmt/format.h>

#include <algorithm>

namespace velnorctl {

void print_table(std::ostream& out, const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::vector<std::string>> cells;
    std::vector<size_t> widths;
    for (const auto& row : rows) {
        cells.emplace_back();
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (size_t i = 0; i < row.size(); ++i) {
            cells.back().push_back(printable(row[i]));
            widths[i] = std::max(widths[i], display_width(cells.back()[i]));
        }
    }
    for (const auto& row : cells) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) {
                line.append(widths[i] - display_width(row[i]) + 2, ' ');
            }
        }
        out << line << '\n';
    }
}

json_t version_json(const vl_version& version) {
    return {{"major", version.major},
            {"minor", version.minor},
            {"patch", version.patch},
            {"text", version_text(version)}};
}

void print_json(std::ostream& out, const json_t& document) {
    out << document.dump(-1, ' ', true, json_t::error_handler_t::replace) << '\n';
}

std::string local_time_text(std::chrono::system_clock::time_point moment) {
    using namespace std::chrono;
    const auto second = floor<seconds>(moment); // the second the moment is in, also before 1970
    const auto millisecond = duration_cast<milliseconds>(moment - second).count();
    const std::tm local = platform::local_time(system_clock::to_time_t(second));
    return fmt::format("{:%Y-%m-%dT%H:%M:%S}.{:03}", local, millisecond);
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
        // Flushed at once: a script or a log follows the transfer as it goes.
        out_ << "sent " << done << " of " << total_ << " bytes (" << percent << "%)" << std::endl;
    }
}

void progress_t::finish() {
    if (drawn_) {
        out_ << '\n';
    }
    drawn_ = false;
}

} // namespace velnorctl
