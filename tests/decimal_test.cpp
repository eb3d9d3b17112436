// The fixed-point decimal: storage, moves, exact aligned arithmetic and fixed-point text.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <locale>
#include <new>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>

#include <locale.h>
#include <math.h>

#include "support/allocation_failure.hpp"
#include "vorn/core/decimal.hpp"

namespace vc = vorn::core::v2;
using vorn::test::allocation_counter;
using vorn::test::allocation_failure_scope;
using vorn::test::fail_next_allocations;

namespace {

constexpr long long int64_max = std::numeric_limits<long long>::max();
constexpr long long int64_min = std::numeric_limits<long long>::min();

// What libc's fixed conversion writes for number × 10^factor in extended precision, in the
// "C" locale whatever the process's locale, with the point replaced by `separator`.
std::string libc_fixed(long long number, int factor, unsigned int precision, char separator) {
    const long double value =
        static_cast<long double>(number) * powl(10.0L, static_cast<long double>(factor));
    const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const locale_t previous = uselocale(c_locale);
    const int length = std::snprintf(nullptr, 0, "%.*Lf", static_cast<int>(precision), value);
    std::string text(static_cast<std::size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, "%.*Lf", static_cast<int>(precision), value);
    uselocale(previous);
    freelocale(c_locale);
    const std::size_t point = text.find('.');
    if (point != std::string::npos) {
        text[point] = separator;
    }
    return text;
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

TEST(Decimal, DigitsBeyondTheSignificandAreThoseOfTheExtendedProduct) {
    const std::string text = vc::decimal(1, 28).to_string(0, '.');
    EXPECT_EQ(text, libc_fixed(1, 28, 0, '.'));
    EXPECT_NE(text, "1" + std::string(28, '0'));
}

TEST(Decimal, HugePrecisionPadsWithZeros) {
    const std::string text = vc::decimal(1, -1).to_string(400, '.');
    EXPECT_EQ(text, libc_fixed(1, -1, 400, '.'));
}

// Random numbers of every magnitude, factors around the usual range and some far outside it,
// and precisions up to past the significand's reach, against libc's fixed conversion.
void expect_agreement_with_libc(unsigned int seed, int rounds) {
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
        ASSERT_EQ(d.to_string(precision, separator),
                  libc_fixed(number, factor, precision, separator))
            << number << "e" << factor << " precision " << precision;
    }
}

TEST(Decimal, AgreesWithLibcFixedConversion) {
    expect_agreement_with_libc(1, 20000);
}

// Decimal ties: a number ending in 5 at one more decimal than printed.
TEST(Decimal, AgreesWithLibcOnDecimalTies) {
    for (int factor = -1; factor >= -22; --factor) {
        for (long long stem : {0LL, 1LL, 2LL, 7LL, 12LL, 99LL, 123456789LL}) {
            for (int sign : {1, -1}) {
                const long long number = sign * (stem * 10 + 5);
                for (unsigned int precision = 0; precision <= 24; ++precision) {
                    const vc::decimal d(number, static_cast<short>(factor));
                    ASSERT_EQ(d.to_string(precision, '.'),
                              libc_fixed(number, factor, precision, '.'))
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
        expect_agreement_with_libc(2, 3000);
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
        EXPECT_EQ(vc::decimal(1, 40).to_string(1, ';'), libc_fixed(1, 40, 1, ';')) << name;
        EXPECT_EQ(vc::decimal(-7, -30).to_string(35, '.'), libc_fixed(-7, -30, 35, '.')) << name;
        expect_agreement_with_libc(3, 3000);
    }
}
