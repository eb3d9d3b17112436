// SPDX-License-Identifier: MIT
// Time against input size for every entry point that reads or writes text, on adversarial
// inputs: each is run at a small and a large size (16 times larger) and the table printed at
// the end gives the ratio of the two times; about 16 is linear, about 256 quadratic. Rows whose
// working set outgrows the caches at the large size (a placeholder record and index entries
// per 3 bytes of "{0}{1}..." text, megabytes of codec output) come out somewhat above 16 while
// their cost per placeholder or byte stays within a small factor, and the allocations per run
// (allocs/op) grow no faster than the input.
//
//   build/bench/bench/linear_time_bench --benchmark_repetitions=3
//       --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "support/allocation_counter.hpp"
#include "vorn/core.hpp"

namespace {

namespace vc = vorn::core::v2;
constexpr std::size_t small = 64 * 1024, large = 1024 * 1024;

std::string repeat(const std::string& unit, std::size_t size) {
    std::string text;
    text.reserve(size + unit.size());
    while (text.size() < size) {
        text += unit;
    }
    text.resize(size);
    return text;
}

std::string bytes_of(std::size_t size) {
    std::string b(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        b[i] = static_cast<char>(i * 131 + 7);
    }
    return b;
}

// "{0}{1}{2}..." up to `size` bytes, every placeholder numbered differently.
std::string numbered_placeholders(std::size_t size, std::size_t* count) {
    std::string text;
    std::size_t n = 0;
    while (text.size() < size) {
        text += "{" + std::to_string(n++) + "}";
    }
    *count = n;
    return text;
}

const unsigned char* u(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

void decode_one_shot(benchmark::State& state, vc::binary_encoding e) {
    const auto size = static_cast<std::size_t>(state.range(0));
    const std::string text = vc::binary_encoder::encode(e, u(bytes_of(size / 4 * 3)), size / 4 * 3);
    bench::allocation_scope a(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(vc::binary_decoder::decode(e, text));
    }
}

void decode_bytewise(benchmark::State& state, vc::binary_encoding e) {
    const auto size = static_cast<std::size_t>(state.range(0));
    const std::string text = vc::binary_encoder::encode(e, u(bytes_of(size / 4 * 3)), size / 4 * 3);
    bench::allocation_scope a(state);
    for (auto _ : state) {
        vc::binary_decoder d(e);
        for (std::size_t i = 0; i < text.size(); ++i) {
            d.add_string(text.data() + i, 1);
        }
        benchmark::DoNotOptimize(d.finish());
    }
}

void encode_one_shot(benchmark::State& state, vc::binary_encoding e) {
    const std::string data = bytes_of(static_cast<std::size_t>(state.range(0)));
    bench::allocation_scope a(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(vc::binary_encoder::encode(e, u(data), data.size()));
    }
}

void encode_bytewise(benchmark::State& state, vc::binary_encoding e) {
    const std::string data = bytes_of(static_cast<std::size_t>(state.range(0)));
    bench::allocation_scope a(state);
    for (auto _ : state) {
        vc::binary_encoder enc(e);
        for (std::size_t i = 0; i < data.size(); ++i) {
            enc.add_data(u(data) + i, 1);
        }
        benchmark::DoNotOptimize(enc.finish());
    }
}

// Readers on texts of the given size: prefix, a run of `fill`, then suffix. The date-time
// readers take a fraction of any length, so a valid timestamp whose fraction fills the text is
// read to its end. The date reader takes exactly 10 characters and the time reader at most a
// 32-digit fraction: both refuse a longer text by its length alone, in constant time, which
// their rows show (a ratio near 1).
template <class T, bool rfc3339 = false>
void read(benchmark::State& state, const std::string& prefix, char fill, const char* suffix) {
    const std::string text =
        prefix + std::string(static_cast<std::size_t>(state.range(0)), fill) + suffix;
    bench::allocation_scope a(state);
    for (auto _ : state) {
        T out;
        if constexpr (rfc3339) {
            benchmark::DoNotOptimize(
                vc::value_converter<T>().make_value_rfc3339(out, text.data(), text.size()));
        } else {
            benchmark::DoNotOptimize(
                vc::value_converter<T>().make_value(out, text.data(), text.size()));
        }
        benchmark::DoNotOptimize(out);
    }
}

void read_date(benchmark::State& state, const char* prefix, char fill, const char* suffix) {
    read<vc::date>(state, prefix, fill, suffix);
}
void read_time(benchmark::State& state, const char* prefix, char fill, const char* suffix) {
    read<vc::time>(state, prefix, fill, suffix);
}
void read_datetime(benchmark::State& state, const char* prefix, char fill, const char* suffix) {
    read<vc::datetime>(state, prefix, fill, suffix);
}
void read_rfc3339(benchmark::State& state, const char* prefix, char fill, const char* suffix) {
    read<vc::datetime, true>(state, prefix, fill, suffix);
}

void parse(benchmark::State& state, const char* unit) {
    const std::string text = repeat(unit, static_cast<std::size_t>(state.range(0)));
    bench::allocation_scope a(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(vc::text_formatter::parser(text));
    }
}

void make_string(benchmark::State& state) {
    const std::string text = repeat("a{0}b{1: x}", static_cast<std::size_t>(state.range(0)));
    vc::text_formatter f = vc::text_formatter::parser(text);
    f.bind(0, "zz");
    bench::allocation_scope a(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.make_string());
    }
}

void bind_every(benchmark::State& state, bool by_text) {
    std::size_t count = 0;
    const std::string text =
        numbered_placeholders(static_cast<std::size_t>(state.range(0)), &count);
    std::vector<std::string> names;
    for (std::size_t n = 0; n < count; ++n) {
        names.push_back("{" + std::to_string(n) + "}");
    }
    bench::allocation_scope a(state);
    for (auto _ : state) {
        vc::text_formatter f = vc::text_formatter::parser(text);
        for (std::size_t n = 0; n < count; ++n) {
            if (by_text) {
                f.replace_arg_escape_impl(names[n], "v");
            } else {
                f.bind(n, "v");
            }
        }
        benchmark::DoNotOptimize(f.make_string());
    }
}

void decimal_to_string(benchmark::State& state) {
    const vc::decimal d(-9223372036854775807LL, -7);
    const auto precision = static_cast<unsigned int>(state.range(0));
    bench::allocation_scope a(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(d.to_string(precision, ','));
    }
}

void both(benchmark::internal::Benchmark* b) {
    b->Arg(small)->Arg(large)->Unit(benchmark::kMicrosecond);
}

using enc = vc::binary_encoding;
BENCHMARK_CAPTURE(decode_one_shot, base64, enc::base64)->Apply(both);
BENCHMARK_CAPTURE(decode_one_shot, hex, enc::hex)->Apply(both);
BENCHMARK_CAPTURE(decode_bytewise, base64, enc::base64)->Apply(both);
BENCHMARK_CAPTURE(decode_bytewise, hex, enc::hex)->Apply(both);
BENCHMARK_CAPTURE(encode_one_shot, base64, enc::base64)->Apply(both);
BENCHMARK_CAPTURE(encode_one_shot, hex, enc::hex)->Apply(both);
BENCHMARK_CAPTURE(encode_bytewise, base64, enc::base64)->Apply(both);
BENCHMARK_CAPTURE(encode_bytewise, hex, enc::hex)->Apply(both);
BENCHMARK_CAPTURE(read_date, date_digits, "2024-03-1", '0', "")->Apply(both);
BENCHMARK_CAPTURE(read_time, time_fraction, "12:34:56.", '9', "")->Apply(both);
BENCHMARK_CAPTURE(read_datetime, datetime_fraction, " 2024-03-10T12:34:56.", '9', "-03:00 ")
    ->Apply(both);
BENCHMARK_CAPTURE(read_rfc3339, rfc3339_fraction, "2024-03-10T12:34:56.", '9', "Z")->Apply(both);
BENCHMARK_CAPTURE(parse, unfinished_placeholders, "{0: ")->Apply(both);
BENCHMARK_CAPTURE(parse, placeholders, "{0}")->Apply(both);
BENCHMARK_CAPTURE(parse, closing_braces, "{0: a}}")->Apply(both);
BENCHMARK(make_string)->Apply(both);
BENCHMARK_CAPTURE(bind_every, bind, false)->Apply(both);
BENCHMARK_CAPTURE(bind_every, replace_arg_escape_impl, true)->Apply(both);
BENCHMARK(decimal_to_string)->Apply(both);

// Collects each run's time per iteration (the median when repeated) for the ratio table.
class ratio_reporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") {
                continue;
            }
            const unsigned long size = std::strtoul(r.run_name.args.c_str(), nullptr, 10);
            times_[r.run_name.function_name][size] =
                r.GetAdjustedRealTime() * (r.time_unit == benchmark::kMillisecond ? 1000 : 1);
        }
    }
    void print() const {
        std::printf("\n%-48s %14s %14s %8s\n", "entry point (small -> 16x larger)", "small us",
                    "large us", "ratio");
        for (const auto& [entry, by_size] : times_) {
            if (by_size.size() != 2) {
                continue;
            }
            const double lo = by_size.begin()->second, hi = by_size.rbegin()->second;
            std::printf("%-48s %14.1f %14.1f %8.1f\n", entry.c_str(), lo, hi, hi / lo);
        }
    }

  private:
    std::map<std::string, std::map<unsigned long, double>> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    ratio_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.print();
    benchmark::Shutdown();
    return 0;
}
