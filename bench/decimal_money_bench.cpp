// SPDX-License-Identifier: MIT
// Money arithmetic on decimals: rounding a computed amount held at 4 decimals to cents (half to
// even and half away from zero) and dividing a total in cents by a count, into cents with ties
// to even, both by a long long and by a decimal. Each is measured against what an application
// writes by hand instead: the amounts as int64 integers scaled by a fixed power of ten, rounded
// or divided through __int128 with the remainder compared to half the divisor.
//
// Every decimal result owns a heap block, so each operation of ours takes one allocation while
// the bare integer peer takes none. The "_into_decimal" peers also build decimal(number, -2)
// from the integer they computed, which puts the same allocation on both sides: the bare peer
// shows the floor of the arithmetic, the other one what an application holding decimals pays.
//
// Each iteration handles one value of a fixed set of 1024 (negatives, exact ties such as
// 12.3450 and 0.0050, whole amounts and large ones), cycling through it; the results are added
// into a sum kept live with DoNotOptimize. Before measuring, each of our benchmarks checks that
// it gives the same numbers as its peer over the whole set and reports an error otherwise.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/allocation_counter.hpp"
#include "vorn/core/decimal.hpp"

namespace vc = vorn::core::v2;

namespace {

__extension__ using int128 = __int128;

constexpr std::size_t value_count = 1024;  // a power of two: the index wraps with a mask
constexpr std::size_t index_mask = value_count - 1;

// ---------------------------------------------------------------------------------------------
// The hand-written peer: n / d to the nearest integer, the tie settled by `mode` (only the two
// half modes measured here), from the truncated quotient and its remainder.

int128 rounded_quotient(int128 n, int128 d, vc::rounding_mode mode) {
    const int128 q = n / d;
    const int128 r = n % d;
    if (r == 0) {
        return q;
    }
    const int128 twice_remainder = r < 0 ? -2 * r : 2 * r;
    const int128 divisor_magnitude = d < 0 ? -d : d;
    bool away = twice_remainder > divisor_magnitude;
    if (twice_remainder == divisor_magnitude) {
        away = mode == vc::rounding_mode::half_away_from_zero || (q & 1) != 0;
    }
    if (!away) {
        return q;
    }
    return (r < 0) != (d < 0) ? q - 1 : q + 1;
}

// A small deterministic generator, so that every run measures the same values.
class sequence {
  public:
    std::uint64_t next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return state_ >> 17;
    }
    long long below(long long bound) { return static_cast<long long>(next() % bound); }

  private:
    std::uint64_t state_ = 0x2545F4914F6CDD1DULL;
};

// ---------------------------------------------------------------------------------------------
// Rounding amounts computed at 4 decimals (a price times a rate, say) to cents.

// The numbers of the amounts at 4 decimals: one in four an exact tie (...50 in the last two
// digits), the others with arbitrary last digits, a few whole, about half of them negative.
std::vector<long long> unrounded_numbers() {
    sequence random;
    std::vector<long long> numbers;
    numbers.reserve(value_count);
    for (std::size_t i = 0; i < value_count; ++i) {
        long long n = 0;
        switch (i % 8) {
            case 0:  // a tie below one unit: 0.0050, 0.0150...
                n = random.below(100) * 100 + 50;
                break;
            case 1:  // a tie on an everyday amount: 12.3450
                n = random.below(10'000'000) * 100 + 50;
                break;
            case 2:  // a whole number of cents: nothing to round
                n = random.below(10'000'000) * 100;
                break;
            case 3:  // a large amount, up to a billion
                n = random.below(10'000'000'000'000LL);
                break;
            default:  // an everyday amount, up to a hundred thousand
                n = random.below(1'000'000'000);
                break;
        }
        numbers.push_back(random.below(2) == 0 ? n : -n);
    }
    return numbers;
}

// Times `operation(i)` on the inputs in turn, folding the number it returns into a sum kept
// live, and counts items and heap blocks: the loop every figure below shares.
template <class Operation>
void time_each(benchmark::State& state, Operation operation) {
    std::uint64_t sum = 0;
    std::size_t i = 0;
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        sum += operation(i);
        benchmark::DoNotOptimize(sum);
        i = (i + 1) & index_mask;
    }
    state.SetItemsProcessed(state.iterations());
}

std::vector<vc::decimal> unrounded_amounts(const std::vector<long long>& numbers) {
    std::vector<vc::decimal> amounts;
    amounts.reserve(numbers.size());
    for (const long long n : numbers) {
        amounts.emplace_back(n, static_cast<short>(-4));
    }
    return amounts;
}

bool rounding_matches_peer(benchmark::State& state, const std::vector<long long>& numbers,
                           const std::vector<vc::decimal>& amounts, vc::rounding_mode mode) {
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const vc::decimal ours = amounts[i].round(2, mode);
        const int128 peer = rounded_quotient(numbers[i], 100, mode);
        if (ours.get_factor() != -2 || ours.get_number() != static_cast<long long>(peer)) {
            state.SkipWithError("round() and the integer peer disagree on an amount");
            return false;
        }
    }
    return true;
}

