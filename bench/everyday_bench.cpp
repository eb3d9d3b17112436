// SPDX-License-Identifier: MIT
// The everyday job: an audit-log tool over many short records, written once with this library
// and once with what a C++ developer would pick otherwise, measured in the same run.
//
// Each record is "timestamp;user;amount". For every record the job
//   - reads the ISO-8601 timestamp (with its offset) and writes it back in UTC;
//   - reads the amount (exactly two decimals: value_converter<decimal> into one reused decimal
//     here, a hand-written parser into int64 cents in the peer) and adds it to a running total,
//     rendering the amount and the total as text;
//   - fills the message "{0} #{1}: {2} em {3}" (user, line number, amount, UTC time), parsing
//     the template per record as a template read from configuration is;
//   - Base64-encodes the record fed in 5-byte pieces and decodes the text fed in 7-character
//     pieces, checking that the bytes come back;
//   - reports a record with a bad timestamp or a bad amount as an error (status stack here,
//     a vector of error records in the peer) and lists the errors at the end.
//
// Ours: value_converter / to_offset(0) / chars_converter<datetime>, decimal with to_string(2,
// '.') (the amount through the typed bind), text_formatter::parser + typed bind + make_string,
// binary_encoder / binary_decoder, result::stack::push with error_datetime and
// integral_conversion_error plus a "line" argument.
// Peer: std::chrono with Howard Hinnant's date for the civil calendar and a hand-written
// ISO-8601 scanner, int64 cents with std::to_chars, fmt::format with fmt::runtime (the template
// is a runtime string on both sides), OpenSSL EVP_Encode/Decode Init/Update/Final fed in the same
// pieces (one context per record, as ours has one encoder per record), std::vector of error
// records.
//
// Before timing, both programs run once collecting every output line; the lines, the totals
// and the error lists are compared and the program aborts on the first difference. Every timed
// job checks its hash of the output against that verified reference.
//
// Printed at the end: a table of both CPU times (medians when repeated), the ratio peer / ours
// (above 1 means ours is faster) and heap allocations per record or per operation.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <new>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/allocation_counter.hpp"
#include "vorn/core/binary_encoding.hpp"
#include "vorn/core/converters.hpp"
#include "vorn/core/decimal.hpp"
#include "vorn/core/result.hpp"
#include "vorn/core/text_formatter.hpp"

#if defined(VORN_BENCH_HAVE_FMT) && defined(VORN_BENCH_HAVE_OPENSSL) && \
    defined(VORN_BENCH_HAVE_HH_DATE)
#define VORN_BENCH_HAVE_PEER 1
#include <date/date.h>
#include <fmt/format.h>
#include <openssl/evp.h>
#endif

namespace vc = vorn::core::v2;

