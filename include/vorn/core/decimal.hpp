// SPDX-License-Identifier: MIT
/// \file
/// vorn/core/decimal.hpp: a fixed-point number and its locale-independent text.
///
/// A decimal is a signed 64-bit `number` scaled by a power of ten, the signed 16-bit `factor`:
/// its value is number × 10^factor. Sums, differences and products are exact integer
/// operations (sums at the finer of the two scales) that throw std::overflow_error rather than
/// lose a digit; the pair is never normalised, but comparisons and hashing go by exact value.
/// error_decimal is the status category a caller pushes to report a refused decimal text.
///
///   namespace vc = vorn::core::v2;
///   vc::decimal price(1990, -2);                 // 19.90
///   vc::decimal tax(15, -1);                     // 1.5
///   vc::decimal total = price + tax;             // decimal(2140, -2)
///   std::string text = total.to_string(2, ',');  // "21,40", whatever the global locale
///
///   vc::decimal amount;
///   const std::string received = "12,50";
///   if (vc::value_converter<vc::decimal>(',').make_value(amount, received.data(),
///                                                        received.size())
///       == vc::converter_status::success) { ... }  // decimal(1250, -2)
///   else { status.push(vc::error_decimal::invalid_format, received, ','); }
#ifndef VORN_CORE_DECIMAL_HPP
#define VORN_CORE_DECIMAL_HPP

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "vorn/core/converters.hpp"
#include "vorn/core/export.hpp"
#include "vorn/core/result.hpp"

namespace vorn::core::v2 {

class decimal;

/// How a value between two results of the chosen scale is rounded. "Half" modes round to the
/// nearer result and differ only at an exact tie.
enum class rounding_mode : std::uint32_t {
    half_even = 0,            ///< ties to the even last digit (banker's rounding)
    half_away_from_zero = 1,  ///< ties away from zero (2.5 to 3, -2.5 to -3)
    half_toward_zero = 2,     ///< ties toward zero (2.5 to 2, -2.5 to -2)
    toward_zero = 3,          ///< truncation (2.9 to 2, -2.9 to -2)
    away_from_zero = 4,       ///< any remainder away from zero (2.1 to 3, -2.1 to -3)
    toward_negative = 5,      ///< floor (2.9 to 2, -2.1 to -3)
    toward_positive = 6,      ///< ceiling (2.1 to 3, -2.9 to -2)
};

/// Limits a decimal reader applies on top of its grammar; a text past one is refused like a
/// malformed one. The defaults limit nothing.
struct decimal_limits {
    /// Digits written after the separator ("1.50" has 2).
    std::uint32_t max_decimals = UINT32_MAX;
    /// Digits before the separator, leading zeros not counted ("007.5" has 1, "0.5" none).
    std::uint32_t max_integer_digits = UINT32_MAX;
};

/// Reads a decimal from text: an optional "-", one or more ASCII digits, and optionally the
/// separator followed by one or more digits, nothing else (no spaces, "+", exponent or
/// grouping). "12.50" reads as decimal(1250, -2): the factor is minus the count of decimals
/// written; leading zeros are allowed and "-0.00" is decimal(0, -2).
/// Refused, with `out` unchanged: empty text, "-", ".", "1.", ".5", a number beyond the signed
/// 64-bit range and more than 32768 decimals. A digit as separator is read as a digit.
/// What to_string(p, separator) writes for decimal(n, -p) reads back equal to it.
template <>
class VORN_CORE_API value_converter<decimal> {
  public:
    /// Reads '.' as the separator.
    constexpr value_converter() noexcept = default;
    /// Reads `separator` (any character, NUL included) as the separator.
    constexpr explicit value_converter(char separator) noexcept : separator_(separator) {}

    /// Returns success with the value in `out`, or invalid_format with `out` unchanged. Reads
    /// exactly `length` characters at `text`; never allocates or throws.
    converter_status make_value(decimal& out, const char* text, std::size_t length) const noexcept;
    /// The same, also refusing (invalid_format, `out` unchanged) a text with more decimals or
    /// integer digits than `limits` allows: {4, 12} reads amounts up to 999999999999.9999.
    converter_status make_value(decimal& out, const char* text, std::size_t length,
                                decimal_limits limits) const noexcept;

