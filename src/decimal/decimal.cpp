// SPDX-License-Identifier: MIT
// decimal's members: exact sums, differences and products, comparison and hashing by value,
// the fixed-point text, and the reader.
#include "vorn/core/decimal.hpp"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>

#include "common/compiler.hpp"
#include "decimal/decimal_block.hpp"
#include "decimal/fixed_format.hpp"

namespace vorn::core::v2 {

namespace {

using detail::digit_count;
using detail::int128;
using detail::powers_of_ten;
using detail::uint128;
constexpr int largest_scale = 19;

// A result computed before any block is touched, so that a throwing operation changes nothing.
struct value {
    std::int64_t number;
    std::int16_t factor;
};

// number × 10^shift, exactly. When that is 10^20 or more in magnitude, no sum with another
// 64-bit number can come back into 64 bits, so `fits` is cleared instead.
int128 scaled(std::int64_t number, int shift, bool& fits) {
    if (number == 0 || shift == 0) {
        return number;
    }
    if (shift > largest_scale) {
        fits = false;
        return 0;
    }
    // |number| < 2^63 and 10^19 < 2^64: the product stays below 2^127.
    return static_cast<int128>(number) * static_cast<int128>(powers_of_ten[shift]);
}

[[noreturn]] VORN_CORE_COLD void throw_overflow(const char* what) {
    throw std::overflow_error(what);
}

constexpr const char* sum_overflow = "decimal sum does not fit in a signed 64-bit number";
constexpr const char* difference_overflow =
    "decimal difference does not fit in a signed 64-bit number";

// The exact a ± b at the finer of the two factors, for operands whose factors differ.
VORN_CORE_NOINLINE value aligned_scaled(const value& a, const value& b, bool subtract) {
    const std::int16_t factor = a.factor < b.factor ? a.factor : b.factor;
    bool fits = true;
    const int128 x = scaled(a.number, a.factor - factor, fits);
    const int128 y = scaled(b.number, b.factor - factor, fits);
    // At most one operand is scaled, so the sum stays far inside the 128-bit range.
    const int128 exact = subtract ? x - y : x + y;
    if (!fits || exact < INT64_MIN || exact > INT64_MAX) {
        throw_overflow(subtract ? difference_overflow : sum_overflow);
    }
    return {static_cast<std::int64_t>(exact), factor};
}

// The exact a ± b at the finer of the two factors. Equal factors, the usual case, need no
// scaling: the sum or difference itself either fits in 64 bits or overflows.
inline value aligned(const value& a, const value& b, bool subtract) {
    if (a.factor != b.factor) {
        return aligned_scaled(a, b, subtract);
    }
    std::int64_t exact = 0;
    if (subtract ? detail::sub_overflows(a.number, b.number, &exact)
                 : detail::add_overflows(a.number, b.number, &exact)) {
        throw_overflow(subtract ? difference_overflow : sum_overflow);
    }
    return {exact, a.factor};
}

value product(const value& a, const value& b) {
    // Both magnitudes are at most 2^63: the product's is at most 2^126.
    const int128 exact = static_cast<int128>(a.number) * static_cast<int128>(b.number);
    if (exact < INT64_MIN || exact > INT64_MAX) {
        throw std::overflow_error("decimal product does not fit in a signed 64-bit number");
    }
    const int factor = a.factor + b.factor;
    if (factor < INT16_MIN || factor > INT16_MAX) {
        throw std::overflow_error("decimal product factor does not fit in a signed 16-bit number");
    }
    return {static_cast<std::int64_t>(exact), static_cast<std::int16_t>(factor)};
}

std::uint64_t magnitude(std::int64_t number) {
    const auto bits = static_cast<std::uint64_t>(number);
    return number < 0 ? 0 - bits : bits;
}

// Compares a × 10^a_factor with b × 10^b_factor for non-zero magnitudes.
int compare_magnitudes(std::uint64_t a, int a_factor, std::uint64_t b, int b_factor) {
    // The power of ten just above each value's leading digit decides unless they agree.
    const int a_top = digit_count(a) + a_factor;
    const int b_top = digit_count(b) + b_factor;
    if (a_top != b_top) {
        return a_top < b_top ? -1 : 1;
    }
    // Then the factors differ by the difference of the digit counts, at most 19, and the
    // aligned magnitudes have at most 20 digits.
    uint128 x = a;
    uint128 y = b;
    if (a_factor > b_factor) {
        x *= powers_of_ten[a_factor - b_factor];
    } else if (b_factor > a_factor) {
        y *= powers_of_ten[b_factor - a_factor];
    }
    return x < y ? -1 : (x > y ? 1 : 0);
}

// The digits of a decimal text without its sign, read as one magnitude, and the count of those
// after the separator; `refused` in place of the count for a text the reader does not accept.
// Two words, so that even the out-of-line reader returns it in registers.
struct unsigned_text {
    std::uint64_t magnitude;
    std::size_t decimals;
};
constexpr std::size_t refused = SIZE_MAX;

// Reads "digits[<separator>digits]" from `p` to `end` and returns the count of digits after the
// separator, or `refused` when the text has another shape. Each run of digits goes through
// `read_run`, which adds the digits from `p` on to the magnitude, leaves `p` at the first
// non-digit and returns false when they do not fit.
template <class ReadRun>
VORN_CORE_FORCE_INLINE std::size_t read_unsigned(const char* p, const char* end, char separator,
                                                 ReadRun read_run) {
    const char* const integer_begin = p;
    if (!read_run(p) || p == integer_begin) {
        return refused;
    }
    if (p == end) {
        return 0;
    }
    if (*p != separator) {
        return refused;
    }
    const char* const fraction_begin = ++p;
    if (!read_run(p) || p != end || p == fraction_begin) {
        return refused;
    }
    return static_cast<std::size_t>(p - fraction_begin);
}

// Texts of at most this many characters hold at most 18 digits, which stay below 10^18 and so
// inside the signed 64-bit range with either sign, and at most 16 decimals, far inside the
// factor's range.
constexpr std::size_t short_text = 18;

// The reader for texts of at most short_text characters, sign included: no digit can overflow,
// so none is checked.
VORN_CORE_FORCE_INLINE unsigned_text read_short_unsigned(const char* p, const char* end,
                                                         char separator) {
    std::uint64_t number = 0;
    const auto read_run = [end, &number](const char*& at) {
        for (; at != end; ++at) {
            const unsigned int digit = static_cast<unsigned char>(*at) - unsigned{'0'};
            if (digit > 9) {
                break;
            }
            number = number * 10 + digit;
        }
        return true;
    };
    const std::size_t decimals = read_unsigned(p, end, separator, read_run);
    return {number, decimals};
}

// The reader for texts of any length: the magnitude at most `limit`, at most 32768 decimals
// (a factor of -32768). Amounts past short_text characters are rare: kept apart, so that the
// short path stays compact.
VORN_CORE_COLD unsigned_text read_any_unsigned(const char* p, const char* end, char separator,
                                               std::uint64_t limit) {
    constexpr std::size_t most_decimals = 32768;
    std::uint64_t number = 0;
    const auto read_run = [end, limit, &number](const char*& at) {
        for (; at != end && *at >= '0' && *at <= '9'; ++at) {
            const auto digit = static_cast<std::uint64_t>(*at - '0');
            if (number > (limit - digit) / 10) {
                return false;
            }
            number = number * 10 + digit;
        }
        return true;
    };
    const std::size_t decimals = read_unsigned(p, end, separator, read_run);
    return {number, decimals <= most_decimals ? decimals : refused};
}

// Reads "[-]digits[<separator>digits]", the whole of [text, text + length), and sets `negative`
// from its sign. The count of decimals is `refused` when the text has another shape or its
// number does not fit in a signed 64-bit number.
VORN_CORE_FORCE_INLINE unsigned_text read_decimal_text(const char* text, std::size_t length,
                                                       char separator, bool& negative) {
    const char* const end = text + length;
    negative = length != 0 && *text == '-';
    const char* const digits = negative ? text + 1 : text;
    // bench/decimal_bench.cpp: read_vorn
    if (length <= short_text) {
        return read_short_unsigned(digits, end, separator);
    }
    const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : INT64_MAX;
    return read_any_unsigned(digits, end, separator, limit);
}

// Stores an accepted text into the number and factor of a decimal's block.
inline void store(const unsigned_text& read, bool negative, std::int64_t& number,
                  std::int16_t& factor) noexcept {
    number = static_cast<std::int64_t>(negative ? 0 - read.magnitude : read.magnitude);
    factor = static_cast<std::int16_t>(-static_cast<int>(read.decimals));
}

// The number of digits of the integer part of a text read, leading zeros left out.
std::size_t integer_digits(const unsigned_text& read) {
    // A magnitude below 2^64 < 10^20 has no integer digits beyond 19 decimals.
    if (read.decimals >= 20) {
        return 0;
    }
    const std::uint64_t integer = read.magnitude / powers_of_ten[read.decimals];
    return integer == 0 ? 0 : static_cast<std::size_t>(digit_count(integer));
}

}  // namespace

decimal::decimal() : decimal(0, 0) {}

decimal::decimal(long long number, short factor) : block_(new block{factor, number}) {
    static_assert(sizeof(decimal) == sizeof(void*), "a decimal is one owned pointer");
    // Constructed by callers and passed to the exported readers: the separator alone.
    static_assert(sizeof(value_converter<decimal>) == 1, "the decimal reader holds its separator");
    static_assert(
        offsetof(block, factor) == 0 && offsetof(block, number) == 8 && sizeof(block) == 16,
        "the block holds the factor, then the number");
}

decimal::decimal(const decimal& other) : block_(new block(*other.block_)) {}

// A move copies, by design: the source keeps its value, so this allocates a block of its own
// and may throw std::bad_alloc. It cannot be noexcept.
decimal::decimal(decimal&& other)  // NOLINT(performance-noexcept-move-constructor)
    : block_(new block(*other.block_)) {}

decimal::~decimal() {
    delete block_;  // GCOVR_EXCL_BR_LINE: never null, the test is delete's own
}

// Self-assignment copies the plain 16-byte block onto itself, which leaves it unchanged.
// NOLINTNEXTLINE(bugprone-unhandled-self-assignment)
decimal& decimal::operator=(const decimal& other) noexcept {
    *block_ = *other.block_;
    return *this;
}

decimal& decimal::operator=(decimal&& other) noexcept {
    *block_ = *other.block_;
    return *this;
}

long long decimal::get_number() const noexcept {
    return block_->number;
}

short decimal::get_factor() const noexcept {
    return block_->factor;
}

decimal decimal::operator+(const decimal& other) {
    return static_cast<const decimal&>(*this) + other;
}

decimal decimal::operator-(const decimal& other) {
    return static_cast<const decimal&>(*this) - other;
}

decimal decimal::operator+(const decimal& other) const {
    const value r = aligned({block_->number, block_->factor},
                            {other.block_->number, other.block_->factor}, false);
    return decimal(r.number, r.factor);
}

decimal decimal::operator-(const decimal& other) const {
    const value r = aligned({block_->number, block_->factor},
                            {other.block_->number, other.block_->factor}, true);
    return decimal(r.number, r.factor);
}

decimal& decimal::operator+=(const decimal& other) {
    const value r = aligned({block_->number, block_->factor},
                            {other.block_->number, other.block_->factor}, false);
    *block_ = {r.factor, r.number};
    return *this;
}

decimal& decimal::operator-=(const decimal& other) {
    const value r = aligned({block_->number, block_->factor},
                            {other.block_->number, other.block_->factor}, true);
    *block_ = {r.factor, r.number};
    return *this;
}

decimal decimal::operator-() const {
    if (block_->number == INT64_MIN) {
        throw std::overflow_error("decimal negation does not fit in a signed 64-bit number");
    }
    return decimal(-block_->number, block_->factor);
}

decimal decimal::operator*(const decimal& other) const {
    const value r =
        product({block_->number, block_->factor}, {other.block_->number, other.block_->factor});
    return decimal(r.number, r.factor);
}

decimal& decimal::operator*=(const decimal& other) {
    const value r =
        product({block_->number, block_->factor}, {other.block_->number, other.block_->factor});
    *block_ = {r.factor, r.number};
    return *this;
}

int decimal::compare(const decimal& other) const noexcept {
    const std::int64_t a = block_->number;
    const std::int64_t b = other.block_->number;
    const int a_sign = (a > 0) - (a < 0);
    const int b_sign = (b > 0) - (b < 0);
    if (a_sign != b_sign) {
        return a_sign < b_sign ? -1 : 1;
    }
    if (a_sign == 0) {
        return 0;
    }
    const int order =
        compare_magnitudes(magnitude(a), block_->factor, magnitude(b), other.block_->factor);
    return a_sign > 0 ? order : -order;
}

std::size_t decimal::hash() const noexcept {
    // The canonical pair of the value: no trailing zeros in the number, and 0 for zero.
    std::int64_t number = block_->number;
    std::int64_t factor = number == 0 ? 0 : block_->factor;
    if (number != 0) {
        while (number % 10 == 0) {
            number /= 10;
            ++factor;
        }
    }
    // A 64-bit finaliser over both, so that nearby values spread over the whole word.
    std::uint64_t h = static_cast<std::uint64_t>(number) ^
                      (static_cast<std::uint64_t>(factor) * 0x9E3779B97F4A7C15ULL);
    h ^= h >> 30;
    h *= 0xBF58476D1CE4E5B9ULL;
    h ^= h >> 27;
    h *= 0x94D049BB133111EBULL;
    h ^= h >> 31;
    return static_cast<std::size_t>(h);
}

std::string decimal::to_string(unsigned int precision, char separator) const {
    const int factor = block_->factor;
    // Nothing to round and no zeros to append: the short text, written in one go.
    // bench/decimal_bench.cpp: to_string_vorn
    if (factor <= 0 && precision <= detail::short_precision &&
        static_cast<unsigned int>(-factor) <= precision) {
        return detail::short_fixed(block_->number < 0, magnitude(block_->number),
                                   static_cast<std::size_t>(-factor), precision, separator);
    }
    const unsigned int digits = precision > INT_MAX ? INT_MAX : precision;
    return detail::fixed_text(block_->number < 0, magnitude(block_->number), block_->factor, digits,
                              separator)
        .to_string();
}

std::size_t decimal::to_chars(char* out, std::size_t size, unsigned int precision,
                              char separator) const noexcept {
    const unsigned int digits = precision > INT_MAX ? INT_MAX : precision;
    const detail::fixed_text text(block_->number < 0, magnitude(block_->number), block_->factor,
                                  digits, separator);
    if (text.length() <= size) {
        text.write(out);
    }
    return text.length();
}

std::ostream& operator<<(std::ostream& out, const decimal& value) {
    const int factor = value.get_factor();
    return out << value.to_string(factor < 0 ? static_cast<unsigned int>(-factor) : 0U, '.');
}

converter_status value_converter<decimal>::make_value(decimal& out, const char* text,
                                                      std::size_t length) const noexcept {
    bool negative = false;
    const unsigned_text read = read_decimal_text(text, length, separator_, negative);
    if (read.decimals == refused) {
        return converter_status::invalid_format;
    }
    store(read, negative, out.block_->number, out.block_->factor);
    return converter_status::success;
}

converter_status value_converter<decimal>::make_value(decimal& out, const char* text,
                                                      std::size_t length,
                                                      decimal_limits limits) const noexcept {
    bool negative = false;
    const unsigned_text read = read_decimal_text(text, length, separator_, negative);
    if (read.decimals == refused || read.decimals > limits.max_decimals ||
        integer_digits(read) > limits.max_integer_digits) {
        return converter_status::invalid_format;
    }
    store(read, negative, out.block_->number, out.block_->factor);
    return converter_status::success;
}

}  // namespace vorn::core::v2