namespace {

constexpr std::size_t record_count = 50000;
constexpr std::size_t encode_piece = 5;  // bytes per add_data
constexpr std::size_t decode_piece = 7;  // characters per add_string
const char* const message_template = "{0} #{1}: {2} em {3}";
const char* const bad_timestamp_message = "O formato informado está fora do esperado";
const char* const bad_amount_message = "The string value is not a number";

// ---------------------------------------------------------------------------------------------
// The records: deterministic, about 3 % bad timestamps and 2 % bad amounts.

std::vector<std::string> make_records(std::size_t n) {
    static const char* const users[] = {"ana.silva",   "bruno",    "carla.m", "diego",
                                        "eduarda",     "felipe.r", "gabi",    "heitor",
                                        "isabela.cor", "joao",     "karina",  "lucas.p"};
    static const char* const offsets[] = {"Z",      "+00:00", "-03:00", "+05:30",
                                          "-08:00", "+09:00", "+01:00", "-04:30"};
    static const char* const bad_timestamps[] = {
        "2024-03-10t12:34:56Z", "2024-03-10 12:34:56-03:00", "2024-03-10T12:34:56-0300",
        "2024-03-10T12:34Z",    "2024-0a-10T12:34:56Z",      "2024-03-10T12:34:56",
        "10/03/2024 12:34:56",  "2024-03-10T12:34:56.Z"};
    static const char* const bad_amounts[] = {"12.3", "12.345", "abc", "", "1.2x", "-", "7,50"};
    std::mt19937_64 rng(20240310);
    std::vector<std::string> records;
    records.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        std::string r;
        const unsigned roll = static_cast<unsigned>(rng() % 100);
        if (roll < 3) {
            r = bad_timestamps[rng() % std::size(bad_timestamps)];
        } else {
            // Seconds from 2020-01-01 to about 2026-05, wall clock at the chosen offset.
            const long long seconds = 1577836800LL + static_cast<long long>(rng() % 200000000ULL);
            const std::time_t t = static_cast<std::time_t>(seconds);
            std::tm f{};
            gmtime_r(&t, &f);
            char buffer[64];
            int len = std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d",
                                    f.tm_year + 1900, f.tm_mon + 1, f.tm_mday, f.tm_hour, f.tm_min,
                                    f.tm_sec);
            if (rng() % 5 != 0) {
                len += std::snprintf(buffer + len, sizeof buffer - static_cast<std::size_t>(len),
                                     ".%03u", static_cast<unsigned>(rng() % 1000));
            }
            r.assign(buffer, static_cast<std::size_t>(len));
            r += offsets[rng() % std::size(offsets)];
        }
        r += ';';
        r += users[rng() % std::size(users)];
        r += ';';
        if (roll >= 3 && roll < 5) {
            r += bad_amounts[rng() % std::size(bad_amounts)];
        } else {
            const long long cents = static_cast<long long>(rng() % 550000ULL) - 50000;
            char buffer[32];
            const long long magnitude = cents < 0 ? -cents : cents;
            const int len = std::snprintf(buffer, sizeof buffer, "%s%lld.%02lld",
                                          cents < 0 ? "-" : "", magnitude / 100, magnitude % 100);
            r.append(buffer, static_cast<std::size_t>(len));
        }
        records.push_back(std::move(r));
    }
    return records;
}

const std::vector<std::string>& records() {
    static const std::vector<std::string> all = make_records(record_count);
    return all;
}

// ---------------------------------------------------------------------------------------------
// Application code shared by both programs: splitting a record, reading an amount, hashing the
// output.

struct fields {
    std::string_view timestamp, user, amount;
};

fields split(std::string_view record) {
    const std::size_t a = record.find(';');
    const std::size_t b = record.find(';', a + 1);
    return {record.substr(0, a), record.substr(a + 1, b - a - 1), record.substr(b + 1)};
}

// [-]digits.dd into cents; false for anything else.
bool parse_amount(std::string_view text, long long& cents) {
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    i += negative ? 1 : 0;
    long long value = 0;
    std::size_t digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 15; ++i, ++digits) {
        value = value * 10 + (text[i] - '0');
    }
    if (digits == 0 || i + 3 != text.size() || text[i] != '.' || text[i + 1] < '0' ||
        text[i + 1] > '9' || text[i + 2] < '0' || text[i + 2] > '9') {
        return false;
    }
    value = value * 100 + (text[i + 1] - '0') * 10 + (text[i + 2] - '0');
    cents = negative ? -value : value;
    return true;
}

// Where the output goes: while timing, a buffered writer as an application has, whose full
// buffer is folded into a hash instead of written to a file; the lines themselves when the two
// programs are compared. Identical output fills identical buffers, so the hashes agree exactly
// when the outputs do.
struct hash_sink {
    std::uint64_t hash = 14695981039346656037ULL;
    std::size_t used = 0;
    char buffer[64 * 1024];

    void add(std::string_view s) noexcept {
        if (s.size() > sizeof buffer - used) {
            flush();
            if (s.size() > sizeof buffer) {
                fold(s);
                return;
            }
        }
        std::memcpy(buffer + used, s.data(), s.size());
        used += s.size();
    }
    void end_line() noexcept { add("\n"); }
    // The hash of everything added.
    std::uint64_t finish() noexcept {
        flush();
        return hash;
    }

  private:
    void flush() noexcept {
        fold(std::string_view(buffer, used));
        used = 0;
    }
    void fold(std::string_view s) noexcept {
        hash = (hash ^ std::hash<std::string_view>{}(s)) * 1099511628211ULL;
    }
};

