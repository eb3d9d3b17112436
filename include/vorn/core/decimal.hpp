// vorn/core/decimal.hpp: a fixed-point number and its locale-independent text.
//
// A decimal is a signed 64-bit `number` scaled by a power of ten, the signed 16-bit `factor`:
// its value is number × 10^factor. Sums and differences are exact integer operations at the
// finer of the two scales; the pair is never normalised.
//
//   namespace vc = vorn::core::v2;
//   vc::decimal price(1990, -2);                 // 19.90
//   vc::decimal tax(15, -1);                     // 1.5
//   vc::decimal total = price + tax;             // decimal(2140, -2)
//   std::string text = total.to_string(2, ',');  // "21,40", whatever the global locale
#ifndef VORN_CORE_DECIMAL_HPP
#define VORN_CORE_DECIMAL_HPP

#include <string>

#include "vorn/core/export.hpp"

namespace vorn::core::v2 {

// A value of number × 10^factor held in one owned heap block. Every constructor allocates the
// block and may throw std::bad_alloc; a moved-from decimal keeps its value (moves copy).
class VORN_CORE_API decimal {
  public:
    // Number 0, factor 0.
    decimal();
    // Stores both unchanged: decimal(100, -2) and decimal(1, 0) are equal in value but report
    // different numbers and factors.
    decimal(long long number, short factor);
    decimal(const decimal& other);
    // Copies: the source keeps its value.
    decimal(decimal&& other);
    ~decimal();

    // Copy the source's number and factor; never throw, the source is unchanged.
    decimal& operator=(const decimal& other) noexcept;
    decimal& operator=(decimal&& other) noexcept;

    long long get_number() const noexcept;
    short get_factor() const noexcept;

    // The exact sum or difference (this − other) at the smaller of the two factors; neither
    // operand changes. Throws std::overflow_error exactly when the exact result at that factor
    // does not fit in a signed 64-bit number.
    decimal operator+(const decimal& other);
    decimal operator-(const decimal& other);

    // The value as fixed-point text with `precision` decimals after `separator` (none when
    // precision is 0), rounded to nearest with ties to even, never grouped, whatever the
    // global locale: decimal(12345, -2).to_string(2, ',') is "123,45", and a negative value
    // that rounds to zero keeps its sign ("-0.00"). The value rendered is number × 10^factor
    // computed in 80-bit extended precision. Precisions above 2147483647 count as 2147483647.
    std::string to_string(unsigned int precision, char separator) const;

  private:
    struct block;
    block* block_;
};

}  // namespace vorn::core::v2

#endif  // VORN_CORE_DECIMAL_HPP