void round_vorn(benchmark::State& state, vc::rounding_mode mode) {
    const std::vector<long long> numbers = unrounded_numbers();
    const std::vector<vc::decimal> amounts = unrounded_amounts(numbers);
    if (!rounding_matches_peer(state, numbers, amounts, mode)) {
        return;
    }
    time_each(state, [&](std::size_t i) {
        const vc::decimal cents = amounts[i].round(2, mode);
        return static_cast<std::uint64_t>(cents.get_number());
    });
}

// The same into a decimal the caller keeps: round_in_place never allocates.
void round_vorn_in_place(benchmark::State& state, vc::rounding_mode mode) {
    const std::vector<long long> numbers = unrounded_numbers();
    const std::vector<vc::decimal> amounts = unrounded_amounts(numbers);
    if (!rounding_matches_peer(state, numbers, amounts, mode)) {
        return;
    }
    vc::decimal cents;
    time_each(state, [&](std::size_t i) {
        cents = amounts[i];
        cents.round_in_place(2, mode);
        return static_cast<std::uint64_t>(cents.get_number());
    });
}

void round_int128(benchmark::State& state, vc::rounding_mode mode) {
    const std::vector<long long> numbers = unrounded_numbers();
    time_each(state, [&](std::size_t i) {
        const int128 cents = rounded_quotient(numbers[i], 100, mode);
        return static_cast<std::uint64_t>(cents);
    });
}

void round_int128_into_decimal(benchmark::State& state, vc::rounding_mode mode) {
    const std::vector<long long> numbers = unrounded_numbers();
    time_each(state, [&](std::size_t i) {
        const vc::decimal cents(static_cast<long long>(rounded_quotient(numbers[i], 100, mode)),
                                static_cast<short>(-2));
        return static_cast<std::uint64_t>(cents.get_number());
    });
}

BENCHMARK_CAPTURE(round_vorn, half_even, vc::rounding_mode::half_even);
BENCHMARK_CAPTURE(round_vorn_in_place, half_even, vc::rounding_mode::half_even);
BENCHMARK_CAPTURE(round_int128, half_even, vc::rounding_mode::half_even);
BENCHMARK_CAPTURE(round_int128_into_decimal, half_even, vc::rounding_mode::half_even);
BENCHMARK_CAPTURE(round_vorn, half_away_from_zero, vc::rounding_mode::half_away_from_zero);
BENCHMARK_CAPTURE(round_vorn_in_place, half_away_from_zero, vc::rounding_mode::half_away_from_zero);
BENCHMARK_CAPTURE(round_int128, half_away_from_zero, vc::rounding_mode::half_away_from_zero);
BENCHMARK_CAPTURE(round_int128_into_decimal, half_away_from_zero,
                  vc::rounding_mode::half_away_from_zero);

// ---------------------------------------------------------------------------------------------
// Dividing a total in cents by a count (a bill shared by 3, a yearly amount by 12 months or 365
// days) into cents, ties to even.

constexpr long long counts[] = {3, 7, 12, 2, 4, 365, 30, 9};
constexpr std::size_t count_count = sizeof counts / sizeof counts[0];

// The totals' numbers in cents, each paired with counts[i % count_count]; about half negative.
// One in four is an odd number of cents shared by an even count, so that the exact quotient
// ends in a half cent and the tie rule decides.
std::vector<long long> total_numbers() {
    sequence random;
    std::vector<long long> numbers;
    numbers.reserve(value_count);
    for (std::size_t i = 0; i < value_count; ++i) {
        const long long count = counts[i % count_count];
        long long n = 0;
        if (i % 4 == 1 && count % 2 == 0) {
            // (2k + 1) × count / 2 cents: the quotient is k + 1/2 cents.
            n = (2 * random.below(1'000'000) + 1) * (count / 2);
        } else if (i % 4 == 3) {
            n = random.below(100'000'000'000LL);  // up to a billion
        } else {
            n = random.below(10'000'000);  // up to a hundred thousand
        }
        numbers.push_back(random.below(2) == 0 ? n : -n);
    }
    return numbers;
}

std::vector<vc::decimal> totals(const std::vector<long long>& numbers) {
    std::vector<vc::decimal> amounts;
    amounts.reserve(numbers.size());
    for (const long long n : numbers) {
        amounts.emplace_back(n, static_cast<short>(-2));
    }
    return amounts;
}

// The counts as decimals with factor 0, as an application holding quantities as decimals has
// them; built once, so that their blocks are not part of the division measured.
std::vector<vc::decimal> decimal_counts() {
    std::vector<vc::decimal> divisors;
    divisors.reserve(value_count);
    for (std::size_t i = 0; i < value_count; ++i) {
        divisors.emplace_back(counts[i % count_count], static_cast<short>(0));
    }
    return divisors;
}

// The peer's division: totals in cents and results in cents, so the scaled numerator is the
// total's number itself.
int128 divided_cents(long long total_cents, long long count) {
    return rounded_quotient(total_cents, count, vc::rounding_mode::half_even);
}

// The same with the divisor as a decimal of factor `factor` >= 0, as in the decimal peer: the
// numerator is scaled by 10^-factor so that the quotient stays in cents.
int128 divided_cents(long long total_cents, long long divisor_number, short divisor_factor) {
    int128 divisor = divisor_number;
    for (short k = 0; k < divisor_factor; ++k) {
        divisor *= 10;
    }
    return rounded_quotient(total_cents, divisor, vc::rounding_mode::half_even);
}

bool division_matches_peer(benchmark::State& state, const std::vector<long long>& numbers,
                           const std::vector<vc::decimal>& amounts, bool by_decimal) {
    const std::vector<vc::decimal> divisors = decimal_counts();
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const long long count = counts[i % count_count];
        const vc::decimal ours =
            by_decimal ? amounts[i].divide(divisors[i], 2, vc::rounding_mode::half_even)
                       : amounts[i].divide(count, 2, vc::rounding_mode::half_even);
        const int128 peer = divided_cents(numbers[i], count);
        if (ours.get_factor() != -2 || ours.get_number() != static_cast<long long>(peer)) {
            state.SkipWithError("divide() and the integer peer disagree on a total");
            return false;
        }
    }
    return true;
}