struct line_sink {
    std::vector<std::string> lines{std::string()};
    void add(std::string_view s) { lines.back() += s; }
    void end_line() { lines.emplace_back(); }
};

struct job_summary {
    std::uint64_t hash = 0;
    std::size_t good = 0;
    std::size_t bad = 0;
    long long total_cents = 0;
    bool operator==(const job_summary& o) const {
        return hash == o.hash && good == o.good && bad == o.bad && total_cents == o.total_cents;
    }
};

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "everyday_bench: MISMATCH: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

// ---------------------------------------------------------------------------------------------
// Ours.

namespace ours {

// Reads the timestamp and writes the same instant in UTC; false when the text is refused.
bool utc_text(std::string_view timestamp, char (&out)[32], std::size_t& length) {
    vc::datetime when;
    if (vc::value_converter<vc::datetime>().make_value(when, timestamp.data(), timestamp.size()) !=
        vc::converter_status::success) {
        return false;
    }
    length = sizeof out;
    return vc::chars_converter<vc::datetime>().make_chars(out, length, when.to_offset(0)) ==
           vc::converter_status::success;
}

std::string base64_round_trip(std::string_view record) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(record.data());
    vc::binary_encoder encoder(vc::binary_encoding::base64);
    for (std::size_t i = 0; i < record.size(); i += encode_piece) {
        encoder.add_data(bytes + i, std::min(encode_piece, record.size() - i));
    }
    std::string text = encoder.finish();
    vc::binary_decoder decoder(vc::binary_encoding::base64);
    for (std::size_t i = 0; i < text.size(); i += decode_piece) {
        decoder.add_string(text.data() + i, std::min(decode_piece, text.size() - i));
    }
    const vc::byte_array back = decoder.finish();
    if (back.size() != record.size() || std::memcmp(back.data(), bytes, back.size()) != 0) {
        fail("ours: Base64 round trip lost bytes");
    }
    return text;
}

void push_error(vc::result::stack& status, bool bad_timestamp, std::string_view received,
                std::size_t line) {
    vc::result::stack::item& item =
        bad_timestamp
            ? status.push(vc::result::code<vc::error_datetime, 1>(), std::string(received))
            : status.push(vc::integral_conversion_error::invalid_value, std::string(received));
    item.set_argument("line", std::to_string(line));
}

template <class Sink>
job_summary run(const std::vector<std::string>& input, Sink& sink) {
    vc::result::stack status;
    vc::decimal total(0, -2);
    vc::decimal amount;
    const vc::value_converter<vc::decimal> amount_reader;
    job_summary summary;
    std::size_t line = 0;
    for (const std::string& record : input) {
        ++line;
        const fields f = split(record);
        char utc[32];
        std::size_t utc_length = 0;
        if (!utc_text(f.timestamp, utc, utc_length)) {
            push_error(status, true, f.timestamp, line);
            continue;
        }
        // The library's own reader, into the one decimal kept for the job; the application
        // takes amounts with exactly two decimals.
        if (amount_reader.make_value(amount, f.amount.data(), f.amount.size()) !=
                vc::converter_status::success ||
            amount.get_factor() != -2) {
            push_error(status, false, f.amount, line);
            continue;
        }
        total += amount;

        vc::text_formatter message = vc::text_formatter::parser(message_template);
        message.bind(0, f.user).bind(1, line).bind(2, amount).bind(
            3, std::string_view(utc, utc_length));
        sink.add(message.make_string());
        sink.add("\t");
        sink.add(total.to_string(2, '.'));
        sink.add("\t");
        sink.add(base64_round_trip(record));
        sink.end_line();
        ++summary.good;
    }
    // The error list, oldest first as the peer keeps it: the stack is newest first.
    std::vector<const vc::result::stack::item*> items;
    for (const vc::result::stack::item& item : status) {
        items.push_back(&item);
    }
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        const vc::result::stack::item& item = **it;
        const bool bad_timestamp = item.get_category() == vc::error_datetime::instance();
        sink.add("line ");
        sink.add(item.get_argument_value("line"));
        sink.add(": ");
        sink.add(item.get_message());
        sink.add(": ");
        sink.add(item.get_argument_value(bad_timestamp ? "received-value" : "string_value"));
        sink.end_line();
        ++summary.bad;
    }
    summary.total_cents = total.get_number();
    return summary;
}

}  // namespace ours

