// SPDX-License-Identifier: MIT
// Decimal text both ways: to_string against snprintf("%.*Lf") and a string stream with a
// separator facet, and the decimal reader against strtod with scaling and std::from_chars on
// the integer and fraction parts. Each iteration handles one amount of a small mixed set.
#include <benchmark/benchmark.h>

#include <math.h>

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include "support/allocation_counter.hpp"
#include "vorn/core/decimal.hpp"

namespace vc = vorn::core::v2;

namespace {

constexpr std::size_t amount_count = 8;
const std::pair<long long, short> amounts[amount_count] = {
    {1234567, -2}, {-5, -1}, {19990, -2}, {7, 3}, {-123456789012, -4}, {25, -1}, {0, 0}, {42, 0}};

long double extended_value(long long number, short factor) {
    return static_cast<long double>(number) * powl(10.0L, static_cast<long double>(factor));
}

// ---------------------------------------------------------------------------------------------
// Writing with two decimals and ',' as separator.

void to_string_vorn(benchmark::State& state) {
    std::vector<vc::decimal> values;
    for (const auto& [number, factor] : amounts) {
        values.emplace_back(number, factor);
    }
    std::size_t i = 0;
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        std::string text = values[i].to_string(2, ',');
        benchmark::DoNotOptimize(text);
        i = (i + 1) % amount_count;
    }
}
BENCHMARK(to_string_vorn);

void to_string_snprintf(benchmark::State& state) {
    std::size_t i = 0;
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        const long double value = extended_value(amounts[i].first, amounts[i].second);
        char buffer[64];
        const int length = std::snprintf(buffer, sizeof buffer, "%.*Lf", 2, value);
        char* point =
            static_cast<char*>(std::memchr(buffer, '.', static_cast<std::size_t>(length)));
        if (point != nullptr) {
            *point = ',';
        }
        std::string text(buffer, static_cast<std::size_t>(length));
        benchmark::DoNotOptimize(text);
        i = (i + 1) % amount_count;
    }
}
BENCHMARK(to_string_snprintf);

class separator_punctuation : public std::numpunct<char> {
  public:
    explicit separator_punctuation(char separator)
        : std::numpunct<char>(std::size_t{0}), separator_(separator) {}

  protected:
    char do_decimal_point() const override { return separator_; }

  private:
    char separator_;
};

void to_string_ostringstream(benchmark::State& state) {
    std::size_t i = 0;
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        std::ostringstream stream;
        stream.imbue(std::locale(std::locale::classic(), new separator_punctuation(',')));
        stream.setf(std::ios_base::fixed, std::ios_base::floatfield);
        stream.precision(2);
        stream << extended_value(amounts[i].first, amounts[i].second);
        std::string text = stream.str();
        benchmark::DoNotOptimize(text);
        i = (i + 1) % amount_count;
    }
}
BENCHMARK(to_string_ostringstream);

// ---------------------------------------------------------------------------------------------
// Reading the texts that to_string(2, '.') writes.

std::vector<std::string> texts() {
    std::vector<std::string> result;
    for (const auto& [number, factor] : amounts) {
        result.push_back(vc::decimal(number, factor).to_string(2, '.'));
    }
    return result;
}

void read_vorn(benchmark::State& state) {
    const std::vector<std::string> inputs = texts();
    const vc::value_converter<vc::decimal> reader;
    vc::decimal out;
    std::size_t i = 0;
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        const std::string& text = inputs[i];
        benchmark::DoNotOptimize(reader.make_value(out, text.data(), text.size()));
        benchmark::DoNotOptimize(out.get_number());
        i = (i + 1) % amount_count;
    }
}
BENCHMARK(read_vorn);

// The double, scaled by 10^decimals and rounded: what a hand-written reader often does (and
// inexact beyond 15 or so significant digits).
void read_strtod(benchmark::State& state) {
    const std::vector<std::string> inputs = texts();
    std::size_t i = 0;
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        const std::string& text = inputs[i];
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        const char* point = std::strchr(text.c_str(), '.');
        const int decimals = point == nullptr ? 0 : static_cast<int>(end - point - 1);
        const long long number = llround(value * pow(10.0, decimals));
        benchmark::DoNotOptimize(number);
        benchmark::DoNotOptimize(decimals);
        i = (i + 1) % amount_count;
    }
}
BENCHMARK(read_strtod);

// Exact int64 fixed point from two std::from_chars calls, the integer and the fraction part.
void read_from_chars(benchmark::State& state) {
    const std::vector<std::string> inputs = texts();
    std::size_t i = 0;
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        const std::string& text = inputs[i];
        const char* const first = text.data();
        const char* const last = first + text.size();
        long long integer = 0;
        auto [p, error] = std::from_chars(first, last, integer);
        long long fraction = 0;
        int decimals = 0;
        if (error == std::errc() && p != last && *p == '.') {
            const char* const fraction_begin = p + 1;
            const auto parsed = std::from_chars(fraction_begin, last, fraction);
            decimals = static_cast<int>(parsed.ptr - fraction_begin);
        }
        long long scale = 1;
        for (int d = 0; d < decimals; ++d) {
            scale *= 10;
        }
        const long long number = integer * scale + (first[0] == '-' ? -fraction : fraction);
        benchmark::DoNotOptimize(number);
        benchmark::DoNotOptimize(decimals);
        i = (i + 1) % amount_count;
    }
}
BENCHMARK(read_from_chars);

}  // namespace
