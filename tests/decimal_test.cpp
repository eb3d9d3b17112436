// SPDX-License-Identifier: MIT
// The fixed-point decimal: storage, moves, exact arithmetic and comparisons, fixed-point text
// (against an exact reference and a table worked out by Python's decimal module), reading text,
// and the error_decimal category.
#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <locale>
#include <new>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#include "support/allocation_failure.hpp"
#include "support/child_process.hpp"
#include "support/decimal_reference.hpp"
#include "vorn/core/decimal.hpp"

namespace vc = vorn::core::v2;
using vorn::test::allocation_counter;
using vorn::test::allocation_failure_scope;
using vorn::test::fail_next_allocations;

namespace {

constexpr long long int64_max = std::numeric_limits<long long>::max();
constexpr long long int64_min = std::numeric_limits<long long>::min();

// The exact text, from the digit-string reference.
std::string exact(long long number, int factor, unsigned int precision, char separator) {
    return vorn::test::exact_fixed(number, factor, precision, separator);
}

// Punctuation that groups digits by three, as many real locales do.
class grouping_punctuation : public std::numpunct<char> {
  protected:
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

// Installs a global C++ locale for the lifetime of the object, and restores the previous one.
class global_locale_scope {
  public:
    explicit global_locale_scope(const std::locale& l) : previous_(std::locale::global(l)) {}
    ~global_locale_scope() { std::locale::global(previous_); }
    global_locale_scope(const global_locale_scope&) = delete;
    global_locale_scope& operator=(const global_locale_scope&) = delete;

