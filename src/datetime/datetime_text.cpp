// SPDX-License-Identifier: MIT
// The text forms of datetime: the reader that matches the fixed fields a word at a time, and
// the writer.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/compiler.hpp"
#include "datetime/calendar.hpp"
#include "datetime/text_fields.hpp"
#include "datetime/text_forms.hpp"
#include "vorn/core/converters.hpp"

namespace vorn::core::v2 {

datetime detail::failure_datetime() noexcept {
    return datetime::from_msecs_since_epoch(failure_msecs_since_epoch);
}

namespace {

static_assert(std::endian::native == std::endian::little,
              "the fixed fields are read eight characters to a word, first character lowest");

// Eight characters of a form: 'd' stands for an ASCII digit, any other character for itself.
using form_text = char[9];

// The word a text in `form` would be with every digit 0.
constexpr std::uint64_t zero_word(const form_text& form) noexcept {
    std::uint64_t word = 0;
    for (int i = 7; i >= 0; --i) {
        word = word << 8 | static_cast<unsigned char>(form[i] == 'd' ? '0' : form[i]);
    }
    return word;
}

// 0xFF in the bytes of `form` that hold a digit.
constexpr std::uint64_t digit_bytes(const form_text& form) noexcept {
    std::uint64_t word = 0;
    for (int i = 7; i >= 0; --i) {
        word = word << 8 | (form[i] == 'd' ? 0xFFU : 0U);
    }
    return word;
}

constexpr std::uint64_t ones = 0x0101010101010101ULL;

// The eight characters at `text` as a word, the first in the lowest byte.
std::uint64_t load_word(const char* text) noexcept {
    std::uint64_t word = 0;
    std::memcpy(&word, text, sizeof word);
    return word;
}

// Matches the eight characters of `word` against `form`. On a match, returns true with the
// digits' values in their bytes and 0 in the others in `values`. Eight characters at a time
// rather than one: bench/datetime_bench.cpp: BM_datetime_reader
template <const form_text& Form>
bool match_word(std::uint64_t word, std::uint64_t& values) noexcept {
    constexpr std::uint64_t digits = digit_bytes(Form);
    // A byte of x is 0 for the fixed character and 0 to 9 for a digit exactly when it is 0x00
    // to 0x09: neither it nor it plus 6 has a high bit. A byte at or above 0xFA carries into
    // the next one, but it has failed already.
    const std::uint64_t x = word ^ zero_word(Form);
    const std::uint64_t wrong =
        (x & ~digits) | ((x | (x + (6 * ones & digits))) & (0xF0 * ones & digits));
    values = x;
    return wrong == 0;
}

// The two-digit number at byte `at` of a word of digit values.
unsigned int pair_at(std::uint64_t values, int at) noexcept {
    // Each byte becomes ten times itself plus the next: at most 99, so nothing carries.
    const std::uint64_t pairs = values * 10 + (values >> 8);
    return static_cast<unsigned int>(pairs >> (8 * at) & 0xFF);
}

constexpr form_text date_form = "dddd-dd-";    // text[0..8)
constexpr form_text clock_form = "ddTdd:dd";   // text[8..16)
constexpr form_text second_form = "dd:dd:dd";  // text[11..19)

// The pieces of a timestamp of the form
//     ^ *(\d{4}-\d{2}-\d{2})T(\d{2}:\d{2}:\d{2}(?:\.\d+)?)(Z|(?:\+|-)\d{2}:\d{2}) *$
// (ECMAScript grammar; \d is an ASCII digit).
struct timestamp_parts {
    std::uint64_t date_values;    // digit values of the characters 0 to 7: year and month
    std::uint64_t clock_values;   // those of 8 to 15: day, hour and minute
    std::uint64_t second_values;  // those of 11 to 18: the second at bytes 6 and 7
    const char* time;             // time_length characters
    std::size_t time_length;      // 8, or 10 and more with a fraction
    const char* offset;           // "Z", or sign, 2 digits, colon, 2 digits
};

bool is_digit(char c) noexcept {
    return detail::decimal_digit(c) >= 0;
}

// Narrows [begin, end) to leave out the spaces at both ends.
void strip_spaces(const char*& begin, const char*& end) noexcept {
    while (begin != end && *begin == ' ') {
        ++begin;
    }
    while (end != begin && end[-1] == ' ') {
        --end;
    }
}

// Matches the fixed fields at `text`, date, T and clock up to the seconds, three words that
// overlap, and keeps their digit values. The text holds at least 20 characters.
bool match_fixed_fields(const char* text, timestamp_parts& parts) noexcept {
    return match_word<date_form>(load_word(text), parts.date_values) &&
           match_word<clock_form>(load_word(text + 8), parts.clock_values) &&
           match_word<second_form>(load_word(text + 11), parts.second_values);
}

// Past the fraction, a full stop and at least one digit, that may open at `p` (before `end`);
// `p` itself when there is none, nullptr for a full stop without digits.
const char* skip_fraction(const char* p, const char* end) noexcept {
    if (*p != '.') {
        return p;
    }
    const char* const digits_end = detail::end_of_digits(p + 1, end);
    return digits_end == p + 1 ? nullptr : digits_end;
}

// Whether [p, end) is an offset designator: Z, or a sign, two digits, a colon and two digits.
bool is_offset_designator(const char* p, const char* end) noexcept {
    const std::ptrdiff_t length = end - p;
    if (length == 1) {
        return *p == 'Z';
    }
    return length == 6 && (*p == '+' || *p == '-') && is_digit(p[1]) && is_digit(p[2]) &&
           p[3] == ':' && is_digit(p[4]) && is_digit(p[5]);
}

// Matches the whole text against the timestamp form in one pass without backtracking: spaces
// are stripped from both ends (the timestamp itself starts with a digit and ends with Z or a
// digit), the date and clock have fixed positions and are matched a word at a time, and the
// fraction's digits end at the first non-digit, which must open the offset.
bool match_timestamp(const char* text, std::size_t length, timestamp_parts& parts) noexcept {
    const char* begin = text;
    const char* end = text + length;
    strip_spaces(begin, end);
    // The shortest timestamp: date, T, clock, Z.
    if (end - begin < 20 || !match_fixed_fields(begin, parts)) {
        return false;
    }
    const char* const time = begin + 11;
    const char* const offset = skip_fraction(time + 8, end);
    if (offset == nullptr || !is_offset_designator(offset, end)) {
        return false;
    }
    parts.time = time;
    parts.time_length = static_cast<std::size_t>(offset - time);
    parts.offset = offset;
    return true;
}

// The offset in seconds of a matched offset designator.
int offset_seconds(const char* designator) noexcept {
    if (*designator == 'Z') {
        return 0;
    }
    const auto digit = [designator](int at) noexcept { return designator[at] - '0'; };
    const int seconds = ((digit(1) * 10 + digit(2)) * 60 + digit(4) * 10 + digit(5)) * 60;
    return *designator == '-' ? -seconds : seconds;
}

// Any year the date writer takes: its text, T, the time writer's text of the whole seconds and
// the offset designator, built in a scratch area. Unlike the date and time writers, this one
// asks for exactly what this value needs.
VORN_CORE_NOINLINE converter_status write_any_year_datetime(char* buffer, std::size_t& length,
                                                            detail::wall_clock_split wall,
                                                            int offset) noexcept {
    char scratch[detail::max_date_text + 1 + detail::max_time_text + detail::max_offset_text];
    std::size_t used = 0;
    converter_status status = detail::write_date_text(scratch, used, wall.julian_day);
    if (status != converter_status::success) {
        return status;
    }
    scratch[used++] = 'T';
    // Whole seconds: the milliseconds are dropped, never rounded.
    const auto msecs_of_day = static_cast<int>(wall.msecs_of_day);
    status = detail::write_time_text(scratch, used, msecs_of_day - msecs_of_day % 1000);
    if (status != converter_status::success) {
        return status;
    }
    used += detail::write_offset(scratch + used, offset);
    if (length < used) {
        length = used;
        return converter_status::buffer_too_small;
    }
    std::memcpy(buffer, scratch, used);
    length = used;
    return converter_status::success;
}

}  // namespace

converter_status chars_converter<datetime>::make_chars(char* buffer, std::size_t& length,
                                                       datetime value) {
    const detail::wall_clock_fields w = detail::wall_clock_of(value);
    if (w.civil.year < 1 || w.civil.year > 9999) {
        return write_any_year_datetime(buffer, length, w.wall, w.offset);
    }
    return detail::write_iso_datetime<false>(buffer, length, w);
}

converter_status value_converter<datetime>::make_value(datetime& out, const char* text,
                                                       std::size_t length) {
    timestamp_parts parts{};
    if (!match_timestamp(text, length, parts)) {
        out = detail::failure_datetime();
        return converter_status::invalid_format;
    }
    if (parts.time_length > detail::max_time_text_read) {
        // A fraction longer than the time reader takes; `out` keeps its value.
        return converter_status::invalid_format;
    }
    // The match left every digit's value in its byte.
    const unsigned int year = pair_at(parts.date_values, 0) * 100 + pair_at(parts.date_values, 2);
    const long long julian_day = detail::julian_day_from_digits(
        pair_at(parts.clock_values, 0), pair_at(parts.date_values, 5), year);
    int fraction = 0;
    if (parts.time_length > 8) {
        // Milliseconds from the first three fraction digits, finer digits dropped.
        const std::size_t digits = parts.time_length - 9;
        for (std::size_t i = 0; i < 3; ++i) {
            fraction = fraction * 10 + (i < digits ? parts.time[9 + i] - '0' : 0);
        }
    }
    const int msecs = static_cast<int>(3600000 * pair_at(parts.clock_values, 3) +
                                       60000 * pair_at(parts.clock_values, 6) +
                                       1000 * pair_at(parts.second_values, 6)) +
                      fraction;
    // Offsets and wall clocks the datetime fields cannot hold are refused rather than cut to
    // their low bits, which would silently give another instant.
    const int offset = offset_seconds(parts.offset);
    const long long local_msecs =
        (julian_day - detail::unix_epoch_julian_day) * detail::msecs_per_day + msecs;
    if (offset < detail::min_offset || offset > detail::max_offset ||
        local_msecs < detail::min_local_msecs || local_msecs > detail::max_local_msecs) {
        out = detail::failure_datetime();
        return converter_status::invalid_format;
    }
    out = datetime(date::from_julian_day(julian_day), time::from_milliseconds(msecs), offset);
    return converter_status::success;
}

}  // namespace vorn::core::v2
