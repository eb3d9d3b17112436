// SPDX-License-Identifier: MIT
// Calendar text forms: the date-time reader against compiling and matching the timestamp
// pattern with std::regex on each call (and, for reference, with the pattern compiled once)
// and against abseil's RFC 3339 parser; the writers against snprintf and abseil's formatter;
// the clock readers against the standard clock. The strict RFC 3339 reader against the designed
// one, abseil's RFC 3339 parser and the date library's date::parse.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <regex>
#include <sstream>
#include <string>

#include "support/allocation_counter.hpp"
#include "vorn/core/converters.hpp"

#ifdef VORN_BENCH_HAVE_HH_DATE
#include <date/date.h>
#endif

#ifdef VORN_BENCH_HAVE_ABSL
#include <absl/time/time.h>
#endif

namespace vc = vorn::core::v2;

namespace {

const std::string timestamp = "2024-03-10T12:34:56.789-03:00";
const char* const pattern =
    R"(^ *(\d{4}-\d{2}-\d{2})T(\d{2}:\d{2}:\d{2}(?:\.\d+)?)(Z|(?:\+|-)\d{2}:\d{2}) *$)";

// The whole recipe of reading with a regular expression: match, then convert the date and time
// groups and the offset.
vc::converter_status read_with(const std::regex& expression, vc::datetime& out,
                               const std::string& text) {
    std::smatch groups;
    if (!std::regex_match(text, groups, expression)) {
        return vc::converter_status::invalid_format;
    }
    vc::date d;
    vc::time t;
    const std::string date_text = groups[1].str();
    const std::string time_text = groups[2].str();
    const std::string offset_text = groups[3].str();
    vc::value_converter<vc::date>().make_value(d, date_text.data(), date_text.size());
    vc::value_converter<vc::time>().make_value(t, time_text.data(), time_text.size());
    int offset = 0;
    if (offset_text != "Z") {
        offset = ((offset_text[1] - '0') * 10 + (offset_text[2] - '0')) * 3600 +
                 ((offset_text[4] - '0') * 10 + (offset_text[5] - '0')) * 60;
        offset = offset_text[0] == '-' ? -offset : offset;
    }
    out = vc::datetime(d, t, offset);
    return vc::converter_status::success;
}

}  // namespace

static void BM_datetime_reader(benchmark::State& state) {
    bench::allocation_scope allocations(state);
    vc::datetime out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(vc::value_converter<vc::datetime>().make_value(
            out, timestamp.data(), timestamp.size()));
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_datetime_reader);

static void BM_datetime_reader_refusing(benchmark::State& state) {
    const std::string bad = "2024-03-10T12:34:56.789-03-00";
    vc::datetime out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            vc::value_converter<vc::datetime>().make_value(out, bad.data(), bad.size()));
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_datetime_reader_refusing);

static void BM_peer_regex_compiled_per_call(benchmark::State& state) {
    vc::datetime out;
    for (auto _ : state) {
        const std::regex expression(pattern);
        benchmark::DoNotOptimize(read_with(expression, out, timestamp));
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_peer_regex_compiled_per_call);

static void BM_peer_regex_compiled_once(benchmark::State& state) {
    const std::regex expression(pattern);
    vc::datetime out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(read_with(expression, out, timestamp));
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_peer_regex_compiled_once);

static void BM_datetime_reader_rfc3339(benchmark::State& state) {
    bench::allocation_scope allocations(state);
    vc::datetime out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(vc::value_converter<vc::datetime>().make_value_rfc3339(
            out, timestamp.data(), timestamp.size()));
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_datetime_reader_rfc3339);

static void BM_datetime_reader_rfc3339_refusing(benchmark::State& state) {
    bench::allocation_scope allocations(state);
    const std::string bad = "2024-13-40T99:99:99Z";
    vc::datetime out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            vc::value_converter<vc::datetime>().make_value_rfc3339(out, bad.data(), bad.size()));
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_datetime_reader_rfc3339_refusing);