void divide_by_count_vorn(benchmark::State& state) {
    const std::vector<long long> numbers = total_numbers();
    const std::vector<vc::decimal> amounts = totals(numbers);
    if (!division_matches_peer(state, numbers, amounts, false)) {
        return;
    }
    time_each(state, [&](std::size_t i) {
        const vc::decimal share =
            amounts[i].divide(counts[i % count_count], 2, vc::rounding_mode::half_even);
        return static_cast<std::uint64_t>(share.get_number());
    });
}
BENCHMARK(divide_by_count_vorn);

void divide_by_count_vorn_in_place(benchmark::State& state) {
    const std::vector<long long> numbers = total_numbers();
    const std::vector<vc::decimal> amounts = totals(numbers);
    if (!division_matches_peer(state, numbers, amounts, false)) {
        return;
    }
    vc::decimal share;
    time_each(state, [&](std::size_t i) {
        share = amounts[i];
        share.divide_in_place(counts[i % count_count], 2, vc::rounding_mode::half_even);
        return static_cast<std::uint64_t>(share.get_number());
    });
}
BENCHMARK(divide_by_count_vorn_in_place);

void divide_by_count_int128(benchmark::State& state) {
    const std::vector<long long> numbers = total_numbers();
    time_each(state, [&](std::size_t i) {
        const int128 share = divided_cents(numbers[i], counts[i % count_count]);
        return static_cast<std::uint64_t>(share);
    });
}
BENCHMARK(divide_by_count_int128);

void divide_by_count_int128_into_decimal(benchmark::State& state) {
    const std::vector<long long> numbers = total_numbers();
    time_each(state, [&](std::size_t i) {
        const vc::decimal share(
            static_cast<long long>(divided_cents(numbers[i], counts[i % count_count])),
            static_cast<short>(-2));
        return static_cast<std::uint64_t>(share.get_number());
    });
}
BENCHMARK(divide_by_count_int128_into_decimal);

void divide_by_decimal_vorn(benchmark::State& state) {
    const std::vector<long long> numbers = total_numbers();
    const std::vector<vc::decimal> amounts = totals(numbers);
    const std::vector<vc::decimal> divisors = decimal_counts();
    if (!division_matches_peer(state, numbers, amounts, true)) {
        return;
    }
    time_each(state, [&](std::size_t i) {
        const vc::decimal share = amounts[i].divide(divisors[i], 2, vc::rounding_mode::half_even);
        return static_cast<std::uint64_t>(share.get_number());
    });
}
BENCHMARK(divide_by_decimal_vorn);

// The divisor kept as a number and a factor, the peer's own form of a decimal.
struct scaled_count {
    long long number;
    short factor;
};

std::vector<scaled_count> scaled_counts() {
    std::vector<scaled_count> divisors;
    divisors.reserve(value_count);
    for (std::size_t i = 0; i < value_count; ++i) {
        divisors.push_back({counts[i % count_count], 0});
    }
    return divisors;
}

void divide_by_decimal_int128(benchmark::State& state) {
    const std::vector<long long> numbers = total_numbers();
    const std::vector<scaled_count> divisors = scaled_counts();
    time_each(state, [&](std::size_t i) {
        const int128 share = divided_cents(numbers[i], divisors[i].number, divisors[i].factor);
        return static_cast<std::uint64_t>(share);
    });
}
BENCHMARK(divide_by_decimal_int128);

void divide_by_decimal_int128_into_decimal(benchmark::State& state) {
    const std::vector<long long> numbers = total_numbers();
    const std::vector<scaled_count> divisors = scaled_counts();
    time_each(state, [&](std::size_t i) {
        const vc::decimal share(static_cast<long long>(divided_cents(numbers[i], divisors[i].number,
                                                                     divisors[i].factor)),
                                static_cast<short>(-2));
        return static_cast<std::uint64_t>(share.get_number());
    });
}
BENCHMARK(divide_by_decimal_int128_into_decimal);

}  // namespace