// ---------------------------------------------------------------------------------------------
// The peer.

#if defined(VORN_BENCH_HAVE_PEER)
namespace peer {

using msecs = date::sys_time<std::chrono::milliseconds>;

bool digits(std::string_view s, std::size_t at, std::size_t n, int& value) {
    value = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (i >= s.size() || s[i] < '0' || s[i] > '9') {
            return false;
        }
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

// YYYY-MM-DDTHH:MM:SS(.d+)?(Z|[+-]HH:MM), spaces around it allowed, as the library reads.
bool parse_timestamp(std::string_view s, msecs& out) {
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && s.back() == ' ') {
        s.remove_suffix(1);
    }
    int y, mo, d, h, mi, se;
    if (s.size() < 20 || !digits(s, 0, 4, y) || s[4] != '-' || !digits(s, 5, 2, mo) ||
        s[7] != '-' || !digits(s, 8, 2, d) || s[10] != 'T' || !digits(s, 11, 2, h) ||
        s[13] != ':' || !digits(s, 14, 2, mi) || s[16] != ':' || !digits(s, 17, 2, se)) {
        return false;
    }
    std::size_t i = 19;
    int ms = 0;
    if (s[i] == '.') {
        const std::size_t first = ++i;
        int scale = 100;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            ms += (s[i] - '0') * scale;
            scale /= 10;
            ++i;
        }
        if (i == first || i - first > 32) {
            return false;
        }
    }
    int offset = 0;
    if (i + 1 == s.size() && s[i] == 'Z') {
        offset = 0;
    } else if (i + 6 == s.size() && (s[i] == '+' || s[i] == '-') && s[i + 3] == ':') {
        int oh, om;
        if (!digits(s, i + 1, 2, oh) || !digits(s, i + 4, 2, om)) {
            return false;
        }
        offset = (oh * 60 + om) * 60 * (s[i] == '-' ? -1 : 1);
    } else {
        return false;
    }
    using namespace std::chrono;
    const date::sys_days day = date::year(y) / date::month(static_cast<unsigned>(mo)) /
                               date::day(static_cast<unsigned>(d));
    out = day + hours(h) + minutes(mi) + seconds(se) + milliseconds(ms) - seconds(offset);
    return true;
}

void two(char* p, unsigned v) {
    p[0] = static_cast<char>('0' + v / 10);
    p[1] = static_cast<char>('0' + v % 10);
}

// YYYY-MM-DDTHH:MM:SSZ of the instant, milliseconds dropped.
std::size_t write_utc(msecs when, char (&out)[32]) {
    using namespace std::chrono;
    const date::sys_seconds s = floor<seconds>(when);
    const date::sys_days day = floor<date::days>(s);
    const date::year_month_day ymd(day);
    const date::hh_mm_ss<seconds> hms(s - day);
    const int y = static_cast<int>(ymd.year());
    two(out, static_cast<unsigned>(y / 100));
    two(out + 2, static_cast<unsigned>(y % 100));
    out[4] = '-';
    two(out + 5, static_cast<unsigned>(ymd.month()));
    out[7] = '-';
    two(out + 8, static_cast<unsigned>(ymd.day()));
    out[10] = 'T';
    two(out + 11, static_cast<unsigned>(hms.hours().count()));
    out[13] = ':';
    two(out + 14, static_cast<unsigned>(hms.minutes().count()));
    out[16] = ':';
    two(out + 17, static_cast<unsigned>(hms.seconds().count()));
    out[19] = 'Z';
    return 20;
}

bool utc_text(std::string_view timestamp, char (&out)[32], std::size_t& length) {
    msecs when;
    if (!parse_timestamp(timestamp, when)) {
        return false;
    }
    length = write_utc(when, out);
    return true;
}

