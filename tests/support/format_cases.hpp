// SPDX-License-Identifier: MIT
// The cases every formatter of the library's values passes, run for {fmt} by the formatting
// suite and for std::format by the std::format check.
//
// A tester offers:
//   std::string format(std::string_view options, const Args&... args)   formats at run time
//   bool refuses(std::string_view options, const Value& value)         true on a format error
//   void expect(bool ok, const std::string& what)                    records a failure
// Expected texts come from the library's own writers (make_chars, to_string) where a value has
// one, so that the formatters are checked against them over many values.
#ifndef VORN_CORE_TESTS_SUPPORT_FORMAT_CASES_HPP
#define VORN_CORE_TESTS_SUPPORT_FORMAT_CASES_HPP

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "vorn/core.hpp"

namespace vorn::test {

namespace format_cases_detail {

namespace vc = vorn::core::v2;

template <class Value>
std::string text_of(Value value) {
    char text[32];
    std::size_t length = sizeof text;
    vc::chars_converter<Value>().make_chars(text, length, value);
    return std::string(text, length);
}

inline std::string rfc3339_of(vc::datetime value) {
    char text[32];
    std::size_t length = sizeof text;
    vc::chars_converter<vc::datetime>().make_chars_rfc3339(text, length, value);
    return std::string(text, length);
}

inline vc::datetime read_datetime(std::string_view text) {
    vc::datetime when;
    vc::value_converter<vc::datetime>().make_value(when, text.data(), text.size());
    return when;
}

}  // namespace format_cases_detail

template <class Tester>
void run_format_cases(Tester& t) {
    using namespace format_cases_detail;
    const vc::datetime when = read_datetime("2024-03-10T12:34:56.789-03:00");
    const vc::decimal amount(1250, -2);
    vc::result::stack status;
    status.push(vc::integral_conversion_error::overflow, "99");
    status.push(vc::error_decimal::invalid_format, "12,5x");

    // Fill, alignment and width, each type with its default alignment.
    const struct {
        std::string got;
        std::string want;
    } rows[] = {
        {t.format("{}", vc::date(10, 3, 2024)), "2024-03-10"},
        {t.format("[{:>12}]", vc::date(10, 3, 2024)), "[  2024-03-10]"},
        {t.format("[{:*^13}]", vc::date(10, 3, 2024)), "[*2024-03-10**]"},
        {t.format("[{:14}]", vc::time(1, 2, 3, 4)), "[01:02:03.004  ]"},
        {t.format("{}", when), "2024-03-10T12:34:56-03:00"},
        {t.format("{:r}", when), "2024-03-10T12:34:56.789-03:00"},
        {t.format("[{:>31r}]", when), "[  2024-03-10T12:34:56.789-03:00]"},
        {t.format("{}", when.to_offset(0)), "2024-03-10T15:34:56Z"},
        {t.format("{:.2}", vc::decimal(12345, -3)), "12.34"},
        {t.format("{:.2f}", vc::decimal(-125, -3)), "-0.12"},
        {t.format("[{:8}]", amount), "[   12.50]"},
        {t.format("[{:<8,}]", amount), "[12,50   ]"},
        {t.format("[{:_^9.3,f}]", amount), "[_12,500__]"},
        {t.format("{:.0}", vc::decimal(25, -1)), "2"},
        {t.format("{}", vc::decimal(7, 3)), "7000"},
        {t.format("{}", vc::decimal(-5, 0)), "-5"},
        {t.format("[{:>12}]", vc::decode_status::incomplete), "[  incomplete]"},
        {t.format("{}", vc::converter_status::buffer_too_small), "buffer_too_small"},
        {t.format("{:-<11}", vc::binary_encoding::base64url), "base64url--"},
        {t.format("{}", status), vc::result::to_string(status)},
        {t.format("{}", vc::result::stack()), "Success"},
        {t.format("{:>12}", vc::decimal(1, 0)), "           1"},
        {t.format("[{:{}}] [{:>{}}]", vc::date(1, 1, 2000), 12, amount, 7),
         "[2000-01-01  ] [  12.50]"},
        {t.format("[{1:>{0}}]", 7, amount), "[  12.50]"},
    };
    for (const auto& r : rows) {
        t.expect(r.got == r.want, "formatted \"" + r.got + "\", expected \"" + r.want + "\"");
    }
    vc::result::stack portuguese;
    portuguese.push(vc::error_datetime::invalid_format, "x");
    const std::string text = vc::result::to_string(portuguese);
    // Width counts characters: this stack's message holds two-byte ones.
    const std::string padded = t.format("{:>200}", portuguese);
    std::size_t shown = 0;
    for (const char c : text) {
        shown += (static_cast<unsigned char>(c) & 0xC0U) != 0x80U;
    }
    t.expect(shown < text.size() && padded == std::string(200 - shown, ' ') + text,
             "a stack padded by characters");
    t.expect(t.format("{:.70}", amount) == amount.to_string(70, '.'), "a long decimal text");

    // Invalid options: the library's format error.
    const struct {
        std::string_view options;
        int type;  // 0 date, 1 datetime, 2 decimal, 3 stack, 4 decode_status
    } refused[] = {
        {"{:q}", 0},           {"{:.2}", 0},  {"{:r}", 0},    {"{:05}", 2},
        {"{:.}", 2},           {"{:.2r}", 2}, {"{:>10x}", 1}, {"{:{x}}", 1},
        {"{:99999999999}", 1}, {"{:,}", 3},   {"{:r}", 4},    {"{:{}}", 2},
    };
    for (const auto& r : refused) {
        bool ok = false;
        switch (r.type) {
            case 0:
                ok = t.refuses(r.options, vc::date());
                break;
            case 1:
                ok = t.refuses(r.options, when);
                break;
            case 2:
                ok = t.refuses(r.options, amount);
                break;
            case 3:
                ok = t.refuses(r.options, status);
                break;
            default:
                ok = t.refuses(r.options, vc::decode_status::complete);
                break;
        }
        t.expect(ok, "\"" + std::string(r.options) + "\" is refused");
    }
    // A value without the text asked for.
    t.expect(t.refuses("{:r}", vc::datetime(vc::date(1, 1, -5), vc::time(), 0)),
             "no RFC 3339 form before the year 0");
    t.expect(t.refuses("{}", vc::date(1, 1, 100000)), "no text form past the year 99999");

    // Many values against the library's own writers.
    std::mt19937_64 random(20261210);
    for (int i = 0; i < 2000; ++i) {
        // Instants a datetime holds: within 2^46 ms of the epoch, with room for the offset.
        const auto msecs = static_cast<long long>(random() % 140000000000000ULL) - 70000000000000LL;
        const int offset = static_cast<int>(random() % 100000) - 50000;
        const vc::datetime value = vc::datetime::from_msecs_since_epoch(msecs).to_offset(offset);
        t.expect(t.format("{}", value) == text_of(value), "datetime " + text_of(value));
        if (value.get_date().get_year() >= 0 && value.get_date().get_year() <= 9999) {
            t.expect(t.format("{:r}", value) == rfc3339_of(value), "rfc3339 " + rfc3339_of(value));
        }
        t.expect(t.format("{}", value.get_date()) == text_of(value.get_date()), "date");
        t.expect(t.format("{}", value.get_time()) == text_of(value.get_time()), "time");

        const vc::decimal d(static_cast<long long>(random()),
                            static_cast<short>(static_cast<int>(random() % 40) - 30));
        const auto precision = static_cast<unsigned int>(random() % 25);
        const int factor = d.get_factor();
        t.expect(t.format("{}", d) ==
                     d.to_string(factor < 0 ? static_cast<unsigned int>(-factor) : 0U, '.'),
                 "decimal at its scale " + d.to_string(4, '.'));
        t.expect(
            t.format("{:." + std::to_string(precision) + ",}", d) == d.to_string(precision, ','),
            "decimal " + d.to_string(precision, ','));
    }
}

}  // namespace vorn::test

#endif