  private:
    // Frozen layout: the separator alone, so limits come as an argument, not as state.
    char separator_ = '.';
};

/// The status category for a text that is not a decimal number. Code 1 only: "The text is not
/// a decimal number"; create() attaches the arguments "expected-format" and "received-value".
class VORN_CORE_API error_decimal : public result::category {
  public:
    /// The one object of this category.
    static error_decimal& instance();
    /// Code 1, for status.push(error_decimal::invalid_format, received[, separator]).
    static const result::code<error_decimal, 1> invalid_format;

    ~error_decimal() override;
    /// "vorn-core-error-decimal"
    const char* get_name() const override;
    const char* get_message(int code) const override;

    /// Attaches "expected-format" ("[-]digits[.digits]" with `separator` in place of '.') and
    /// then "received-value" (`received`, kept up to 239 bytes) to `item`, with one allocation.
    void create(result::stack::item& item, result::code<error_decimal, 1>,
                std::string_view received, char separator = '.') const noexcept;

  private:
    constexpr error_decimal() noexcept = default;
};

/// A value of number × 10^factor held in one owned heap block. Every constructor allocates the
/// block and may throw std::bad_alloc; a moved-from decimal keeps its value (moves copy).
class VORN_CORE_API decimal {
  public:
    /// Number 0, factor 0.
    decimal();
    /// Stores both unchanged: decimal(100, -2) and decimal(1, 0) are equal in value but report
    /// different numbers and factors.
    ///@{
    decimal(long long number, short factor);
    decimal(const decimal& other);
    ///@}
    /// Copies: the source keeps its value.
    // Frozen: every decimal owns a block at all times, so a move cannot leave the source empty.
    decimal(decimal&& other);
    ~decimal();

    /// Copy the source's number and factor; never throw, the source is unchanged.
    ///@{
    decimal& operator=(const decimal& other) noexcept;
    decimal& operator=(decimal&& other) noexcept;
    ///@}

    /// The stored number and factor: the value is number × 10^factor.
    ///@{
    long long get_number() const noexcept;
    short get_factor() const noexcept;
    ///@}

    /// The exact sum or difference (this − other) at the smaller of the two factors; neither
    /// operand changes. Throws std::overflow_error exactly when the exact result at that factor
    /// does not fit in a signed 64-bit number.
    ///@{
    // Frozen: the original non-const signatures, which programs link against; the const pair
    // below was added beside them.
    decimal operator+(const decimal& other);
    decimal operator-(const decimal& other);
    ///@}
    /// The same results for a const left operand.
    ///@{
    decimal operator+(const decimal& other) const;
    decimal operator-(const decimal& other) const;
    ///@}
    /// This object becomes the sum or difference above; on std::overflow_error it is unchanged.
    /// Never allocates.
    ///@{
    decimal& operator+=(const decimal& other);
    decimal& operator-=(const decimal& other);
    ///@}

    /// decimal(-number, factor); throws std::overflow_error for the smallest 64-bit number.
    decimal operator-() const;
    /// decimal(product of the numbers, sum of the factors), exactly; throws std::overflow_error
    /// exactly when the product does not fit in 64 bits or the sum of the factors in 16 bits.
    decimal operator*(const decimal& other) const;
    /// This object becomes the product above; on std::overflow_error it is unchanged.
    decimal& operator*=(const decimal& other);