// Fixed point with two decimals, "-0.50" style.
std::string cents_text(long long cents) {
    char buffer[32];
    char* p = buffer;
    unsigned long long magnitude = cents < 0 ? 0ULL - static_cast<unsigned long long>(cents)
                                             : static_cast<unsigned long long>(cents);
    if (cents < 0) {
        *p++ = '-';
    }
    p = std::to_chars(p, buffer + sizeof buffer, magnitude / 100).ptr;
    *p++ = '.';
    two(p, static_cast<unsigned>(magnitude % 100));
    return std::string(buffer, static_cast<std::size_t>(p + 2 - buffer));
}

std::string base64_round_trip(std::string_view record) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(record.data());
    EVP_ENCODE_CTX* ctx = EVP_ENCODE_CTX_new();
    if (ctx == nullptr) {
        throw std::bad_alloc();
    }
    // EVP_EncodeUpdate writes at most 65 characters per full 48-byte block plus what a piece
    // completes; the final block and its newline follow.
    std::string text(4 * ((record.size() + 2) / 3) + record.size() / 48 + 66, '\0');
    auto* out = reinterpret_cast<unsigned char*>(text.data());
    int total = 0;
    EVP_EncodeInit(ctx);
    for (std::size_t i = 0; i < record.size(); i += encode_piece) {
        int written = 0;
        EVP_EncodeUpdate(ctx, out + total, &written, bytes + i,
                         static_cast<int>(std::min(encode_piece, record.size() - i)));
        total += written;
    }
    int written = 0;
    EVP_EncodeFinal(ctx, out + total, &written);
    total += written;
    // The EVP encoder breaks lines every 64 characters; the text wanted has none.
    text.resize(static_cast<std::size_t>(std::remove(text.begin(), text.begin() + total, '\n') -
                                         text.begin()));

    std::vector<unsigned char> back(3 * (text.size() / 4) + 3);
    int decoded = 0;
    EVP_DecodeInit(ctx);
    for (std::size_t i = 0; i < text.size(); i += decode_piece) {
        int n = 0;
        if (EVP_DecodeUpdate(ctx, back.data() + decoded, &n,
                             reinterpret_cast<const unsigned char*>(text.data() + i),
                             static_cast<int>(std::min(decode_piece, text.size() - i))) < 0) {
            fail("peer: EVP_DecodeUpdate refused its own text");
        }
        decoded += n;
    }
    int n = 0;
    if (EVP_DecodeFinal(ctx, back.data() + decoded, &n) < 0) {
        fail("peer: EVP_DecodeFinal refused its own text");
    }
    decoded += n;
    EVP_ENCODE_CTX_free(ctx);
    back.resize(static_cast<std::size_t>(decoded));
    if (back.size() != record.size() || std::memcmp(back.data(), bytes, back.size()) != 0) {
        fail("peer: Base64 round trip lost bytes");
    }
    return text;
}

struct error_record {
    std::size_t line;
    bool bad_timestamp;
    std::string received;
};

template <class Sink>
job_summary run(const std::vector<std::string>& input, Sink& sink) {
    std::vector<error_record> errors;
    long long total = 0;
    job_summary summary;
    const std::string format = message_template;  // as if read from configuration
    std::size_t line = 0;
    for (const std::string& record : input) {
        ++line;
        const fields f = split(record);
        char utc[32];
        std::size_t utc_length = 0;
        if (!utc_text(f.timestamp, utc, utc_length)) {
            errors.push_back({line, true, std::string(f.timestamp)});
            continue;
        }
        long long cents = 0;
        if (!parse_amount(f.amount, cents)) {
            errors.push_back({line, false, std::string(f.amount)});
            continue;
        }
        total += cents;
        sink.add(fmt::format(fmt::runtime(format), f.user, line, cents_text(cents),
                             std::string_view(utc, utc_length)));
        sink.add("\t");
        sink.add(cents_text(total));
        sink.add("\t");
        sink.add(base64_round_trip(record));
        sink.end_line();
        ++summary.good;
    }
    for (const error_record& e : errors) {
        char digits_text[24];
        const char* end = std::to_chars(digits_text, digits_text + sizeof digits_text, e.line).ptr;
        sink.add("line ");
        sink.add(std::string_view(digits_text, static_cast<std::size_t>(end - digits_text)));
        sink.add(": ");
        sink.add(e.bad_timestamp ? bad_timestamp_message : bad_amount_message);
        sink.add(": ");
        sink.add(e.received);
        sink.end_line();
        ++summary.bad;
    }
    summary.total_cents = total;
    return summary;
}

}  // namespace peer
#endif

