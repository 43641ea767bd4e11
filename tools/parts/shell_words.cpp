#include "shell_words.h"

namespace velnorctl {

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

std::optional<std::vector<std::string>> split_words(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    const size_t n = line.size();
    for (;;) {
        while (i < n && is_blank(line[i])) {
            ++i;
        }
        if (i == n || line[i] == '#') {
            return words;
        }
        std::string word;
        while (i < n && !is_blank(line[i])) {
            const char c = line[i++];
            if (c == '\'') {
                const size_t close = line.find('\'', i);
                if (close == std::string::npos) {
                    return std::nullopt;
                }
                word.append(line, i, close - i);
                i = close + 1;
            } else if (c == '"') {
                for (;;) {
                    if (i == n) {
                        return std::nullopt;
                    }
                    const char q = line[i++];
                    if (q == '"') {
                        break;
                    }
                    if (q == '\\' && i < n && (line[i] == '"' || line[i] == '\\')) {
                        word += line[i++];
                    } else {
                        word += q;
                    }
                }
            } else if (c == '\\' && i < n) {
                word += line[i++];
            } else {
                word += c;
            }
        }
        words.push_back(std::move(word));
    }
}

} // namespace velnorctl
