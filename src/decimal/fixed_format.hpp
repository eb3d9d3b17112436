// Fixed-point text of a decimal value, computed exactly in decimal digits.
#ifndef VORN_CORE_SRC_DECIMAL_FIXED_FORMAT_HPP
#define VORN_CORE_SRC_DECIMAL_FIXED_FORMAT_HPP

#include <cstdint>
#include <string>

namespace vorn::core::v2::detail {

// 10^0 to 10^19, every power of ten an unsigned 64-bit number holds.
inline constexpr std::uint64_t powers_of_ten[] = {1ULL,
                                                  10ULL,
                                                  100ULL,
                                                  1000ULL,
                                                  10000ULL,
                                                  100000ULL,
                                                  1000000ULL,
                                                  10000000ULL,
                                                  100000000ULL,
                                                  1000000000ULL,
                                                  10000000000ULL,
                                                  100000000000ULL,
                                                  1000000000000ULL,
                                                  10000000000000ULL,
                                                  100000000000000ULL,
                                                  1000000000000000ULL,
                                                  10000000000000000ULL,
                                                  100000000000000000ULL,
                                                  1000000000000000000ULL,
                                                  10000000000000000000ULL};

// The text of ±magnitude × 10^exponent rounded to `precision` decimals, to nearest with ties to
// even: a "-" whenever `negative` is set (also when the text shows zero), at least one integer
// digit, then, when precision is not 0, `separator` and exactly precision decimals. Never
// depends on any locale; one allocation at most (the result), time linear in its length.
// `precision` must not exceed INT_MAX.
std::string format_fixed(bool negative, std::uint64_t magnitude, int exponent,
                         unsigned int precision, char separator);

}  // namespace vorn::core::v2::detail

#endif
