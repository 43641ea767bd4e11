// The panel's secret: made anew at each start, handed to the browser in the
// address's fragment (never sent over the network by the browser itself),
// and asked of every API request.
#pragma once

#include <string>

namespace velnor_panel {

// 256 random bits from the system's generator as 43 characters of
// letters, digits, '-' and '_'.
std::string new_token();

// Whether given is the token, in a time that does not depend on where the
// two first differ (a guess cannot be refined by timing the refusals).
bool same_token(const std::string& given, const std::string& token) noexcept;

} // namespace velnor_panel
