// The error model every layer raises through: the library's result codes
// carried in std::error_code under the category "Velnor", raise() and
// require() to throw them, and (in error/system_failure.h) failed system
// calls in the system category. Below every other room but the OS seam: it
// includes only the public header and the seam.
#pragma once

#include <velnor.h>

#include <string>
#include <system_error>

// Names the category "Velnor"; messages come from the result-code table.
class Velnor_error_category_t final : public std::error_category {
public:
    const char* name() const noexcept override;
    std::string message(int value) const override;
};

// The single instance, made on first use.
const Velnor_error_category_t& velnor_category() noexcept;

// A result code in the library's category.
std::error_code make_error_code(vl_rc code) noexcept;

namespace velnor {

// Raises a failure in the library's category: what() is the message, ": ",
// and the code's name.
[[noreturn]] void raise(vl_rc code, const char* message);

// Refuses a null pointer argument with VL_RC_NULL_PARAMETER and a fixed text.
template <typename T> T* require(T* pointer, const char* message) {
    if (pointer == nullptr) {
        raise(VL_RC_NULL_PARAMETER, message);
    }
    return pointer;
}

} // namespace velnor
