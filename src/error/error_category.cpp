#include "error/error_category.h"

#include "error/result_codes.h"

const char* Velnor_error_category_t::name() const noexcept {
    return "Velnor";
}

std::string Velnor_error_category_t::message(int value) const {
    return velnor::rc_name(value);
}

const Velnor_error_category_t& velnor_category() noexcept {
    static const Velnor_error_category_t category;
    return category;
}

std::error_code make_error_code(vl_rc code) noexcept {
    return {code, velnor_category()};
}

namespace velnor {

void raise(vl_rc code, const char* message) {
    throw std::system_error(make_error_code(code), message);
}

} // namespace velnor
