// Fixed-point text of a decimal value, computed exactly in decimal digits.
#ifndef VORN_CORE_SRC_DECIMAL_FIXED_FORMAT_HPP
#define VORN_CORE_SRC_DECIMAL_FIXED_FORMAT_HPP

#include <cstdint>
#include <string>

namespace vorn::core::v2::detail {

// The text of ±magnitude × 10^exponent rounded to `precision` decimals, to nearest with ties to
// even: a "-" whenever `negative` is set (also when the text shows zero), at least one integer
// digit, then, when precision is not 0, `separator` and exactly precision decimals. Never
// depends on any locale; one allocation at most (the result), time linear in its length.
// `precision` must not exceed INT_MAX.
std::string format_fixed(bool negative, std::uint64_t magnitude, int exponent,
                         unsigned int precision, char separator);

}  // namespace vorn::core::v2::detail

#endif
