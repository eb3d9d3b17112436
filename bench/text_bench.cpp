// SPDX-License-Identifier: MIT
// Numbers and text: the formatter against a regular-expression formatter and fmt, decimal
// text against string streams and snprintf, and the stopwatch against the bare clock.
#include <benchmark/benchmark.h>

#include <math.h>

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <locale>
#include <regex>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "support/allocation_counter.hpp"
#include "vorn/core/decimal.hpp"
#include "vorn/core/stopwatch.hpp"
#include "vorn/core/text_formatter.hpp"

#if defined(VORN_BENCH_HAVE_FMT)
#include <fmt/format.h>
#endif

namespace vc = vorn::core::v2;

namespace {

const char message[] = "Olá {0}, você tem {1} mensagens novas desde {2: dd/MM}.";

// ---------------------------------------------------------------------------------------------
// Formatting a typical message: parse, bind three placeholders, build the text.

// Through the typed front end: numbers are written into a local buffer and bound by number.
void formatter_vorn_bind(benchmark::State& state) {
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        vc::text_formatter f = vc::text_formatter::parser(message);
        f.bind(0, "Ana").bind(1, 5).bind(2, "12/03");
        std::string text = f.make_string();
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(formatter_vorn_bind);

// Binding by placeholder text, as a caller that knows its message can.
void formatter_vorn_by_text(benchmark::State& state) {
    bench::allocation_scope allocations(state);
    const std::string keys[] = {"{0}", "{1}", "{2: dd/MM}"};
    const std::string values[] = {"Ana", "5", "12/03"};
    for (auto _ : state) {
        vc::text_formatter f = vc::text_formatter::parser(message);
        f.replace_arg_escape_impl(keys[0], values[0])
            .replace_arg_escape_impl(keys[1], values[1])
            .replace_arg_escape_impl(keys[2], values[2]);
        std::string text = f.make_string();
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(formatter_vorn_by_text);

// The same work with the standard regular expression: compiled per text, every match kept as
// its texts and offsets, bindings in a hash map, replacement from the last match to the first.
struct regex_argument {
    std::string name;
    std::string params;
    std::string full_arg;
    std::size_t begin;
    std::size_t end;
};

void formatter_regex(benchmark::State& state) {
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        const std::string text = message;
        const std::regex pattern("\\{([0-9]+)(?:\\: ([^{]*))?\\}");
        std::vector<regex_argument> arguments;
        for (std::sregex_iterator it(text.begin(), text.end(), pattern), last; it != last; ++it) {
            const std::smatch& m = *it;
            const auto begin = static_cast<std::size_t>(m.position(0));
            arguments.push_back({m[1].str(), m[2].matched ? m[2].str() : std::string(), m[0].str(),
                                 begin, begin + static_cast<std::size_t>(m.length(0))});
        }
        std::unordered_map<std::string, std::string> replacements;
        const std::pair<const char*, std::string> values[] = {
            {"0", "Ana"}, {"1", std::to_string(5)}, {"2", "12/03"}};
        for (const auto& [name, value] : values) {
            for (const regex_argument& a : arguments) {
                if (a.name == name) {
                    replacements[a.full_arg] = value;
                }
            }
        }
        std::string out = text;
        for (auto a = arguments.rbegin(); a != arguments.rend(); ++a) {
            out.replace(a->begin, a->end - a->begin, replacements[a->full_arg]);
        }
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(formatter_regex);

#if defined(VORN_BENCH_HAVE_FMT)
void formatter_fmt(benchmark::State& state) {
    // A runtime format string, as a message read from a catalogue would be; the date is
    // handed over already written, as it is to the formatter above.
    const std::string format = "Olá {0}, você tem {1} mensagens novas desde {2}.";
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        std::string text = fmt::format(fmt::runtime(format), "Ana", 5, "12/03");
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(formatter_fmt);
#else
void formatter_fmt(benchmark::State& state) {
    state.SkipWithError("fmt not installed (libfmt-dev): peer skipped");
}
BENCHMARK(formatter_fmt);
#endif

// ---------------------------------------------------------------------------------------------
// The everyday message of a log tool: a short user name, a line number, an amount and a UTC
// time already written as text.

const char everyday_message[] = "{0} #{1}: {2} em {3}";
const std::string everyday_user = "ana";
const std::string everyday_amount = "1234.56";
const std::string everyday_time = "2024-03-10T12:34:56Z";
constexpr int everyday_line = 4217;

void formatter_vorn_everyday(benchmark::State& state) {
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        vc::text_formatter f = vc::text_formatter::parser(everyday_message);
        f.bind(0, everyday_user)
            .bind(1, everyday_line)
            .bind(2, everyday_amount)
            .bind(3, everyday_time);
        std::string text = f.make_string();
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(formatter_vorn_everyday);

#if defined(VORN_BENCH_HAVE_FMT)
void formatter_fmt_everyday(benchmark::State& state) {
    const std::string format = everyday_message;
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        std::string text = fmt::format(fmt::runtime(format), everyday_user, everyday_line,
                                       everyday_amount, everyday_time);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(formatter_fmt_everyday);
#endif

// ---------------------------------------------------------------------------------------------
// Decimal text.

const std::pair<long long, short> amounts[] = {{1234567, -2},       {-5, -1}, {19990, -2}, {7, 3},
                                               {-123456789012, -4}, {25, -1}, {0, 0},      {42, 0}};

void decimal_vorn(benchmark::State& state) {
    std::vector<vc::decimal> values;
    for (const auto& [number, factor] : amounts) {
        values.emplace_back(number, factor);
    }
    for (auto _ : state) {
        for (const vc::decimal& d : values) {
            std::string text = d.to_string(2, ',');
            benchmark::DoNotOptimize(text);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(values.size()));
}
BENCHMARK(decimal_vorn);

// A string stream imbued with a punctuation facet that sets the separator.
class separator_punctuation : public std::numpunct<char> {
  public:
    explicit separator_punctuation(char separator)
        : std::numpunct<char>(std::size_t{0}), separator_(separator) {}

  protected:
    char do_decimal_point() const override { return separator_; }

  private:
    char separator_;
};

void decimal_ostringstream(benchmark::State& state) {
    for (auto _ : state) {
        for (const auto& [number, factor] : amounts) {
            const long double value =
                static_cast<long double>(number) * powl(10.0L, static_cast<long double>(factor));
            std::stringstream stream;
            stream.imbue(std::locale(std::locale(), new separator_punctuation(',')));
            stream.setf(std::ios_base::fixed, std::ios_base::floatfield);
            stream.precision(2);
            stream << value;
            std::string text = stream.str();
            benchmark::DoNotOptimize(text);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(std::size(amounts)));
}
BENCHMARK(decimal_ostringstream);

void decimal_snprintf(benchmark::State& state) {
    for (auto _ : state) {
        for (const auto& [number, factor] : amounts) {
            const long double value =
                static_cast<long double>(number) * powl(10.0L, static_cast<long double>(factor));
            char buffer[64];
            const int length = std::snprintf(buffer, sizeof buffer, "%.*Lf", 2, value);
            std::string text(buffer, static_cast<std::size_t>(length));
            benchmark::DoNotOptimize(text);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(std::size(amounts)));
}
BENCHMARK(decimal_snprintf);

// ---------------------------------------------------------------------------------------------
// Stopwatch.

void stopwatch_split(benchmark::State& state) {
    vc::stopwatch watch;
    watch.start();
    for (auto _ : state) {
        benchmark::DoNotOptimize(watch.split());
    }
}
BENCHMARK(stopwatch_split);

void steady_clock_now(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::chrono::steady_clock::now());
    }
}
BENCHMARK(steady_clock_now);

}  // namespace