// ---------------------------------------------------------------------------------------------
// The whole job.

job_summary& reference() {
    static job_summary verified;
    return verified;
}

template <job_summary (*Run)(const std::vector<std::string>&, hash_sink&)>
void whole_job(benchmark::State& state) {
    const std::vector<std::string>& input = records();
    const std::size_t allocations_before = bench::allocation_count();
    for (auto _ : state) {
        hash_sink sink;
        job_summary s = Run(input, sink);
        s.hash = sink.finish();
        if (!(s == reference())) {
            fail("a timed job's output differs from the verified reference");
        }
        benchmark::DoNotOptimize(s);
    }
    const double jobs = static_cast<double>(state.iterations());
    state.counters["allocs/record"] =
        static_cast<double>(bench::allocation_count() - allocations_before) / (jobs * record_count);
}

void job_ours(benchmark::State& state) {
    whole_job<&ours::run<hash_sink>>(state);
}
BENCHMARK(job_ours)->Unit(benchmark::kMillisecond);

#if defined(VORN_BENCH_HAVE_PEER)
void job_peer(benchmark::State& state) {
    whole_job<&peer::run<hash_sink>>(state);
}
BENCHMARK(job_peer)->Unit(benchmark::kMillisecond);
#endif

// ---------------------------------------------------------------------------------------------
// The families one at a time, one record per operation, cycling through the same records.

struct record_cursor {
    const std::vector<std::string>& all = records();
    std::size_t at = 0;
    const std::string& next() {
        const std::string& r = all[at];
        at = at + 1 == all.size() ? 0 : at + 1;
        return r;
    }
};

template <class Utc>
void family_timestamp(benchmark::State& state, Utc utc) {
    record_cursor cursor;
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        char out[32];
        std::size_t length = 0;
        benchmark::DoNotOptimize(utc(split(cursor.next()).timestamp, out, length));
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK_CAPTURE(family_timestamp, ours, &ours::utc_text);

// The valid amount texts of the records, in order.
std::vector<std::string_view> amount_texts() {
    std::vector<std::string_view> texts;
    for (const std::string& record : records()) {
        long long cents = 0;
        const std::string_view text = split(record).amount;
        if (parse_amount(text, cents)) {
            texts.push_back(text);
        }
    }
    return texts;
}

// An amount read from its text, added to the total, both rendered.
void family_decimal_ours(benchmark::State& state) {
    const std::vector<std::string_view> texts = amount_texts();
    const vc::value_converter<vc::decimal> reader;
    vc::decimal amount;
    vc::decimal total(0, -2);
    std::size_t at = 0;
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        const std::string_view text = texts[at];
        at = at + 1 == texts.size() ? 0 : at + 1;
        if (reader.make_value(amount, text.data(), text.size()) != vc::converter_status::success) {
            fail("ours: an amount the peer reads was refused");
        }
        total += amount;
        std::string a = amount.to_string(2, '.');
        std::string t = total.to_string(2, '.');
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(t);
    }
}
BENCHMARK(family_decimal_ours);

