// What the three harnesses share: a private temporary directory for the
// library's log, a check that aborts with a message (so libFuzzer keeps the
// input), and the result codes the library documents.
#pragma once

#include <velnor.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

// Aborts with the condition and a printf-style note when cond is false.
#define FUZZ_CHECK(cond, ...)                                                                      \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            velnor_fuzz::fail(__FILE__, __LINE__, #cond, __VA_ARGS__);                             \
        }                                                                                          \
    } while (0)

namespace velnor_fuzz {

[[noreturn]] void fail(const char* file, int line, const char* condition, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// Called at the start of every input: keeps the log file small, since every
// failed call appends a line to it for the life of the process.
void trim_log();

// Reads an input front to back, little-endian; past the end every value is 0,
// so a short input is a valid input with the remaining choices at their
// defaults.
class byte_reader {
public:
    byte_reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t remaining() const { return size_ - at_; }
    std::uint8_t u8() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint16_t u16() { return static_cast<std::uint16_t>(u8() | (u8() << 8)); }
    std::uint32_t u32() { return u16() | (static_cast<std::uint32_t>(u16()) << 16); }
    std::uint64_t u64() { return u32() | (static_cast<std::uint64_t>(u32()) << 32); }
    bool flag() { return (u8() & 1u) != 0; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Statuses the board itself answers (busy update, bad value, no lock, ...).
inline constexpr vl_rc board_statuses[] = {-2, -7, -8, -9, -10, -11};

// The value the library reads when the driver writes only the first `bytes`
// bytes of its status word (the rest stay zero): 0 for bytes 0, the word
// itself for 4 or more.
vl_rc truncated_status(vl_rc status, std::uint32_t bytes);

bool one_of(vl_rc rc, std::initializer_list<vl_rc> set);

// A small set of results, grown as switches make statuses possible.
class result_set {
public:
    result_set(std::initializer_list<vl_rc> codes) : codes_(codes) {}
    void add(vl_rc rc);
    // Adds the status and every value a shortened reply makes of it.
    void add_with_truncations(vl_rc status);
    bool contains(vl_rc rc) const;

private:
    std::vector<vl_rc> codes_;
};

} // namespace velnor_fuzz
