// A small JSON reader for checking the tool's --json output: objects,
// arrays, strings (with the escapes the tool writes), numbers, true, false,
// null. Throws std::runtime_error on anything malformed.
#pragma once

#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace json {

struct Value {
    enum class Kind { null, boolean, number, string, array, object } kind = Kind::null;
    bool boolean = false;
    double number = 0;
    std::string string;
    std::vector<Value> array;
    std::map<std::string, Value> object;

    const Value& operator[](const std::string& key) const {
        const auto found = object.find(key);
        if (kind != Kind::object || found == object.end()) {
            throw std::runtime_error("no member " + key);
        }
        return found->second;
    }
    const Value& operator[](size_t index) const { return array.at(index); }
};

class Reader {
public:
    explicit Reader(const std::string& text) : text_(text) {}

    Value document() {
        Value value = parse();
        skip_space();
        if (at_ != text_.size()) {
            fail("text after the document");
        }
        return value;
    }

private:
    [[noreturn]] void fail(const std::string& why) const {
        throw std::runtime_error("JSON: " + why + " at " + std::to_string(at_));
    }
    void skip_space() {
        while (at_ < text_.size() && std::string(" \t\r\n").find(text_[at_]) != std::string::npos) {
            ++at_;
        }
    }
    bool take(char c) {
        skip_space();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    void expect(char c) {
        if (!take(c)) {
            fail(std::string("expected '") + c + "'");
        }
    }
    bool word(const std::string& w) {
        if (text_.compare(at_, w.size(), w) == 0) {
            at_ += w.size();
            return true;
        }
        return false;
    }
    std::string string_literal() {
        expect('"');
        std::string out;
        while (at_ < text_.size() && text_[at_] != '"') {
            char c = text_[at_++];
            if (c == '\\') {
                if (at_ >= text_.size()) {
                    fail("unfinished escape");
                }
                const char e = text_[at_++];
                const std::string plain = "\"\\/bfnrt";
                const std::string meant = "\"\\/\b\f\n\r\t";
                if (e == 'u') {
                    out +=
                        static_cast<char>(std::strtol(text_.substr(at_, 4).c_str(), nullptr, 16));
                    at_ += 4;
                    continue;
                }
                const size_t i = plain.find(e);
                if (i == std::string::npos) {
                    fail("bad escape");
                }
                c = meant[i];
            }
            out += c;
        }
        expect('"');
        return out;
    }
    Value parse() {
        skip_space();
        Value value;
        if (at_ >= text_.size()) {
            fail("unexpected end");
        }
        const char c = text_[at_];
        if (c == '{') {
            value.kind = Value::Kind::object;
            ++at_;
            if (take('}')) {
                return value;
            }
            do {
                skip_space();
                const std::string key = string_literal();
                expect(':');
                value.object[key] = parse();
            } while (take(','));
            expect('}');
        } else if (c == '[') {
            value.kind = Value::Kind::array;
            ++at_;
            if (take(']')) {
                return value;
            }
            do {
                value.array.push_back(parse());
            } while (take(','));
            expect(']');
        } else if (c == '"') {
            value.kind = Value::Kind::string;
            value.string = string_literal();
        } else if (word("true") || word("false")) {
            value.kind = Value::Kind::boolean;
            value.boolean = text_[at_ - 1] == 'e' && text_[at_ - 2] == 'u';
        } else if (word("null")) {
            value.kind = Value::Kind::null;
        } else {
            const char* start = text_.c_str() + at_;
            char* end = nullptr;
            value.number = std::strtod(start, &end);
            if (end == start) {
                fail("unexpected character");
            }
            value.kind = Value::Kind::number;
            at_ += static_cast<size_t>(end - start);
        }
        return value;
    }

    const std::string& text_;
    size_t at_ = 0;
};

inline Value parse(const std::string& text) {
    return Reader(text).document();
}

} // namespace json