// The message with texts already rendered (the amount as text), one record per operation.
void family_formatter_ours(benchmark::State& state) {
    record_cursor cursor;
    std::size_t line = 0;
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        const fields f = split(cursor.next());
        vc::text_formatter message = vc::text_formatter::parser(message_template);
        message.bind(0, f.user).bind(1, ++line).bind(2, f.amount).bind(3, f.timestamp);
        std::string text = message.make_string();
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(family_formatter_ours);

template <class RoundTrip>
void family_base64(benchmark::State& state, RoundTrip round_trip) {
    record_cursor cursor;
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        std::string text = round_trip(cursor.next());
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK_CAPTURE(family_base64, ours, &ours::base64_round_trip);

// One error pushed per operation; the list is dropped every 1000 errors.
void family_errors_ours(benchmark::State& state) {
    record_cursor cursor;
    vc::result::stack status;
    std::size_t line = 0;
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        ++line;
        ours::push_error(status, (line & 1) != 0, split(cursor.next()).timestamp, line);
        if (line % 1000 == 0) {
            status.reset();
        }
    }
}
BENCHMARK(family_errors_ours);

#if defined(VORN_BENCH_HAVE_PEER)
BENCHMARK_CAPTURE(family_timestamp, peer, &peer::utc_text);

// The same timestamp work through date::parse and date::format on string streams, as a
// developer who reaches for the library's own parser writes it (for reference; not in the job).
bool date_parse_utc_text(std::string_view timestamp, char (&out)[32], std::size_t& length) {
    std::istringstream in{std::string(timestamp)};
    peer::msecs when;
    if (!timestamp.empty() && timestamp.back() == 'Z') {
        in >> date::parse("%FT%TZ", when);
    } else {
        in >> date::parse("%FT%T%Ez", when);
    }
    if (in.fail() || in.peek() != std::char_traits<char>::eof()) {
        return false;
    }
    const std::string text = date::format("%FT%TZ", date::floor<std::chrono::seconds>(when));
    length = std::min(text.size(), sizeof out);
    std::memcpy(out, text.data(), length);
    return true;
}
BENCHMARK_CAPTURE(family_timestamp, peer_date_parse, &date_parse_utc_text);

void family_decimal_peer(benchmark::State& state) {
    const std::vector<std::string_view> texts = amount_texts();
    long long total = 0;
    std::size_t at = 0;
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        const std::string_view text = texts[at];
        at = at + 1 == texts.size() ? 0 : at + 1;
        long long amount = 0;
        if (!parse_amount(text, amount)) {
            fail("peer: a valid amount was refused");
        }
        total += amount;
        std::string a = peer::cents_text(amount);
        std::string t = peer::cents_text(total);
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(t);
    }
}
BENCHMARK(family_decimal_peer);

void family_formatter_peer(benchmark::State& state) {
    record_cursor cursor;
    std::size_t line = 0;
    const std::string format = message_template;
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        const fields f = split(cursor.next());
        std::string text = fmt::format(fmt::runtime(format), f.user, ++line, f.amount, f.timestamp);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(family_formatter_peer);

BENCHMARK_CAPTURE(family_base64, peer, &peer::base64_round_trip);

void family_errors_peer(benchmark::State& state) {
    record_cursor cursor;
    std::vector<peer::error_record> errors;
    std::size_t line = 0;
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        ++line;
        errors.push_back({line, (line & 1) != 0, std::string(split(cursor.next()).timestamp)});
        if (line % 1000 == 0) {
            errors.clear();
        }
    }
}
BENCHMARK(family_errors_peer);
#endif

// ---------------------------------------------------------------------------------------------
// Checking that both programs did the same, and the summary table.

