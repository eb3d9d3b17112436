// SPDX-License-Identifier: MIT
// The decimal reader on fuzzer-chosen text: a refusal leaves the output alone; an accepted text
// is what to_string writes back at the scale read, up to leading zeros and the sign of a zero,
// and that text reads back to the same number and factor. Acceptance is checked against a
// slow rule of its own: [-]digits[separator digits], the number within 64 bits, at most 32768
// decimals. The same reader with limits on the decimals and integer digits (chosen from the
// input's size) accepts exactly the accepted texts within them.
//
// Input: the first byte is the separator, the rest is the text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "vorn/core/decimal.hpp"

#include "fuzz_check.hpp"

using vorn::fuzz::check;

namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// The text without its sign, leading zeros and separator: the digits of the number.
bool well_formed(const std::string& text, char separator, std::string& digits,
                 std::size_t& decimals) {
    std::size_t i = text.size() != 0 && text[0] == '-' ? 1 : 0;
    const std::size_t integer_begin = i;
    for (; i < text.size() && is_digit(text[i]); ++i) {
        digits += text[i];
    }
    if (i == integer_begin) {
        return false;
    }
    decimals = 0;
    if (i < text.size()) {
        if (text[i] != separator) {
            return false;
        }
        for (++i; i < text.size() && is_digit(text[i]); ++i) {
            digits += text[i];
            ++decimals;
        }
        if (i != text.size() || decimals == 0) {
            return false;
        }
    }
    digits.erase(0, digits.find_first_not_of('0'));
    return decimals <= 32768;
}

int check_input(const std::uint8_t* data, std::size_t size) {
    namespace vc = vorn::core::v2;
    if (size == 0) {
        return 0;
    }
    const char separator = static_cast<char>(data[0]);
    const char* const chars = reinterpret_cast<const char*>(data) + 1;
    const std::string text(chars, size - 1);
    const vc::value_converter<vc::decimal> reader(separator);
    vc::decimal out(77, 3);
    const vc::converter_status status = reader.make_value(out, chars, text.size());

    // With limits: accepted exactly when accepted without them and within both counts (the
    // integer digits without leading zeros), and then the same value; `out` alone otherwise.
    const vc::decimal_limits limits{static_cast<std::uint32_t>(size % 7),
                                    static_cast<std::uint32_t>(size % 11)};
    vc::decimal limited(77, 3);
    const vc::converter_status limited_status =
        reader.make_value(limited, chars, text.size(), limits);
    if (status == vc::converter_status::success && !is_digit(separator)) {
        const std::size_t sign = !text.empty() && text[0] == '-' ? 1 : 0;
        const std::size_t point = text.find(separator, sign);
        const std::string integer =
            text.substr(sign, point == std::string::npos ? point : point - sign);
        const std::size_t significant =
            integer.size() - std::min(integer.find_first_not_of('0'), integer.size());
        const std::size_t places = point == std::string::npos ? 0 : text.size() - point - 1;
        const bool within =
            significant <= limits.max_integer_digits && places <= limits.max_decimals;
        check((limited_status == vc::converter_status::success) == within);
        check(within ? limited.get_number() == out.get_number() &&
                           limited.get_factor() == out.get_factor()
                     : limited.get_number() == 77 && limited.get_factor() == 3);
    } else if (status != vc::converter_status::success) {
        check(limited_status == vc::converter_status::invalid_format);
    }

    std::string digits;
    std::size_t decimals = 0;
    const bool negative = !text.empty() && text[0] == '-';
    bool expected = well_formed(text, separator, digits, decimals);
    if (expected) {
        const std::string limit = negative ? "9223372036854775808" : "9223372036854775807";
        expected =
            digits.size() < limit.size() || (digits.size() == limit.size() && digits <= limit);
    }
    if (is_digit(separator)) {
        // The separator reads as a digit: only the separator-free form can be accepted.
        if (status != vc::converter_status::success) {
            check(out.get_number() == 77 && out.get_factor() == 3);
        }
        return 0;
    }
    check(status ==
          (expected ? vc::converter_status::success : vc::converter_status::invalid_format));
    if (!expected) {
        check(out.get_number() == 77 && out.get_factor() == 3);
        return 0;
    }
    check(out.get_factor() == -static_cast<int>(decimals));
    const std::string written = out.to_string(static_cast<unsigned int>(decimals), separator);
    // The reader's text without redundant leading zeros (and without "-" on a zero).
    std::string canonical = text.substr(negative ? 1 : 0);
    const std::size_t integer_length =
        decimals == 0 ? canonical.size() : canonical.size() - decimals - 1;
    std::size_t strip = 0;
    while (strip + 1 < integer_length && canonical[strip] == '0') {
        ++strip;
    }
    canonical.erase(0, strip);
    if (negative && out.get_number() != 0) {
        canonical.insert(0, 1, '-');
    }
    check(written == canonical);
    vc::decimal back;
    check(reader.make_value(back, written.data(), written.size()) == vc::converter_status::success);
    check(back.get_number() == out.get_number() && back.get_factor() == out.get_factor());
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return vorn::fuzz::run_guarded(data, size, check_input);
}