static void BM_datetime_writer_rfc3339(benchmark::State& state) {
    bench::allocation_scope allocations(state);
    const vc::datetime value(vc::date(10, 3, 2024), vc::time(12, 34, 56, 789), -10800);
    char buffer[32];
    for (auto _ : state) {
        std::size_t length = sizeof buffer;
        benchmark::DoNotOptimize(
            vc::chars_converter<vc::datetime>().make_chars_rfc3339(buffer, length, value));
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(BM_datetime_writer_rfc3339);

#ifdef VORN_BENCH_HAVE_HH_DATE
// What a user of the date library writes: a string stream and date::parse with %FT%T%Ez.
static void BM_peer_hh_date_parse(benchmark::State& state) {
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        std::istringstream in(timestamp);
        date::sys_time<std::chrono::milliseconds> out;
        in >> date::parse("%FT%T%Ez", out);
        benchmark::DoNotOptimize(in.fail());
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_peer_hh_date_parse);
#endif

#ifdef VORN_BENCH_HAVE_ABSL
static void BM_peer_absl_parse_rfc3339(benchmark::State& state) {
    bench::allocation_scope allocations(state);
    absl::Time out;
    std::string error;
    for (auto _ : state) {
        benchmark::DoNotOptimize(absl::ParseTime(absl::RFC3339_full, timestamp, &out, &error));
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_peer_absl_parse_rfc3339);
#endif

template <class T>
static void BM_writer(benchmark::State& state, T value) {
    char buffer[32];
    for (auto _ : state) {
        std::size_t length = sizeof buffer;
        benchmark::DoNotOptimize(vc::chars_converter<T>().make_chars(buffer, length, value));
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK_CAPTURE(BM_writer, date, vc::date(10, 3, 2024));
BENCHMARK_CAPTURE(BM_writer, time, vc::time(12, 34, 56, 789));
BENCHMARK_CAPTURE(BM_writer, datetime,
                  vc::datetime(vc::date(10, 3, 2024), vc::time(12, 34, 56, 789), -10800));

// The same text from broken-down fields with snprintf, the way a caller without a date library
// writes it (the calendar split done by gmtime_r).
static void BM_peer_snprintf_datetime(benchmark::State& state) {
    const std::time_t seconds = 1710084896;  // 2024-03-10T12:34:56 at -03:00, as UTC + offset
    const int offset = -10800;
    char buffer[32];
    for (auto _ : state) {
        const std::time_t local = seconds + offset;
        std::tm fields{};
        gmtime_r(&local, &fields);
        const int magnitude = offset < 0 ? -offset : offset;
        benchmark::DoNotOptimize(std::snprintf(
            buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d",
            fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min,
            fields.tm_sec, offset < 0 ? '-' : '+', magnitude / 3600, magnitude / 60 % 60));
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(BM_peer_snprintf_datetime);

#ifdef VORN_BENCH_HAVE_ABSL
static void BM_peer_absl_format_rfc3339(benchmark::State& state) {
    const absl::Time value = absl::FromUnixSeconds(1710084896);
    const absl::TimeZone zone = absl::FixedTimeZone(-10800);
    for (auto _ : state) {
        benchmark::DoNotOptimize(absl::FormatTime(absl::RFC3339_sec, value, zone));
    }
}
BENCHMARK(BM_peer_absl_format_rfc3339);
#endif

static void BM_now(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(vc::datetime::now());
    }
}
BENCHMARK(BM_now);

static void BM_utc_now(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(vc::datetime::utc_now());
    }
}
BENCHMARK(BM_utc_now);

static void BM_peer_system_clock_now(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::chrono::system_clock::now());
    }
}
BENCHMARK(BM_peer_system_clock_now);

// The local clock with its offset through the C library: the clock, then localtime_r.
static void BM_peer_localtime_r(benchmark::State& state) {
    for (auto _ : state) {
        const std::time_t seconds = std::time(nullptr);
        std::tm fields{};
        benchmark::DoNotOptimize(localtime_r(&seconds, &fields));
        benchmark::DoNotOptimize(fields);
    }
}
BENCHMARK(BM_peer_localtime_r);