void verify() {
    line_sink ours_lines;
    job_summary ours_summary = ours::run(records(), ours_lines);
    hash_sink ours_hash;
    ours::run(records(), ours_hash);
    ours_summary.hash = ours_hash.finish();
    reference() = ours_summary;
    std::printf("records: %zu (%zu good, %zu bad), total %lld cents\n", records().size(),
                ours_summary.good, ours_summary.bad, ours_summary.total_cents);
    std::printf("first line (ours): %s\n", ours_lines.lines.front().c_str());
#if defined(VORN_BENCH_HAVE_PEER)
    line_sink peer_lines;
    job_summary peer_summary = peer::run(records(), peer_lines);
    hash_sink peer_hash;
    peer::run(records(), peer_hash);
    peer_summary.hash = peer_hash.finish();
    if (ours_lines.lines.size() != peer_lines.lines.size()) {
        fail("ours and the peer wrote different numbers of lines");
    }
    for (std::size_t i = 0; i < ours_lines.lines.size(); ++i) {
        if (ours_lines.lines[i] != peer_lines.lines[i]) {
            std::fprintf(stderr, "line %zu\n  ours: %s\n  peer: %s\n", i + 1,
                         ours_lines.lines[i].c_str(), peer_lines.lines[i].c_str());
            fail("ours and the peer wrote different output");
        }
    }
    if (!(ours_summary == peer_summary)) {
        fail("ours and the peer differ in totals or counts");
    }
    std::printf("outputs compared: %zu lines identical\n", ours_lines.lines.size());
    // The date::parse variant is timed only as a family; its results are compared here. It
    // differs on one generated bad form only: it takes "12:34:56.Z", which the library refuses.
    std::size_t disagreements = 0;
    for (const std::string& record : records()) {
        char a[32], b[32];
        std::size_t la = 0, lb = 0;
        const std::string_view t = split(record).timestamp;
        const bool ra = ours::utc_text(t, a, la);
        const bool rb = date_parse_utc_text(t, b, lb);
        disagreements += ra != rb || (ra && std::string_view(a, la) != std::string_view(b, lb));
    }
    std::printf("date::parse variant: %zu of %zu timestamps differ from ours\n", disagreements,
                records().size());
#else
    std::printf(
        "peer skipped: it needs fmt (libfmt-dev), OpenSSL (libssl-dev) and "
        "date (libhowardhinnant-date-dev)\n");
#endif
}

// Keeps the median (or the single run) of each benchmark for the table.
class summary_reporter : public benchmark::ConsoleReporter {
  public:
    struct figure {
        double ns = 0;
        double allocs = 0;
    };
    std::map<std::string, figure> figures;

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.aggregate_name.empty() || run.aggregate_name == "median") {
                figure& f =
                    figures[run.run_name.function_name +
                            (run.run_name.args.empty() ? std::string() : "/" + run.run_name.args)];
                // CPU time: the machine is shared, and both sides are single-threaded.
                f.ns = run.GetAdjustedCPUTime() *
                       (run.time_unit == benchmark::kMillisecond ? 1e6 : 1.0);
                for (const char* name : {"allocs/op", "allocs/record"}) {
                    const auto c = run.counters.find(name);
                    if (c != run.counters.end()) {
                        f.allocs = c->second.value;
                    }
                }
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

void print_table(const summary_reporter& r) {
    struct row {
        const char* what;
        const char* ours;
        const char* peer;
        double per;  // divides the time: records per job, or 1
    };
    const row rows[] = {
        {"whole job, per record", "job_ours", "job_peer", record_count},
        {"timestamp read + UTC write", "family_timestamp/ours", "family_timestamp/peer", 1},
        {"  (peer via date::parse)", "family_timestamp/ours", "family_timestamp/peer_date_parse",
         1},
        {"decimal read + sum + 2 texts", "family_decimal_ours", "family_decimal_peer", 1},
        {"parser + 4 bind + make_string", "family_formatter_ours", "family_formatter_peer", 1},
        {"Base64 round trip, pieces", "family_base64/ours", "family_base64/peer", 1},
        {"error push", "family_errors_ours", "family_errors_peer", 1},
    };
    std::printf("\n%-32s %12s %12s %8s %12s %12s\n", "what (ns per record or op)", "ours", "peer",
                "ratio", "ours allocs", "peer allocs");
    for (const row& w : rows) {
        const auto o = r.figures.find(w.ours);
        const auto p = r.figures.find(w.peer);
        if (o == r.figures.end()) {
            continue;
        }
        if (p == r.figures.end()) {
            std::printf("%-32s %12.1f %12s %8s %12.2f %12s\n", w.what, o->second.ns / w.per,
                        "skipped", "-", o->second.allocs, "-");
            continue;
        }
        std::printf("%-32s %12.1f %12.1f %7.2fx %12.2f %12.2f\n", w.what, o->second.ns / w.per,
                    p->second.ns / w.per, p->second.ns / o->second.ns, o->second.allocs,
                    p->second.allocs);
    }
    std::printf(
        "ratio = peer time / our time: above 1.00x ours is faster, below it is slower.\n"
        "allocs: per record for the whole job, per operation for the families.\n");
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    verify();
    summary_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    print_table(reporter);
    benchmark::Shutdown();
    return 0;
}
