// Fixed-point text of an 80-bit extended floating value.
#ifndef VORN_CORE_SRC_TEXT_FIXED_FORMAT_HPP
#define VORN_CORE_SRC_TEXT_FIXED_FORMAT_HPP

#include <string>

namespace vorn::core::v2::detail {

// Exactly the text of libc's "%.*Lf" conversion of `value` with `precision` decimals, as the
// "C" locale writes it, but with `separator` in place of the decimal point: an optional "-"
// (also for a negative value that rounds to zero), the integer digits, then, when precision is
// not 0, the separator and the decimals. Rounding is to nearest, ties to even, on the exact
// value. Never depends on any locale. `precision` must not exceed INT_MAX.
std::string format_fixed(long double value, unsigned int precision, char separator);

}  // namespace vorn::core::v2::detail

#endif
