// SPDX-License-Identifier: MIT
// Every reader of caller text run on texts that end (or start) flush against a page without
// access, at every length from 0 to 300: a read outside the text faults, and what the reader
// makes of the guarded text must equal what it makes of the same bytes followed by others.
#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "support/guard_page.hpp"
#include "vorn/core/converters.hpp"
#include "vorn/core/decimal.hpp"
#include "vorn/core/format_options.hpp"
#include "vorn/core/result.hpp"
#include "vorn/core/text_formatter.hpp"

namespace vc = vorn::core::v2;
namespace vd = vorn::core::v2::detail;

namespace {

using outcome = std::string;
using status = vc::converter_status;

outcome join(std::initializer_list<long long> values) {
    outcome s;
    for (const long long v : values) {
        s += std::to_string(v) + ' ';
    }
    return s;
}

outcome read_decimal(std::string_view t, char separator, const vc::decimal_limits* limits) {
    vc::decimal out(77, 3);
    const vc::value_converter<vc::decimal> reader(separator);
    const status st = limits ? reader.make_value(out, t.data(), t.size(), *limits)
                             : reader.make_value(out, t.data(), t.size());
    return join({static_cast<long long>(st), out.get_number(), out.get_factor()});
}

outcome read_options(std::string_view t, vd::format_kind kind) {
    vd::format_options o;
    const char* error = nullptr;
    const char* stop = vd::parse_format_options(t.data(), t.data() + t.size(), kind, o, error);
    return join({stop - t.data(), o.fill, o.align, static_cast<long long>(o.width),
                 o.width_from_argument, o.width_argument, o.precision, o.separator, o.rfc3339}) +
           (error ? error : "");
}

outcome read_placeholders(std::string_view t) {
    vc::text_formatter f = vc::text_formatter::parser(vorn::core::string_view(t));
    outcome s;
    for (const vc::argument& a : f.get_arguments()) {
        s += a.get_full_arg() + '|' + a.get_name() + '|' + a.get_params() + '|' +
             join({static_cast<long long>(a.get_begin()), static_cast<long long>(a.get_end())});
    }
    f.bind_text(0, t);  // the caller's text as a replacement, too
    return s + f.make_string();
}

outcome record_arguments(std::string_view t) {
    vc::result::stack stack;
    vc::result::stack::item& item = stack.push_item(vc::converter_result_category::instance(), 1);
    item.set_argument(t, t);
    vc::error_datetime::instance().create(item, vc::error_datetime::invalid_format, t);
    vc::error_decimal::instance().create(item, vc::error_decimal::invalid_format, t, ',');
    vc::integral_conversion_error::instance().create(
        item, vc::integral_conversion_error::invalid_value, t);
    const char* found = item.get_argument_value(t);
    outcome s = found ? found : "(none)";
    for (const vc::result::argument& a : item.get_argument_range()) {
        s += std::string("|") + a.get_name() + '=' + a.get_value();
    }
    return s;
}

struct reader {
    const char* name;
    std::function<outcome(std::string_view)> read;
};

const vc::decimal_limits money{4, 12};

const std::vector<reader> readers = {
    {"date",
     [](std::string_view t) {
         vc::date out(5, 5, 1555);
         const status st = vc::value_converter<vc::date>().make_value(out, t.data(), t.size());
         return join({static_cast<long long>(st), out.to_julian_day()});
     }},
    {"time",
     [](std::string_view t) {
         vc::time out(1, 2, 3, 4);
         const status st = vc::value_converter<vc::time>().make_value(out, t.data(), t.size());
         return join({static_cast<long long>(st), out.to_milliseconds()});
     }},
    {"datetime",
     [](std::string_view t) {
         vc::datetime out = vc::datetime::from_msecs_since_epoch(12345);
         const status st = vc::value_converter<vc::datetime>().make_value(out, t.data(), t.size());
         return join({static_cast<long long>(st), out.to_msecs_since_epoch(), out.get_offset()});
     }},
    {"rfc3339",
     [](std::string_view t) {
         vc::datetime out = vc::datetime::from_msecs_since_epoch(12345);
         const status st =
             vc::value_converter<vc::datetime>().make_value_rfc3339(out, t.data(), t.size());
         return join({static_cast<long long>(st), out.to_msecs_since_epoch(), out.get_offset()});
     }},
    {"decimal", [](std::string_view t) { return read_decimal(t, '.', nullptr); }},
    {"decimal comma", [](std::string_view t) { return read_decimal(t, ',', nullptr); }},
    {"decimal limited", [](std::string_view t) { return read_decimal(t, '.', &money); }},
    {"options text", [](std::string_view t) { return read_options(t, vd::format_kind::text); }},
    {"options datetime",
     [](std::string_view t) { return read_options(t, vd::format_kind::datetime); }},
    {"options decimal",
     [](std::string_view t) { return read_options(t, vd::format_kind::decimal); }},
    {"placeholders", read_placeholders},
    {"status arguments", record_arguments},
};

// Valid texts of every reader; each is also cut, repeated and padded to every length.
const std::vector<std::string> valid = {
    "2024-02-29",
    "-123-01-05",
    "12:34:56.78912345678912345678912345",
    "-1:30:00",
    "  2024-02-29T12:34:56.789+05:30  ",
    "1985-04-12t23:20:50.5212345678Z",
    "1999-12-31 23:59:59-00:01",
    "-922337203685477.5808",
    "12,3456",
    "Hello {0}, {1: x} and {22}{",
    "*^12.3,f}",
    "{1}r}",
};

// The texts of one length: valid texts repeated to it, padded with spaces after and zeros
// before, a run of digits, and random bytes, from the whole range and from the readers'
// alphabet.
std::vector<std::string> texts_of_length(std::size_t n) {
    std::vector<std::string> texts;
    for (const std::string& v : valid) {
        std::string repeated;
        while (repeated.size() < n) {
            repeated += v;
        }
        texts.push_back(repeated.substr(0, n));
        texts.push_back((v + std::string(n, ' ')).substr(0, n));
        texts.push_back(n > v.size() ? std::string(n - v.size(), '0') + v : v.substr(v.size() - n));
    }
    std::string digits;
    for (std::size_t i = 0; i < n; ++i) {
        digits += static_cast<char>('0' + (i * 7 + 3) % 10);
    }
    texts.push_back(digits);
    std::mt19937 random(static_cast<unsigned>(n));
    static constexpr std::string_view alphabet = "0123456789-+:.,Tt Zz{}<>^r";
    for (int k = 0; k < 4; ++k) {
        std::string bytes(n, '\0');
        for (char& c : bytes) {
            const auto r = random();
            c = k % 2 == 0 ? static_cast<char>(r) : alphabet[r % alphabet.size()];
        }
        texts.push_back(bytes);
    }
    return texts;
}

TEST(TextReadersGuard, ReadNothingOutsideTheTextAndAgreeWithAnOrdinaryCopy) {
    std::size_t checks = 0;
    for (std::size_t n = 0; n <= 300; ++n) {
        for (const std::string& text : texts_of_length(n)) {
            // The reference sees bytes after the text that would change its meaning if read.
            const std::string followed = text + "0}:00Z9";
            std::vector<outcome> expected;
            for (const reader& r : readers) {
                expected.push_back(r.read(std::string_view(followed).substr(0, n)));
            }
            vorn::test::with_guarded_text(text, [&](std::string_view guarded) {
                for (std::size_t i = 0; i < readers.size(); ++i) {
                    ASSERT_EQ(readers[i].read(guarded), expected[i])
                        << readers[i].name << " on \"" << text << "\" (" << n << " bytes)";
                    ++checks;
                }
            });
        }
    }
    RecordProperty("checks", static_cast<int>(checks));
    EXPECT_EQ(checks, 301U * (3 * valid.size() + 5) * 2 * readers.size());
}

}  // namespace