    /// The value rounded to `decimals` places as `mode` says, with exactly that scale (factor
    /// -decimals; a negative count rounds to tens, hundreds...). Exact: decimal(12345, -3)
    /// rounded to 2 places half to even is decimal(1234, -2), and decimal(5, 0) to 2 places is
    /// decimal(500, -2). Throws std::overflow_error only when the result does not fit (its
    /// number in 64 bits, its factor in 16).
    decimal round(int decimals, rounding_mode mode = rounding_mode::half_even) const;
    /// This value divided by `divisor`, rounded to `decimals` places as `mode` says, from the
    /// exact quotient. A zero divisor throws std::domain_error (never undefined behaviour);
    /// a result that does not fit throws std::overflow_error, as round() does.
    ///@{
    decimal divide(const decimal& divisor, int decimals,
                   rounding_mode mode = rounding_mode::half_even) const;
    decimal divide(long long divisor, int decimals,
                   rounding_mode mode = rounding_mode::half_even) const;
    ///@}
    /// This object becomes round() or divide() of itself, without allocating (the forms above
    /// each allocate their result's block). On an exception it is unchanged.
    ///@{
    decimal& round_in_place(int decimals, rounding_mode mode = rounding_mode::half_even);
    decimal& divide_in_place(const decimal& divisor, int decimals,
                             rounding_mode mode = rounding_mode::half_even);
    decimal& divide_in_place(long long divisor, int decimals,
                             rounding_mode mode = rounding_mode::half_even);
    ///@}
    /// This amount in `parts` parts of `decimals` places that add up exactly to it and each
    /// differ from the exact share by less than one unit of the last place: every part gets
    /// the share cut toward zero, and the units left over go one each to the first parts
    /// (largest remainder, ties to the earlier part). decimal(100, 0).split(3, 2) is 33.34,
    /// 33.33, 33.33. Throws std::invalid_argument for no parts or an amount with digits
    /// beyond `decimals` places (it could not be split exactly), std::overflow_error when the
    /// amount at that scale does not fit.
    std::vector<decimal> split(std::size_t parts, int decimals) const;
    /// The same in proportion to `weights` (none negative, not all zero): the part for weight
    /// w is amount × w / sum, cut toward zero, and the units left over go one each to the parts
    /// with the largest remainders, ties to the earlier part. Throws std::invalid_argument for
    /// no weights, a negative weight or weights that are all zero, and as split(parts) does.
    std::vector<decimal> split(const std::vector<long long>& weights, int decimals) const;

    /// Negative, zero or positive as this value is below, equal to or above other's, by exact
    /// value whatever the factors (decimal(10, -1) equals decimal(1, 0)); never overflows.
    int compare(const decimal& other) const noexcept;
    /// A hash of the value: equal values (by compare) hash equal whatever their factors.
    std::size_t hash() const noexcept;

    /// The exact value number × 10^factor as fixed-point text with `precision` decimals after
    /// `separator` (none when precision is 0), rounded to nearest with ties to even, never
    /// grouped, whatever the global locale: decimal(12345, -2).to_string(2, ',') is "123,45",
    /// decimal(125, -3).to_string(2, '.') is "0.12", decimal(1, 28).to_string(0, '.') is a 1
    /// and 28 zeros, and a negative value that rounds to zero keeps its sign ("-0.00").
    /// Precisions above 2147483647 count as 2147483647; a text too long for memory throws
    /// std::bad_alloc or std::length_error.
    std::string to_string(unsigned int precision, char separator) const;
    /// The text to_string(precision, separator) gives, written to `out` when it fits in `size`
    /// characters (no NUL is added); otherwise nothing is written. Returns the text's length
    /// either way, so a caller whose buffer was too small knows what to supply. Never
    /// allocates or throws.
    std::size_t to_chars(char* out, std::size_t size, unsigned int precision,
                         char separator) const noexcept;

  private:
    friend class value_converter<decimal>;
    struct block;
    // Frozen layout: the handle is this one pointer, compiled into every caller.
    block* block_;
};

/// Comparisons by exact value, through compare(): decimal(10, -1) == decimal(1, 0).
///@{
inline bool operator==(const decimal& a, const decimal& b) noexcept {
    return a.compare(b) == 0;
}
inline bool operator!=(const decimal& a, const decimal& b) noexcept {
    return a.compare(b) != 0;
}
inline bool operator<(const decimal& a, const decimal& b) noexcept {
    return a.compare(b) < 0;
}
inline bool operator<=(const decimal& a, const decimal& b) noexcept {
    return a.compare(b) <= 0;
}
inline bool operator>(const decimal& a, const decimal& b) noexcept {
    return a.compare(b) > 0;
}
inline bool operator>=(const decimal& a, const decimal& b) noexcept {
    return a.compare(b) >= 0;
}
///@}

/// Writes the value at its own scale: to_string(-factor, '.') for a negative factor, else
/// to_string(0, '.') (decimal(1250, -2) as 12.50, decimal(7, 3) as 7000). Honours the stream's
/// width and fill like a string.
VORN_CORE_API std::ostream& operator<<(std::ostream& out, const decimal& value);

}  // namespace vorn::core::v2

namespace std {
/// Hashes by value, consistently with ==.
template <>
struct hash<vorn::core::v2::decimal> {
    /// value.hash().
    size_t operator()(const vorn::core::v2::decimal& value) const noexcept { return value.hash(); }
};
}  // namespace std

#endif  // VORN_CORE_DECIMAL_HPP