  private:
    std::locale previous_;
};

struct render_case {
    long long number;
    short factor;
    unsigned int precision;
    char separator;
    std::string expected;
};

// Cases with their expected text written out.
const render_case render_cases[] = {
    {0, 0, 2, '.', "0.00"},
    {1234567, -2, 2, '.', "12345.67"},
    {-5, -1, 2, ',', "-0,50"},
    {7, 3, 1, '.', "7000.0"},
    {123, 0, 3, '.', "123.000"},
    {-45, -1, 0, '.', "-4"},
    {-55, -1, 0, '.', "-6"},
    {25, -1, 0, '.', "2"},
    {15, -1, 0, '.', "2"},
    {35, -1, 0, '.', "4"},
    {5, -1, 0, '.', "0"},
    {-5, -1, 0, '.', "-0"},
    {-1, -3, 2, '.', "-0.00"},
    {12345, -2, 0, '.', "123"},
    {12345, -2, 2, ',', "123,45"},
    {12345, -2, 4, '.', "123.4500"},
    {999, -3, 2, '.', "1.00"},
    {-999, -3, 2, '.', "-1.00"},
    {995, -1, 0, '.', "100"},
    {int64_max, 0, 0, '.', "9223372036854775807"},
    {int64_min, 0, 0, '.', "-9223372036854775808"},
    {int64_max, 0, 2, '.', "9223372036854775807.00"},
    {1, 20, 0, '.', "100000000000000000000"},
    {-5, -5000, 2, '.', "-0.00"},  // 10^-5000 underflows to zero: a signed zero
    {5, -5000, 1, '.', "0.0"},
    {15, -1, 1, '9', "195"},  // the separator is any character, digits included
    {int64_min, -1, 0, '.', "-922337203685477581"},
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Storage and moves

TEST(Decimal, StoresNumberAndFactorUnchanged) {
    const vc::decimal zero;
    EXPECT_EQ(zero.get_number(), 0);
    EXPECT_EQ(zero.get_factor(), 0);

    const std::pair<long long, short> pairs[] = {
        {100, -2}, {1, 0}, {int64_max, 32767}, {int64_min, -32768}, {0, -7}};
    for (const auto& [number, factor] : pairs) {
        const vc::decimal d(number, factor);
        EXPECT_EQ(d.get_number(), number);
        EXPECT_EQ(d.get_factor(), factor);
    }
}

TEST(Decimal, MovesAndCopiesKeepTheSource) {
    vc::decimal a(12345, -2);
    const vc::decimal moved(std::move(a));
    EXPECT_EQ(moved.get_number(), 12345);
    EXPECT_EQ(a.get_number(), 12345);  // NOLINT(bugprone-use-after-move): moves copy
    EXPECT_EQ(a.get_factor(), -2);

    vc::decimal b(7, 3);
    b = std::move(a);
    EXPECT_EQ(b.get_number(), 12345);
    EXPECT_EQ(b.get_factor(), -2);
    EXPECT_EQ(a.get_number(), 12345);  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(a.get_factor(), -2);

    vc::decimal c;
    c = moved;
    c = c;
    EXPECT_EQ(c.get_number(), 12345);
    EXPECT_EQ(c.get_factor(), -2);
}

TEST(Decimal, AllocationFailureThrowsAndAssignmentNeverAllocates) {
    const vc::decimal source(5, -1);
    fail_next_allocations(1);
    EXPECT_THROW(vc::decimal d, std::bad_alloc);
    fail_next_allocations(1);
    EXPECT_THROW(vc::decimal d(source), std::bad_alloc);
    fail_next_allocations(1);
    EXPECT_THROW(vc::decimal d(std::move(source)), std::bad_alloc);  // moves copy

    vc::decimal target;
    std::size_t allocations = 0;
    {
        allocation_failure_scope failing;
        allocation_counter counter;
        target = source;
        target = std::move(source);
        allocations = counter.count();
    }
    EXPECT_EQ(allocations, 0U);
    EXPECT_EQ(target.get_number(), 5);
    EXPECT_EQ(target.get_factor(), -1);
    fail_next_allocations(1);
    EXPECT_THROW((void)source.to_string(40, '.'), std::bad_alloc);  // too long to be inline
    fail_next_allocations(1);
    EXPECT_THROW((void)source.to_string(16, '.'), std::bad_alloc);  // the short writer's longest
    // Precisions beyond INT_MAX write INT_MAX decimals: too long for any buffer or allocation.
    char buffer[8] = {};
    const std::size_t longest = source.to_chars(buffer, sizeof buffer, INT_MAX, '.');
    EXPECT_EQ(longest, std::size_t{INT_MAX} + 2);
    EXPECT_EQ(source.to_chars(buffer, sizeof buffer, UINT_MAX, '.'), longest);
    EXPECT_EQ(buffer[0], '\0');
    fail_next_allocations(1);
    EXPECT_THROW((void)source.to_string(UINT_MAX, '.'), std::bad_alloc);
}

// ---------------------------------------------------------------------------------------------
// Arithmetic

struct arithmetic_case {
    long long a_number;
    short a_factor;
    char op;
    long long b_number;
    short b_factor;
};

vc::decimal apply(const arithmetic_case& c) {
    vc::decimal a(c.a_number, c.a_factor);
    const vc::decimal b(c.b_number, c.b_factor);
    vc::decimal result = c.op == '+' ? a + b : a - b;
    // Neither operand changes.
    EXPECT_EQ(a.get_number(), c.a_number);
    EXPECT_EQ(a.get_factor(), c.a_factor);
    EXPECT_EQ(b.get_number(), c.b_number);
    EXPECT_EQ(b.get_factor(), c.b_factor);
    return result;
}

std::string describe(const arithmetic_case& c) {
    return "decimal(" + std::to_string(c.a_number) + ", " + std::to_string(c.a_factor) + ") " +
           c.op + " decimal(" + std::to_string(c.b_number) + ", " + std::to_string(c.b_factor) +
           ")";
}

TEST(Decimal, SumsAndDifferencesAreExactAtTheFinerFactor) {
    struct row {
        arithmetic_case operands;
        long long number;
        short factor;
    };
    const row rows[] = {
        {{150, -2, '+', 3, -1}, 180, -2},
        {{5, 0, '-', 25, -1}, 25, -1},
        {{7, 2, '+', 1, 1}, 71, 1},
        {{100, -2, '+', 1, 0}, 200, -2},  // never normalised
        {{3, 5, '-', 3, 5}, 0, 5},
        {{-4, 3, '+', 2, 3}, -2, 3},
        // A zero operand needs no scaling, whatever the factor difference.
        {{0, 19, '+', 5, 0}, 5, 0},
        {{0, 32767, '-', 5, -32768}, -5, -32768},
        {{5, -32768, '+', 0, 32767}, 5, -32768},
        // The scaled operand alone does not fit, the exact result does.
        {{1, 19, '+', -9000000000000000000LL, 0}, 1000000000000000000LL, 0},
        {{1, 19, '+', -8000000000000000000LL, 0}, 2000000000000000000LL, 0},
        {{-1, 19, '-', -9000000000000000000LL, 0}, -1000000000000000000LL, 0},
        {{-9000000000000000000LL, 0, '+', 1, 19}, 1000000000000000000LL, 0},
        {{9000000000000000000LL, 0, '-', 1, 19}, -1000000000000000000LL, 0},
        {{-922337203685477581LL, 1, '+', 9, 0}, -9223372036854775801LL, 0},
        // Right at the 64-bit limits.
        {{922337203685477580LL, 1, '+', 7, 0}, int64_max, 0},
        {{-922337203685477580LL, 1, '-', 8, 0}, int64_min, 0},
        {{9, 18, '+', 223372036854775807LL, 0}, int64_max, 0},
        {{int64_max, 0, '+', int64_min, 0}, -1, 0},
        {{int64_min, 0, '-', int64_min, 0}, 0, 0},
        {{-1, 0, '-', int64_max, 0}, int64_min, 0},
        {{1, 18, '-', 1, 0}, 999999999999999999LL, 0},
        {{2, 18, '+', 0, 0}, 2000000000000000000LL, 0},
    };
    for (const row& r : rows) {
        const vc::decimal result = apply(r.operands);
        EXPECT_EQ(result.get_number(), r.number) << describe(r.operands);
        EXPECT_EQ(result.get_factor(), r.factor) << describe(r.operands);
    }
}

TEST(Decimal, OverflowThrowsExactlyWhenTheResultDoesNotFit) {
    const arithmetic_case rows[] = {
        {int64_max, 0, '+', 1, 0},
        {int64_min, 0, '-', 1, 0},
        {0, 0, '-', int64_min, 0},
        {int64_min, 0, '+', int64_min, 0},
        {922337203685477580LL, 1, '+', 8, 0},
        {-922337203685477580LL, 1, '-', 9, 0},
        {9, 18, '+', 223372036854775808LL, 0},
        {1, 19, '+', 0, 0},
        {1, 19, '-', -1, 0},
        {-1, 19, '+', 0, 0},
        {1, 20, '-', int64_max, 0},
        {-1, 20, '+', int64_max, 0},
        {1, 0, '+', 1, -20},
        {1, 32767, '+', 1, -32768},
        {int64_max, 1, '-', int64_max, 0},
    };
    for (const arithmetic_case& c : rows) {
        EXPECT_THROW((void)apply(c), std::overflow_error) << describe(c);
    }
}

// ---------------------------------------------------------------------------------------------
// Text

TEST(Decimal, RendersFixedPointText) {
    for (const render_case& c : render_cases) {
        const vc::decimal d(c.number, c.factor);
        EXPECT_EQ(d.to_string(c.precision, c.separator), c.expected)
            << c.number << "e" << c.factor << " precision " << c.precision;
    }
}

TEST(Decimal, NulSeparatorStandsInsideTheText) {
    const std::string text = vc::decimal(12345, -2).to_string(2, '\0');
    EXPECT_EQ(text, std::string("123\0"
                                "45",
                                6));
}

TEST(Decimal, DigitsBeyondTheSignificandAreExact) {
    EXPECT_EQ(vc::decimal(1, 28).to_string(0, '.'), "1" + std::string(28, '0'));
    EXPECT_EQ(vc::decimal(3, -1).to_string(20, '.'),
              "0." + std::string(1, '3') + std::string(19, '0'));
    EXPECT_EQ(vc::decimal(int64_max, -2).to_string(2, '.'), "92233720368547758.07");
    EXPECT_EQ(vc::decimal(125, -3).to_string(2, '.'), "0.12");
}

TEST(Decimal, HugePrecisionPadsWithZeros) {
    const std::string text = vc::decimal(1, -1).to_string(400, '.');
    EXPECT_EQ(text, "0.1" + std::string(399, '0'));
}

// Random numbers of every magnitude, factors around the usual range and some far outside it,
// and precisions up to past the significand's reach, against the exact reference.
void expect_exact(unsigned int seed, int rounds) {
    std::mt19937_64 random(seed);
    const char separators[] = {'.', ',', '\0', 'x'};
    for (int i = 0; i < rounds; ++i) {
        const unsigned int bits = static_cast<unsigned int>(random() % 64);
        long long number = static_cast<long long>(random() >> (63 - bits));
        if (random() % 2 == 0) {
            number = -number;
        }
        if (random() % 50 == 0) {
            number = random() % 2 == 0 ? int64_min : int64_max;
        }
        int factor = static_cast<int>(random() % 61) - 40;  // -40 .. 20
        if (random() % 20 == 0) {
            factor = static_cast<int>(random() % 9000) - 4500;
        }
        const auto precision =
            static_cast<unsigned int>(random() % 10 == 0 ? random() % 80 : random() % 12);
        const char separator = separators[random() % 4];
        const vc::decimal d(number, static_cast<short>(factor));
        const std::string text = exact(number, factor, precision, separator);
        ASSERT_EQ(d.to_string(precision, separator), text)
            << number << "e" << factor << " precision " << precision;
        // to_chars writes the same text where it fits, and nothing where it does not.
        std::string written(text.size(), '#');
        ASSERT_EQ(d.to_chars(written.data(), text.size() - 1, precision, separator), text.size());
        ASSERT_EQ(written, std::string(text.size(), '#'));
        ASSERT_EQ(d.to_chars(written.data(), text.size(), precision, separator), text.size());
        ASSERT_EQ(written, text);
    }
}

TEST(Decimal, AgreesWithTheExactReference) {
    expect_exact(1, 20000);
}

// The short writer takes factors from 0 down to -precision at precisions up to 16, and 32-bit
// magnitudes in 32-bit arithmetic: every side of those limits against the exact reference.
TEST(Decimal, WritesAlikeOnBothSidesOfTheShortWriterLimits) {
    const long long numbers[] = {0, 4294967295, 4294967296, -4294967296, int64_max, int64_min};
    for (const long long number : numbers) {
        for (const int factor : {1, 0, -1, -15, -16, -17}) {
            for (unsigned int precision = 14; precision <= 18; ++precision) {
                const vc::decimal d(number, static_cast<short>(factor));
                const std::string text = exact(number, factor, precision, ',');
                EXPECT_EQ(d.to_string(precision, ','), text) << number << "e" << factor;
                std::string written(text.size(), '#');
                EXPECT_EQ(d.to_chars(written.data(), written.size(), precision, ','), text.size());
                EXPECT_EQ(written, text);
            }
        }
    }
}

// Decimal ties: a number ending in 5 at one more decimal than printed.
TEST(Decimal, RoundsDecimalTiesToEven) {
    for (int factor = -1; factor >= -22; --factor) {
        for (long long stem : {0LL, 1LL, 2LL, 7LL, 12LL, 99LL, 123456789LL}) {
            for (int sign : {1, -1}) {
                const long long number = sign * (stem * 10 + 5);
                for (unsigned int precision = 0; precision <= 24; ++precision) {
                    const vc::decimal d(number, static_cast<short>(factor));
                    ASSERT_EQ(d.to_string(precision, '.'), exact(number, factor, precision, '.'))
                        << number << "e" << factor << " precision " << precision;
                }
            }
        }
    }
}

TEST(Decimal, NeverGroupsWhateverTheGlobalLocale) {
    {
        global_locale_scope scope(std::locale(std::locale::classic(), new grouping_punctuation));
        EXPECT_EQ(vc::decimal(1234567, -2).to_string(2, '.'), "12345.67");
        EXPECT_EQ(vc::decimal(int64_max, 0).to_string(1, '.'), "9223372036854775807.0");
        expect_exact(2, 3000);
    }
    // A named locale also changes the C library's decimal point and grouping.
    for (const char* name : {"de_DE.UTF-8", "pt_BR.UTF-8", "fr_FR.UTF-8", "en_US.UTF-8"}) {
        std::locale named;
        try {
            named = std::locale(name);
        } catch (const std::runtime_error&) {
            continue;
        }
        global_locale_scope scope(named);
        EXPECT_EQ(vc::decimal(1234567, -2).to_string(2, '.'), "12345.67") << name;
        EXPECT_EQ(vc::decimal(1, 40).to_string(1, ';'), exact(1, 40, 1, ';')) << name;
        EXPECT_EQ(vc::decimal(-7, -30).to_string(35, '.'), exact(-7, -30, 35, '.')) << name;
        expect_exact(3, 3000);
    }
}

// ---------------------------------------------------------------------------------------------
// Text against Python's decimal module, and long texts

namespace {

struct oracle_row {
    long long number;
    int factor;
    unsigned int precision;
    const char* text;  // a run of zeros written as <count>
};

const oracle_row oracle_rows[] = {
#include "support/decimal_oracle.inc"
};

std::string expand(const char* compact) {
    std::string text;
    for (const char* p = compact; *p != '\0'; ++p) {
        if (*p != '<') {
            text += *p;
            continue;
        }
        char* end = nullptr;
        text.append(std::strtoul(p + 1, &end, 10), '0');
        p = end;
    }
    return text;
}

}  // namespace

TEST(Decimal, AgreesWithPythonDecimal) {
    for (const oracle_row& r : oracle_rows) {
        const std::string expected = expand(r.text);
        const vc::decimal d(r.number, static_cast<short>(r.factor));
        ASSERT_EQ(d.to_string(r.precision, '.'), expected)
            << r.number << "e" << r.factor << " precision " << r.precision;
        ASSERT_EQ(exact(r.number, r.factor, r.precision, '.'), expected);  // the reference too
    }
}

TEST(Decimal, LongTextsTakeOneAllocation) {
    const std::string text = vc::decimal(-7, -32768).to_string(1U << 24, ',');
    ASSERT_EQ(text.size(), 3 + (std::size_t{1} << 24));
    EXPECT_EQ(text.substr(0, 3), "-0,");
    EXPECT_EQ(text.find_first_not_of('0', 3), 32767 + 3U);
    EXPECT_EQ(text.substr(32767 + 3, 2), "70");
    const vc::decimal huge(1, 32767);
    allocation_counter counter;
    EXPECT_EQ(huge.to_string(3, '.').size(), 32768 + 4U);
    EXPECT_EQ(counter.count(), 1U);
    // The longest precision asks for its memory before any digit loop.
    fail_next_allocations(1);
    EXPECT_THROW((void)vc::decimal(1, 0).to_string(~0U, '.'), std::bad_alloc);
}

// ---------------------------------------------------------------------------------------------
// Arithmetic and comparisons against 128-bit references

namespace {

__extension__ using int128 = __int128;

int128 power_of_ten(int exponent) {
    int128 p = 1;
    while (exponent-- > 0) {
        p *= 10;
    }
    return p;
}

bool fits(int128 v) {
    return v >= int64_min && v <= int64_max;
}

// Signed decimal texts with the same number of decimals, compared by value.
int compare_texts(const std::string& a, const std::string& b) {
    const bool a_negative = a[0] == '-';
    const bool b_negative = b[0] == '-';
    const bool a_zero = a.find_first_not_of("-0.") == std::string::npos;
    const bool b_zero = b.find_first_not_of("-0.") == std::string::npos;
    const int a_sign = a_zero ? 0 : (a_negative ? -1 : 1);
    const int b_sign = b_zero ? 0 : (b_negative ? -1 : 1);
    if (a_sign != b_sign || a_sign == 0) {
        return a_sign < b_sign ? -1 : (a_sign > b_sign ? 1 : 0);
    }
    const std::string x = a.substr(a_negative ? 1 : 0);
    const std::string y = b.substr(b_negative ? 1 : 0);
    const int order = x.size() != y.size() ? (x.size() < y.size() ? -1 : 1) : x.compare(y);
    return a_sign * (order < 0 ? -1 : (order > 0 ? 1 : 0));
}

}  // namespace

TEST(Decimal, ArithmeticAndComparisonsAreExact) {
    std::mt19937_64 random(11);
    const auto number = [&random]() -> long long {
        const auto pick = random() % 40;
        if (pick < 4) {
            return pick == 0 ? int64_min : pick == 1 ? int64_max : pick == 2 ? 0 : -int64_max;
        }
        const auto n = static_cast<long long>(random() >> (63 - random() % 64));
        return random() % 2 == 0 ? n : -n;
    };
    for (int i = 0; i < 40000; ++i) {
        long long an = number();
        long long bn = number();
        int af = static_cast<int>(random() % 41) - 20;
        if (random() % 25 == 0) {  // near the ends of the factor range
            af = (random() % 2 == 0 ? 1 : -1) * (32767 - static_cast<int>(random() % 30));
        } else if (random() % 50 == 0) {
            af = static_cast<int>(random() % 65536) - 32768;
        }
        int bf = af + static_cast<int>(random() % 45) - 22;
        if (random() % 50 == 0) {
            bf = static_cast<int>(random() % 65536) - 32768;
        }
        bf = bf < -32768 ? -32768 : (bf > 32767 ? 32767 : bf);
        if (random() % 40 == 0) {  // a product's factor at an end of the range, or one past it
            const int edge =
                (random() % 2 == 0 ? 32767 : -32768) + static_cast<int>(random() % 3) - 1;
            bf = edge - af < -32768 ? -32768 : (edge - af > 32767 ? 32767 : edge - af);
        }
        if (random() % 8 == 0) {  // the same value at another scale
            bn = an;
            bf = af;
            for (; bn % 10 == 0 && bn != 0 && bf < 32767 && random() % 3 != 0; bn /= 10) {
                ++bf;
            }
            for (; fits(int128{bn} * 10) && bf > -32768 && random() % 3 != 0; bn *= 10) {
                --bf;
            }
        }
        const vc::decimal a(an, static_cast<short>(af));
        const vc::decimal b(bn, static_cast<short>(bf));
        SCOPED_TRACE(::testing::Message() << an << "e" << af << ", " << bn << "e" << bf);

        // Sums and differences at the finer factor.
        const int m = af < bf ? af : bf;
        const bool scalable = (an == 0 || af - m <= 19) && (bn == 0 || bf - m <= 19);
        const int128 x = scalable && an != 0 ? an * power_of_ten(af - m) : 0;
        const int128 y = scalable && bn != 0 ? bn * power_of_ten(bf - m) : 0;
        for (const char op : {'+', '-'}) {
            const int128 exact_result = op == '+' ? x + y : x - y;
            vc::decimal target = a;
            vc::decimal designed = a;  // the non-const operators
            if (scalable && fits(exact_result)) {
                const vc::decimal r = op == '+' ? a + b : a - b;
                ASSERT_EQ(r.get_number(), static_cast<long long>(exact_result)) << op;
                ASSERT_EQ(r.get_factor(), m);
                ASSERT_EQ((op == '+' ? designed + b : designed - b).get_number(), r.get_number());
                ASSERT_EQ(((op == '+' ? target += b : target -= b).get_number()), r.get_number());
                ASSERT_EQ(target.get_factor(), m);
            } else {
                ASSERT_THROW((void)(op == '+' ? a + b : a - b), std::overflow_error) << op;
                ASSERT_THROW((void)(op == '+' ? designed + b : designed - b), std::overflow_error);
                ASSERT_THROW((void)(op == '+' ? target += b : target -= b), std::overflow_error);
                ASSERT_EQ(target.get_number(), an);  // unchanged
                ASSERT_EQ(target.get_factor(), af);
            }
        }
        // Products and negation.
        const int128 p = int128{an} * bn;
        vc::decimal target = a;
        if (fits(p) && af + bf >= -32768 && af + bf <= 32767) {
            ASSERT_EQ((a * b).get_number(), static_cast<long long>(p));
            ASSERT_EQ((a * b).get_factor(), af + bf);
            ASSERT_EQ((target *= b).get_number(), static_cast<long long>(p));
        } else {
            ASSERT_THROW((void)(a * b), std::overflow_error);
            ASSERT_THROW(target *= b, std::overflow_error);
            ASSERT_EQ(target.get_number(), an);
        }
        if (an == int64_min) {
            ASSERT_THROW((void)-a, std::overflow_error);
        } else {
            ASSERT_EQ((-a).get_number(), -an);
            ASSERT_EQ((-a).get_factor(), af);
        }
        // Comparisons: in 128 bits when the scales are near, on exact texts otherwise.
        int expected = 0;
        if (af - m <= 19 && bf - m <= 19) {
            const int128 u = an * power_of_ten(af - m);
            const int128 v = bn * power_of_ten(bf - m);
            expected = u < v ? -1 : (u > v ? 1 : 0);
        } else {
            const auto decimals = static_cast<unsigned int>(m < 0 ? -m : 0);
            expected = compare_texts(exact(an, af, decimals, '.'), exact(bn, bf, decimals, '.'));
        }
        const int order = a.compare(b);
        ASSERT_EQ((order > 0) - (order < 0), expected);
        ASSERT_EQ(a == b, expected == 0);
        ASSERT_EQ(a != b, expected != 0);
        ASSERT_EQ(a < b, expected < 0);
        ASSERT_EQ(a <= b, expected <= 0);
        ASSERT_EQ(a > b, expected > 0);
        ASSERT_EQ(a >= b, expected >= 0);
        if (expected == 0) {
            ASSERT_EQ(std::hash<vc::decimal>()(a), std::hash<vc::decimal>()(b));
        }
    }
}

TEST(Decimal, ComparesAcrossTheWidestFactorGap) {
    const vc::decimal tiny(1, -32768);
    const vc::decimal huge(1, 32767);
    EXPECT_LT(tiny, huge);
    EXPECT_LT(vc::decimal(-1, 32767), vc::decimal(int64_min, -32768));
    EXPECT_GT(vc::decimal(int64_max, -32768), vc::decimal(0, 32767));
    EXPECT_EQ(vc::decimal(0, -32768), vc::decimal(0, 32767));
    EXPECT_EQ(vc::decimal(10, -1), vc::decimal(1, 0));
    EXPECT_EQ(std::hash<vc::decimal>()(vc::decimal(0, -32768)),
              std::hash<vc::decimal>()(vc::decimal(0, 5)));
    EXPECT_NE(std::hash<vc::decimal>()(vc::decimal(1, 0)),
              std::hash<vc::decimal>()(vc::decimal(1, 1)));
}

// ---------------------------------------------------------------------------------------------
// Reading text

TEST(Decimal, ReadsPlainDecimalTextOnly) {
    struct row {
        std::string text;
        char separator;
        bool accepted;
        long long number;
        short factor;
    };
    const row rows[] = {
        {"12.50", '.', true, 1250, -2},
        {"-0.5", '.', true, -5, -1},
        {"0", '.', true, 0, 0},
        {"-0", '.', true, 0, 0},
        {"-0.00", '.', true, 0, -2},
        {"007", '.', true, 7, 0},
        {"9223372036854775807", '.', true, int64_max, 0},
        {"-9223372036854775808", '.', true, int64_min, 0},
        {"-922337203685477580.8", '.', true, int64_min, -1},
        {"000000000000000000000000001.0", '.', true, 10, -1},
        {"12,5", ',', true, 125, -1},
        {"-1-5", '-', true, -15, -1},
        {std::string("1\0"
                     "5",
                     3),
         '\0', true, 15, -1},
        {"125", '2', true, 125, 0},  // a digit separator reads as a digit
        {"", '.', false, 0, 0},
        {"-", '.', false, 0, 0},
        {".", '.', false, 0, 0},
        {"1.", '.', false, 0, 0},
        {".5", '.', false, 0, 0},
        {"-.5", '.', false, 0, 0},
        {"+1", '.', false, 0, 0},
        {"--1", '.', false, 0, 0},
        {" 1", '.', false, 0, 0},
        {"1 ", '.', false, 0, 0},
        {"1e5", '.', false, 0, 0},
        {"1,000", '.', false, 0, 0},
        {"1.5", ',', false, 0, 0},
        {"1.2.3", '.', false, 0, 0},
        {"1.-2", '.', false, 0, 0},
        {"9223372036854775808", '.', false, 0, 0},
        {"-9223372036854775809", '.', false, 0, 0},
        {"92233720368547758.08", '.', false, 0, 0},
        {"\xd9\xa1", '.', false, 0, 0},  // a non-ASCII digit
        {"0." + std::string(32768, '0'), '.', true, 0, -32768},
        {"0." + std::string(32769, '0'), '.', false, 0, 0},
    };
    for (const row& r : rows) {
        vc::decimal out(77, 3);
        const vc::converter_status status = vc::value_converter<vc::decimal>(r.separator)
                                                .make_value(out, r.text.data(), r.text.size());
        EXPECT_EQ(status,
                  r.accepted ? vc::converter_status::success : vc::converter_status::invalid_format)
            << r.text.substr(0, 40);
        EXPECT_EQ(out.get_number(), r.accepted ? r.number : 77) << r.text.substr(0, 40);
        EXPECT_EQ(out.get_factor(), r.accepted ? r.factor : 3) << r.text.substr(0, 40);
    }
    vc::decimal out;
    EXPECT_EQ(vc::value_converter<vc::decimal>().make_value(out, "3.25", 4),
              vc::converter_status::success);
    EXPECT_EQ(out.get_number(), 325);
}

// Texts of up to 18 characters are read without overflow checks. Leading zeros take a text
// past that length without changing what it reads as, so each text near the limit must read
// alike with them; the limits' edges are checked on their own.
TEST(Decimal, ReadsAlikeOnBothSidesOfTheShortTextLimit) {
    const vc::value_converter<vc::decimal> reader;
    const auto read = [&reader](const std::string& text) {
        vc::decimal out(77, 3);
        const bool accepted =
            reader.make_value(out, text.data(), text.size()) == vc::converter_status::success;
        return std::make_tuple(accepted, out.get_number(), out.get_factor());
    };
    std::mt19937 random(29);
    const char alphabet[] = "0123456789999.-x";
    for (int i = 0; i < 20000; ++i) {
        std::string text(15 + random() % 4, '0');  // 15 to 18 characters
        for (char& c : text) {
            c = alphabet[random() % (sizeof alphabet - 1)];
        }
        const std::size_t digits = text[0] == '-' ? 1 : 0;
        if (text.size() == digits || text[digits] < '0' || text[digits] > '9') {
            continue;  // no integer digit: padding would give it one
        }
        for (const std::size_t zeros : {1, 2, 5, 30}) {
            const std::string padded =
                text.substr(0, digits) + std::string(zeros, '0') + text.substr(digits);
            ASSERT_EQ(read(padded), read(text)) << text;
        }
    }
    const struct {
        std::string text;
        bool accepted;
        long long number;
        short factor;
    } edges[] = {
        {"999999999999999999", true, 999999999999999999, 0},
        {"-99999999999999999", true, -99999999999999999, 0},
        {"-999999999999999999", true, -999999999999999999, 0},
        {"9999999999999999999", false, 0, 0},
        {"0.0000000000000001", true, 1, -16},
        {"-0.000000000000001", true, -1, -15},
        {"0.00000000000000001", true, 1, -17},
        {"99999999.999999999", true, 99999999999999999, -9},
        {"99999999999999999.", false, 0, 0},
        {".99999999999999999", false, 0, 0},
        {"-.9999999999999999", false, 0, 0},
        {"99999999999999999-", false, 0, 0},
    };
    for (const auto& e : edges) {
        EXPECT_EQ(read(e.text), std::make_tuple(e.accepted, e.accepted ? e.number : 77LL,
                                                static_cast<short>(e.accepted ? e.factor : 3)))
            << e.text;
    }
}

TEST(Decimal, ReadsBackWhatItWrites) {
    std::mt19937_64 random(5);
    const char separators[] = {'.', ',', '\0', '-', 'x'};
    vc::decimal out;
    for (int i = 0; i < 20000; ++i) {
        auto n = static_cast<long long>(random() >> (63 - random() % 64));
        n = random() % 2 == 0 ? n : -n - static_cast<long long>(random() % 2);
        const auto precision =
            static_cast<unsigned int>(random() % 50 == 0 ? 32768 : random() % 25);
        const char separator = separators[random() % 5];
        const vc::decimal d(n, static_cast<short>(-static_cast<int>(precision)));
        const std::string text = d.to_string(precision, separator);
        ASSERT_EQ(
            vc::value_converter<vc::decimal>(separator).make_value(out, text.data(), text.size()),
            vc::converter_status::success)
            << text;
        ASSERT_EQ(out.get_number(), n);
        ASSERT_EQ(out.get_factor(), d.get_factor());
    }
}

TEST(Decimal, StreamsAtItsOwnScale) {
    std::ostringstream out;
    out << vc::decimal(1250, -2) << ' ' << vc::decimal(7, 3) << ' ' << vc::decimal(-5, -1) << ' '
        << vc::decimal();
    EXPECT_EQ(out.str(), "12.50 7000 -0.5 0");
}

// ---------------------------------------------------------------------------------------------
// error_decimal

TEST(ErrorDecimal, NameMessageAndArguments) {
    EXPECT_EQ(&vc::error_decimal::instance(), &vc::error_decimal::instance());
    EXPECT_TRUE(vc::error_decimal::instance() != vc::error_datetime::instance());
    vc::result::stack status;
    status.push(vc::error_decimal::invalid_format, std::string("12,50"));
    status.push(vc::error_decimal::invalid_format, "1.", '.');
    status.push(vc::error_decimal::invalid_format, std::string_view("1.250,00"), ',');
    EXPECT_EQ(to_string(status),
              "vorn-core-error-decimal 1: The text is not a decimal number; "
              "expected-format=[-]digits[,digits]; received-value=1.250,00\n"
              "vorn-core-error-decimal 1: The text is not a decimal number; "
              "expected-format=[-]digits[.digits]; received-value=1.\n"
              "vorn-core-error-decimal 1: The text is not a decimal number; "
              "expected-format=[-]digits[.digits]; received-value=12,50");
    // The received text keeps what its record holds besides the name.
    status.push(vc::error_decimal::invalid_format, std::string(300, '9'));
    EXPECT_EQ(std::string(status.begin()->get_argument_value("received-value")),
              std::string(239, '9'));
}

TEST(ErrorDecimal, UndefinedCodeEndsTheProcess) {
    const auto outcome =
        vorn::test::run_in_child([] { vc::error_decimal::instance().get_message(3); });
    EXPECT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.exit_status, 1);
    EXPECT_EQ(outcome.standard_error,
              "Invalid status code value: 0x00000003 (vorn-core-error-decimal)\n");
}

// Rounding, division and splitting. The modes against Python's decimal module over many
// generated cases run as the decimal_money_oracle test; here, the classic table of the modes
// and the properties of splitting.
namespace {

using vc::rounding_mode;

TEST(DecimalMoney, EveryModeOnTheClassicTable) {
    // -2.9 -2.5 -2.1 2.1 2.5 2.9 rounded to integers, per mode.
    const long long values[] = {-29, -25, -21, 21, 25, 29};
    const struct {
        rounding_mode mode;
        long long expected[6];
    } rows[] = {
        {rounding_mode::half_even, {-3, -2, -2, 2, 2, 3}},
        {rounding_mode::half_away_from_zero, {-3, -3, -2, 2, 3, 3}},
        {rounding_mode::half_toward_zero, {-3, -2, -2, 2, 2, 3}},
        {rounding_mode::toward_zero, {-2, -2, -2, 2, 2, 2}},
        {rounding_mode::away_from_zero, {-3, -3, -3, 3, 3, 3}},
        {rounding_mode::toward_negative, {-3, -3, -3, 2, 2, 2}},
        {rounding_mode::toward_positive, {-2, -2, -2, 3, 3, 3}},
    };
    for (const auto& row : rows) {
        for (int i = 0; i < 6; ++i) {
            const vc::decimal r = vc::decimal(values[i], -1).round(0, row.mode);
            EXPECT_EQ(r.get_number(), row.expected[i]) << values[i];
            EXPECT_EQ(r.get_factor(), 0);
            // The same through division: value × 10 / 10.
            EXPECT_EQ(vc::decimal(values[i], 0).divide(10, 0, row.mode).get_number(),
                      row.expected[i]);
        }
    }
}

// Dropping places: the digits dropped lie in the divisor's scale, up to 10^19 (which a 64-bit
// number spans) and beyond (where any remainder lies below half).
TEST(DecimalMoney, DropsPlacesAtEveryDistance) {
    struct row {
        long long number;
        short factor;
        long long divisor;  // 0: round() instead of divide()
        short divisor_factor;
        int decimals;
        rounding_mode mode;
        long long expected;
    };
    constexpr auto even = rounding_mode::half_even;
    const row rows[] = {
        {INT64_MAX, -18, 0, 0, 0, even, 9},
        {INT64_MAX, -19, 0, 0, 0, even, 1},  // 0.92...
        {-6000000000000000000, -19, 0, 0, 0, even, -1},
        {5000000000000000000, -19, 0, 0, 0, even, 0},
        {5000000000000000000, -19, 0, 0, 0, rounding_mode::half_away_from_zero, 1},
        {INT64_MAX, -20, 0, 0, 0, even, 0},  // 0.092...
        {INT64_MAX, -20, 0, 0, 0, rounding_mode::away_from_zero, 1},
        {12345, -4, 1, 0, 2, even, 123},  // 1.2345 / 1
        {30, 0, 4, 3, 2, even, 1},        // 30 / 4000 = 0.0075
        {INT64_MAX, -19, 1, 0, 0, even, 1},
        {INT64_MAX, -19, 3, 0, 0, even, 0},
        {-INT64_MAX, -25, 1, -5, 0, even, 0},
        {-INT64_MAX, -25, 1, -5, 0, rounding_mode::away_from_zero, -1},
    };
    for (const row& r : rows) {
        const vc::decimal value(r.number, r.factor);
        const vc::decimal result =
            r.divisor == 0
                ? value.round(r.decimals, r.mode)
                : value.divide(vc::decimal(r.divisor, r.divisor_factor), r.decimals, r.mode);
        EXPECT_EQ(result.get_number(), r.expected) << r.number << "e" << r.factor;
        EXPECT_EQ(result.get_factor(), -r.decimals);
    }
}

TEST(DecimalMoney, ErrorsCallersCanTellApart) {
    const vc::decimal one(1, 0);
    EXPECT_THROW(one.divide(0, 2), std::domain_error);
    EXPECT_THROW(one.divide(vc::decimal(0, -5), 2), std::domain_error);
    EXPECT_THROW(vc::decimal(INT64_MIN, 0).divide(-1, 0), std::overflow_error);
    // 3.5e18 / 9.2e18 at 20 places is 3.8e19 units; the numerator times 10^20 passes 2^128.
    EXPECT_THROW(
        vc::decimal(3500000000000000000, 0).divide(vc::decimal(9200000000000000000, 0), 20),
        std::overflow_error);
    EXPECT_THROW(one.round(32769), std::overflow_error);  // factor -32769
    EXPECT_EQ(vc::decimal(0, 0).round(32768).get_factor(), INT16_MIN);
    EXPECT_THROW(one.round(2, static_cast<rounding_mode>(7)), std::invalid_argument);
    EXPECT_THROW(one.split(0, 2), std::invalid_argument);
    EXPECT_THROW(one.split({1, -1}, 2), std::invalid_argument);
    EXPECT_THROW(one.split({0, 0}, 2), std::invalid_argument);
    EXPECT_THROW(vc::decimal(1005, -3).split(2, 2), std::invalid_argument);  // 1.005 in cents
    EXPECT_THROW(vc::decimal(INT64_MAX, 0).split(2, 2), std::overflow_error);
    EXPECT_THROW(vc::decimal(1, -25).split(2, 2), std::invalid_argument);
    EXPECT_THROW(vc::decimal(1, 20).split(2, 0), std::overflow_error);  // 10^20 units
    EXPECT_THROW(vc::decimal(INT64_MIN, 0).split(2, 2), std::overflow_error);

    // The in-place forms: the same values, no allocation, unchanged on an exception.
    vc::decimal amount(12345, -3);
    {
        allocation_counter counter;
        amount.round_in_place(2, rounding_mode::half_away_from_zero).divide_in_place(3, 3);
        EXPECT_EQ(counter.count(), 0U);
    }
    EXPECT_TRUE(amount.get_number() == 4117 && amount.get_factor() == -3);  // 12.35 / 3
    EXPECT_THROW(amount.divide_in_place(vc::decimal(0, 0), 2), std::domain_error);
    EXPECT_THROW(amount.round_in_place(40), std::overflow_error);
    EXPECT_TRUE(amount.get_number() == 4117 && amount.get_factor() == -3);
}

TEST(DecimalMoney, PartsAddUpAndStayWithinOneUnitOfTheirShare) {
    std::mt19937_64 rng(17);
    for (int trial = 0; trial < 3000; ++trial) {
        const auto units = static_cast<long long>(rng() >> (1 + rng() % 63)) * (rng() % 2 ? 1 : -1);
        std::vector<long long> weights(1 + rng() % 12);
        for (long long& w : weights) {
            w = trial % 3 == 0 ? 1 : static_cast<long long>(rng() >> (rng() % 64 | 1)) % 1000;
        }
        if (trial % 3 != 0) {
            weights[rng() % weights.size()] += 1;  // never all zero
        }
        const vc::decimal amount(units, -2);
        const std::vector<vc::decimal> parts =
            trial % 3 == 0 ? amount.split(weights.size(), 2) : amount.split(weights, 2);
        ASSERT_EQ(parts.size(), weights.size());
        int128 sum = 0;
        int128 total = 0;
        for (long long w : weights) {
            total += w;
        }
        for (std::size_t i = 0; i < parts.size(); ++i) {
            ASSERT_EQ(parts[i].get_factor(), -2);
            sum += parts[i].get_number();
            // |part - units × w / total| < 1, in whole numbers.
            const int128 gap = int128{parts[i].get_number()} * total - int128{units} * weights[i];
            EXPECT_LT(gap < 0 ? -gap : gap, total) << units << " part " << i;
        }
        EXPECT_TRUE(sum == units) << units;
    }
    // Ties go to the earlier parts, whatever the sign.
    const auto numbers = [](const std::vector<vc::decimal>& parts) {
        std::vector<long long> n;
        for (const vc::decimal& p : parts) {
            n.push_back(p.get_number());
        }
        return n;
    };
    EXPECT_EQ(numbers(vc::decimal(100, 0).split(3, 2)), (std::vector<long long>{3334, 3333, 3333}));
    EXPECT_EQ(numbers(vc::decimal(-2, -2).split(3, 2)), (std::vector<long long>{-1, -1, 0}));
    EXPECT_EQ(numbers(vc::decimal(10, 0).split({1, 2, 0}, 0)), (std::vector<long long>{3, 7, 0}));
    EXPECT_EQ(numbers(vc::decimal(-1000, -3).split(2, 2)), (std::vector<long long>{-50, -50}));
}

TEST(DecimalMoney, ReaderLimits) {
    const vc::value_converter<vc::decimal> reader(',');
    const vc::decimal_limits money{4, 12};
    const struct {
        std::string_view text;
        bool accepted;
    } cases[] = {
        {"999999999999,9999", true},
        {"-999999999999,9999", true},
        {"0000000000001,5", true},
        {"0,1234", true},
        {"1234567890123", false},
        {"1,23456", false},
        {"-1234567890123,1", false},
        {"12,5x", false},
        {"", false},
    };
    for (const auto& c : cases) {
        vc::decimal out(7, 7);
        const vc::converter_status status =
            reader.make_value(out, c.text.data(), c.text.size(), money);
        EXPECT_EQ(status == vc::converter_status::success, c.accepted) << c.text;
        if (!c.accepted) {
            EXPECT_TRUE(out.get_number() == 7 && out.get_factor() == 7) << c.text;
        }
    }
    vc::decimal out;
    EXPECT_EQ(reader.make_value(out, "1,5", 3, {0, 1}), vc::converter_status::invalid_format);
    EXPECT_EQ(reader.make_value(out, "12", 2, {0, 1}), vc::converter_status::invalid_format);
    EXPECT_EQ(reader.make_value(out, "0,0", 3, {1, 0}), vc::converter_status::success);
    // Integer digits counted past 19 decimals, and up to the full 19 digits of a number.
    const std::string tiny = "0," + std::string(19, '0') + "1";
    EXPECT_EQ(reader.make_value(out, tiny.data(), tiny.size(), {20, 0}),
              vc::converter_status::success);
    EXPECT_EQ(reader.make_value(out, tiny.data(), tiny.size(), {19, 19}),
              vc::converter_status::invalid_format);
    EXPECT_EQ(reader.make_value(out, "922337203685477580,7", 20, {1, 18}),
              vc::converter_status::success);
    EXPECT_EQ(reader.make_value(out, "922337203685477580,7", 20, {1, 17}),
              vc::converter_status::invalid_format);
}

}  // namespace
