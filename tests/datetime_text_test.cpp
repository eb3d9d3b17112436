// SPDX-License-Identifier: MIT
// Text forms of the calendar values: the buffer protocol of the writers, the date, time and
// date-time readers (against std::regex for the last), and the error_datetime category.

// GCC 12 reports possibly uninitialised members inside std::regex's own automaton when it
// optimises with sanitizers on; the reads are in the standard library's code, not in this file.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "support/allocation_failure.hpp"
#include "support/child_process.hpp"
#include "support/datetime_reference.hpp"
#include "vorn/core/converters.hpp"

namespace vc = vorn::core::v2;
using vc::converter_status;

namespace {

constexpr char untouched = '#';

// What a writer produced: its status, the length it reported and the buffer's bytes.
struct written {
    converter_status status;
    std::size_t length;
    std::string buffer;
};

template <class T>
written write(const T& value, std::size_t capacity) {
    std::string buffer(capacity, untouched);
    std::size_t length = capacity;
    const converter_status status =
        vc::chars_converter<T>().make_chars(buffer.data(), length, value);
    return {status, length, buffer};
}

// The text a successful writer produced.
template <class T>
std::string text_of(const T& value) {
    const written w = write(value, 64);
    EXPECT_EQ(w.status, converter_status::success);
    return w.buffer.substr(0, w.length);
}

// A value and the text its writer gives, or nullptr when the value does not fit the form.
template <class T>
struct write_row {
    T value;
    const char* text;
};

// Each row's text is written, or, for a value that does not fit, the status is invalid_format
// and neither the buffer nor the length is touched.
template <class T, std::size_t N>
void expect_writes(const write_row<T> (&rows)[N]) {
    for (const write_row<T>& r : rows) {
        const written w = write(r.value, 16);
        if (r.text == nullptr) {
            EXPECT_EQ(w.status, converter_status::invalid_format) << &r - rows;
            EXPECT_EQ(w.length, 16U);
            EXPECT_EQ(w.buffer, std::string(16, untouched));
        } else {
            EXPECT_EQ(w.status, converter_status::success) << r.text;
            EXPECT_EQ(w.buffer.substr(0, w.length), r.text);
            EXPECT_EQ(w.buffer.substr(w.length), std::string(16 - w.length, untouched));
        }
    }
}

template <class T>
converter_status read(T& out, const std::string& text) {
    return vc::value_converter<T>().make_value(out, text.data(), text.size());
}

const vc::date failure_date(0, 0, 0);
const vc::datetime failure_datetime(failure_date, vc::time(), 0);

bool same(const vc::datetime& a, const vc::datetime& b) {
    return a.to_msecs_since_epoch() == b.to_msecs_since_epoch() && a.get_offset() == b.get_offset();
}

}  // namespace

TEST(ConverterStatus, IsA32BitEnumerationNumberedInOrder) {
    static_assert(sizeof(converter_status) == 4);
    static_assert(std::is_unsigned_v<std::underlying_type_t<converter_status>>);
    EXPECT_EQ(static_cast<unsigned>(converter_status::success), 0U);
    EXPECT_EQ(static_cast<unsigned>(converter_status::buffer_too_small), 1U);
    EXPECT_EQ(static_cast<unsigned>(converter_status::invalid_base), 2U);
    EXPECT_EQ(static_cast<unsigned>(converter_status::invalid_format), 3U);
}

// ---------------------------------------------------------------------------------------------
// date text

TEST(DateText, WriterAsksForElevenBytesAndTouchesNothingBefore) {
    const written short_buffer = write(vc::date(), 10);
    EXPECT_EQ(short_buffer.status, converter_status::buffer_too_small);
    EXPECT_EQ(short_buffer.length, 11U);
    EXPECT_EQ(short_buffer.buffer, std::string(10, untouched));

    const written exact = write(vc::date(), 11);
    EXPECT_EQ(exact.status, converter_status::success);
    EXPECT_EQ(exact.length, 10U);
    EXPECT_EQ(exact.buffer, "1970-01-01" + std::string(1, untouched));
}

TEST(DateText, WriterFormsAndLimits) {
    const write_row<vc::date> rows[] = {
        {vc::date(1, 1, 1970), "1970-01-01"},
        {vc::date(1, 3, 5), "0005-03-01"},
        {vc::date(0, 0, 0), "-0001-11-30"},
        {vc::date(7, 6, 12345), "12345-06-07"},
        {vc::date(31, 12, 99999), "99999-12-31"},
        {vc::date(1, 1, -9999), "-9999-01-01"},
        {vc::date(1, 1, 1), "0001-01-01"},
        {vc::date(1, 1, 0), "0001-01-01"},
        {vc::date(31, 12, 0), "0001-12-31"},  // year 0, reported as 1, by the signed-year writer
        {vc::date(31, 12, 9999), "9999-12-31"},
        {vc::date(1, 1, 10000), "10000-01-01"},
        {vc::date(1, 1, 100000), nullptr},
        {vc::date(1, 1, -10000), nullptr},
        {vc::date::from_julian_day(1LL << 50), nullptr},
    };
    expect_writes(rows);
}

TEST(DateText, ReaderAcceptsTheFormAndRollsOver) {
    struct row {
        const char* text;
        vc::date value;
    };
    const row rows[] = {
        {"2024-02-29", vc::date(29, 2, 2024)}, {"2023-02-29", vc::date(1, 3, 2023)},
        {"2023-02-30", vc::date(2, 3, 2023)},  {"1970-01-01", vc::date()},
        {"0000-01-01", vc::date(1, 1, 0)},     {"-999-01-01", vc::date(1, 1, -999)},
        {"-000-06-15", vc::date(15, 6, 0)},    {"2024-00-15", vc::date(15, 12, 2023)},
        {"2024-13-01", vc::date(1, 1, 2025)},  {"2024-14-01", vc::date(1, 2, 2025)},
        {"2024-25-01", vc::date(1, 1, 2026)},  {"2024-99-99", vc::date(99, 3, 2032)},
        {"2024-03-00", vc::date(29, 2, 2024)}, {"9999-12-31", vc::date(31, 12, 9999)},
    };
    for (const row& r : rows) {
        vc::date out(5, 5, 1555);
        EXPECT_EQ(read(out, r.text), converter_status::success) << r.text;
        EXPECT_EQ(out, r.value) << r.text;
    }
}

TEST(DateText, ReaderRefusesEverythingElseWithTheFailureDate) {
    const std::string refused[] = {
        "",           "2024-2-29",     "2024/02/29",  " 2024-02-29", "2024-02-29 ",
        "+024-02-29", "12345-06-07",   "-0001-11-30",
        "2024--1-01",  // a minus sign opens the month
        "2024-01--1",  // or the day
        "2024-0a-01", "2024-01-0\xB2", "-99-01-01",   "2024-01-01T", std::string("2024-01-0\0", 10),
    };
    for (const std::string& text : refused) {
        vc::date out(5, 5, 1555);
        EXPECT_EQ(read(out, text), converter_status::invalid_format) << text;
        EXPECT_EQ(out, failure_date) << text;
    }
    // The reader looks at exactly `length` characters.
    vc::date out;
    EXPECT_EQ(vc::value_converter<vc::date>().make_value(out, "2024-02-29xyz", 10),
              converter_status::success);
    EXPECT_EQ(out, vc::date(29, 2, 2024));
}

TEST(DateText, EveryYearFromOneToNineThousandNineHundredNinetyNineRoundTrips) {
    const unsigned int days[] = {1, 28, 29, 31};
    for (int year = 1; year <= 9999; ++year) {
        for (unsigned int month = 1; month <= 12; ++month) {
            for (const unsigned int day : days) {
                const vc::date value(day, month, year);
                vc::date back;
                const std::string text = text_of(value);
                if (read(back, text) != converter_status::success || back != value) {
                    FAIL() << text;
                }
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// time text

TEST(TimeText, WriterAsksForThirteenBytesAndTouchesNothingBefore) {
    const written short_buffer = write(vc::time(9, 5, 7, 0), 12);
    EXPECT_EQ(short_buffer.status, converter_status::buffer_too_small);
    EXPECT_EQ(short_buffer.length, 13U);
    EXPECT_EQ(short_buffer.buffer, std::string(12, untouched));

    const written exact = write(vc::time(9, 5, 7, 0), 13);
    EXPECT_EQ(exact.status, converter_status::success);
    EXPECT_EQ(exact.length, 8U);
    EXPECT_EQ(exact.buffer, "09:05:07" + std::string(5, untouched));
}

TEST(TimeText, WriterFormsAndLimits) {
    const write_row<vc::time> rows[] = {
        {vc::time(9, 5, 7, 0), "09:05:07"},
        {vc::time(9, 5, 7, 45), "09:05:07.045"},
        {vc::time(0, 0, 0, 7), "00:00:00.007"},
        {vc::time(23, 59, 59, 999), "23:59:59.999"},
        {vc::time(-1, 30, 0, 0), "-01:30:00"},
        {vc::time(123, 0, 0, 0), "123:00:00"},
        {vc::time::from_milliseconds(2147483647), "596:31:23.647"},
        {vc::time(-99, 59, 59, 999), "-99:59:59.999"},
        {vc::time(99, 59, 59, 999), "99:59:59.999"},  // the last of two-digit hours
        {vc::time(100, 0, 0, 1), "100:00:00.001"},
        {vc::time::from_milliseconds(-1), "00:00:00.001"},
        {vc::time::from_milliseconds(-3600000), "-01:00:00"},
        {vc::time::from_milliseconds(-1800000), "00:30:00"},
        {vc::time(-100, 0, 0, 0), nullptr},
        {vc::time::from_milliseconds(-2147483647 - 1), nullptr},
    };
    expect_writes(rows);
}

TEST(TimeText, ReaderTakesFractionsAsDecimalFractionsTruncatedToMilliseconds) {
    struct row {
        const char* text;
        int msecs;
    };
    const row rows[] = {
        {"12:34:56", 45296000},
        {"12:34:56.5", 45296500},
        {"12:34:56.05", 45296050},
        {"12:34:56.500", 45296500},
        {"12:34:56.007", 45296007},
        {"12:34:56.123456", 45296123},
        {"12:00:00.0009", 43200000},
        {"23:59:59.999999", 86399999},
        {"23:59:59.99999999999999999999999999999999", 86399999},  // 32 digits
        {"00:00:00.00000000000000000000000000000001", 0},
        {"-1:30:00", -5400000},
        {"-9:00:00.5", -32400500},
        {"-0:30:00", -1800000},  // the sign is kept also when the hour is 0
        {"24:00:00", 86400000},
        {"99:99:99.999", 99 * 3600000 + 99 * 60000 + 99999},
        {"00:75:00", 4500000},
    };
    for (const row& r : rows) {
        vc::time out(1, 2, 3, 4);
        EXPECT_EQ(read(out, r.text), converter_status::success) << r.text;
        EXPECT_EQ(out.to_milliseconds(), r.msecs) << r.text;
    }
}

TEST(TimeText, ReaderRefusesEverythingElseWithMidnight) {
    const std::string refused[] = {
        "",
        "12:34:5",
        "12:34:56.",                                   // length 9
        "12:34:56.123456789012345678901234567890123",  // 33 fraction digits
        "12:-4:56",                                    // minus signs only open the hour
        "12:34:-6",
        "12:34:56.-5",
        "12:34:56.-",
        "-01:30:00",  // the writer's form of a negative hour is 9 characters
        "123:00:00",
        "1:30:00",
        "12:34:56.5a",
        "12:34:56,5",
        "12-34-56",
        "12:34:56 ",
        "1\xB2:34:56",
        "+1:30:00",
        std::string("12:34:56.\0", 10),
    };
    for (const std::string& text : refused) {
        vc::time out(1, 2, 3, 4);
        EXPECT_EQ(read(out, text), converter_status::invalid_format) << text;
        EXPECT_EQ(out.to_milliseconds(), 0) << text;
    }
}

TEST(TimeText, WrittenTimesOfHoursZeroToNinetyNineReadBack) {
    std::mt19937 random(11);
    for (int i = 0; i < 20000; ++i) {
        const auto msecs = static_cast<int>(random() % (100U * 3600000U));
        const vc::time value = vc::time::from_milliseconds(msecs);
        vc::time back;
        const std::string text = text_of(value);
        if (read(back, text) != converter_status::success || back != value) {
            FAIL() << text;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// date-time text

TEST(DateTimeText, WriterAsksForExactlyTheSizeOfThisValue) {
    const written short_buffer = write(vc::datetime(), 19);
    EXPECT_EQ(short_buffer.status, converter_status::buffer_too_small);
    EXPECT_EQ(short_buffer.length, 20U);
    EXPECT_EQ(short_buffer.buffer, std::string(19, untouched));

    const written exact = write(vc::datetime(), 20);
    EXPECT_EQ(exact.status, converter_status::success);
    EXPECT_EQ(exact.length, 20U);
    EXPECT_EQ(exact.buffer, "1970-01-01T00:00:00Z");

    const vc::datetime with_offset(vc::date(10, 3, 2024), vc::time(), 3600);
    const written short_for_offset = write(with_offset, 24);
    EXPECT_EQ(short_for_offset.status, converter_status::buffer_too_small);
    EXPECT_EQ(short_for_offset.length, 25U);
    EXPECT_EQ(short_for_offset.buffer, std::string(24, untouched));
}

TEST(DateTimeText, WriterForms) {
    const vc::date day(10, 3, 2024);
    const vc::time clock(12, 34, 56, 789);
    struct row {
        vc::datetime value;
        const char* text;
    };
    const row rows[] = {
        {vc::datetime(), "1970-01-01T00:00:00Z"},
        {vc::datetime(day, clock, -10800), "2024-03-10T12:34:56-03:00"},
        {vc::datetime(day, clock, 19800), "2024-03-10T12:34:56+05:30"},
        {vc::datetime(day, clock, 30), "2024-03-10T12:34:56+00:00"},
        {vc::datetime(day, clock, -45), "2024-03-10T12:34:56-00:00"},
        {vc::datetime(day, clock, 65535), "2024-03-10T12:34:56+18:12"},
        {vc::datetime(day, clock, -65536), "2024-03-10T12:34:56-18:12"},
        {vc::datetime(day, vc::time(23, 59, 59, 999), 0), "2024-03-10T23:59:59Z"},
        {vc::datetime(vc::date(0, 0, 0), vc::time(), 0), "-0001-11-30T00:00:00Z"},
        {vc::datetime(vc::date(1, 1, 0), vc::time(), 0), "0001-01-01T00:00:00Z"},
        {vc::datetime::from_msecs_since_epoch(-(1LL << 46)), "-0260-02-07T22:37:02Z"},
        {vc::datetime::from_msecs_since_epoch((1LL << 46) - 1), "4199-11-24T01:22:57Z"},
    };
    for (const row& r : rows) {
        EXPECT_EQ(text_of(r.value), r.text);
    }
}

// Both date-time writers about the first year they write straight into the buffer: year 1 for
// the date-time text (whose year 0 the writer of any year reports as 1), year 0 for RFC 3339.
// Each asks for exactly the length of its text.
TEST(DateTimeText, WritersAtTheFirstYearOfTheirFastPath) {
    struct row {
        vc::datetime value;
        const char* text;
        const char* rfc3339;  // nullptr: refused
    };
    const vc::time last(23, 59, 59, 999);
    const row rows[] = {
        {vc::datetime(vc::date(31, 12, -1), last, 0), "-0001-12-31T23:59:59Z", nullptr},
        {vc::datetime(vc::date(1, 1, 0), vc::time(), 60), "0001-01-01T00:00:00+00:01",
         "0000-01-01T00:00:00.000+00:01"},
        {vc::datetime(vc::date(31, 12, 0), last, -5400), "0001-12-31T23:59:59-01:30",
         "0000-12-31T23:59:59.999-01:30"},
        {vc::datetime(vc::date(1, 1, 1), vc::time(0, 0, 0, 1), 5400), "0001-01-01T00:00:00+01:30",
         "0001-01-01T00:00:00.001+01:30"},
        {vc::datetime(vc::date(1, 1, 1), vc::time(), 0), "0001-01-01T00:00:00Z",
         "0001-01-01T00:00:00.000Z"},
    };
    vc::chars_converter<vc::datetime> converter;
    for (const row& r : rows) {
        for (const bool rfc3339 : {false, true}) {
            const char* const expected = rfc3339 ? r.rfc3339 : r.text;
            const auto make = [&](char* buffer, std::size_t& length) {
                return rfc3339 ? converter.make_chars_rfc3339(buffer, length, r.value)
                               : converter.make_chars(buffer, length, r.value);
            };
            char buffer[40];
            std::size_t length = expected == nullptr ? sizeof buffer : std::strlen(expected) - 1;
            const std::size_t asked = length;
            EXPECT_EQ(make(buffer, length), expected == nullptr
                                                ? converter_status::invalid_format
                                                : converter_status::buffer_too_small)
                << r.text;
            EXPECT_EQ(length, expected == nullptr ? asked : asked + 1) << r.text;
            if (expected != nullptr) {
                EXPECT_EQ(make(buffer, length), converter_status::success) << expected;
                EXPECT_EQ(std::string(buffer, length), expected);
            }
        }
    }
}

TEST(DateTimeText, ReaderExamples) {
    vc::datetime west;
    vc::datetime utc;
    ASSERT_EQ(read(west, "2024-03-10T12:00:00-03:00"), converter_status::success);
    ASSERT_EQ(read(utc, "2024-03-10T15:00:00Z"), converter_status::success);
    EXPECT_EQ(west, utc);
    EXPECT_EQ(west.get_offset(), -10800);
    EXPECT_EQ(west.get_time(), vc::time(12, 0, 0, 0));
    EXPECT_EQ(utc.get_offset(), 0);

    struct row {
        const char* text;
        vc::datetime value;
    };
    const vc::date day(10, 3, 2024);
    const row rows[] = {
        {"2024-03-10T12:00:00+00:00", vc::datetime(day, vc::time(12, 0, 0, 0), 0)},
        {"  2024-03-10T12:00:00Z  ", vc::datetime(day, vc::time(12, 0, 0, 0), 0)},
        {"2024-02-30T00:00:00Z", vc::datetime(vc::date(1, 3, 2024), vc::time(), 0)},
        {"2024-03-10T12:00:00.5Z", vc::datetime(day, vc::time(12, 0, 0, 500), 0)},
        {"2024-03-10T12:34:56.789-03:00", vc::datetime(day, vc::time(12, 34, 56, 789), -10800)},
        {"2024-03-10T23:59:59.999999+05:30", vc::datetime(day, vc::time(23, 59, 59, 999), 19800)},
        {"2024-03-10T24:00:00Z", vc::datetime(vc::date(11, 3, 2024), vc::time(), 0)},
        {"2024-03-10T12:00:00+00:99", vc::datetime(day, vc::time(12, 0, 0, 0), 5940)},
        {"2024-03-10T12:00:00+18:12", vc::datetime(day, vc::time(12, 0, 0, 0), 65520)},
        {"2024-03-10T12:00:00-18:12", vc::datetime(day, vc::time(12, 0, 0, 0), -65520)},
        {"0000-01-01T00:00:00Z", vc::datetime(vc::date(1, 1, 0), vc::time(), 0)},
        // The last wall clock a datetime holds, at any offset.
        {"4199-11-24T01:22:57.663Z", vc::datetime::from_msecs_since_epoch((1LL << 46) - 1)},
        {"4199-11-24T01:22:57.663+18:12",
         vc::datetime(vc::date(24, 11, 4199), vc::time(1, 22, 57, 663), 65520)},
    };
    for (const row& r : rows) {
        vc::datetime out = failure_datetime;
        EXPECT_EQ(read(out, r.text), converter_status::success) << r.text;
        EXPECT_TRUE(same(out, r.value)) << r.text << " read as " << text_of(out);
    }
    // Offset 0 written with a numeric designator writes back with Z.
    vc::datetime zero;
    ASSERT_EQ(read(zero, "2024-03-10T12:00:00+00:00"), converter_status::success);
    EXPECT_EQ(text_of(zero), "2024-03-10T12:00:00Z");
}

TEST(DateTimeText, ReaderRefusesWithTheFailureValue) {
    const std::string refused[] = {
        "",
        "   ",
        "2024-03-10T12:00:00",
        "2024-03-10t12:00:00Z",
        "2024-03-10T12:00:00z",
        "2024-03-10 12:00:00Z",
        "\t2024-03-10T12:00:00Z",
        "2024-03-10T12:00:00Z\n",
        "2024-03-10T12:00:00+0300",
        "2024-03-10T12:00:00+03:0",
        "2024-03-10T12:00:00+03:000",
        "2024-03-10T12:00:00.Z",
        "2024-03-10T12:00:00,5Z",
        "2024-03-10T12:00:00Zx",
        "2024-03-10T12:00:00ZZ",
        "2024-03-10T12:00Z",
        "2024-3-10T12:00:00Z",
        "-0001-11-30T00:00:00Z",  // the failure value's own text
        "+2024-03-10T12:00:00Z",
        "2024-03-10T-1:00:00Z",
        "2024-03-10T12:00:00.-5Z",
        "2024-03-10T1\xB2:00:00Z",
        std::string("2024-03-10T12:00:00Z\0", 21),
        // Offsets the offset field cannot hold.
        "2024-03-10T12:00:00+18:13",
        "2024-03-10T12:00:00-18:13",
        "2024-03-10T12:00:00+17:99",
        "2024-03-10T12:00:00+99:99",
        // Wall clocks past what a datetime holds.
        "4199-11-24T01:22:57.664Z",
        "4199-11-24T01:22:58Z",
        "9999-12-31T23:59:59Z",
    };
    for (const std::string& text : refused) {
        vc::datetime out(vc::date(10, 3, 2024), vc::time(1, 0, 0, 0), 60);
        EXPECT_EQ(read(out, text), converter_status::invalid_format) << text;
        EXPECT_TRUE(same(out, failure_datetime)) << text;
    }
    EXPECT_EQ(text_of(failure_datetime), "-0001-11-30T00:00:00Z");
}

TEST(DateTimeText, OverlongFractionLeavesTheOutputAsItWas) {
    const std::string digits32(32, '7');
    const vc::datetime before(vc::date(10, 3, 2024), vc::time(1, 0, 0, 0), 60);
    vc::datetime out = before;
    EXPECT_EQ(read(out, "2024-03-10T12:00:00." + digits32 + "7Z"),
              converter_status::invalid_format);
    EXPECT_TRUE(same(out, before));
    EXPECT_EQ(read(out, "2024-03-10T12:00:00." + digits32 + "Z"), converter_status::success);
    EXPECT_EQ(out.get_time(), vc::time(12, 0, 0, 777));
}

// Thousands of random and mutated texts: the reader accepts exactly what the pattern matches,
// and reads what a slow reference computes from the pattern's groups.
TEST(DateTimeText, ReaderAgreesWithTheRegularExpression) {
    const std::regex pattern(vorn::test::datetime_pattern);
    std::mt19937 random(2024);
    const auto below = [&](unsigned n) { return static_cast<unsigned>(random() % n); };
    const auto digits = [&](unsigned n) {
        std::string s;
        for (unsigned i = 0; i < n; ++i) {
            s += static_cast<char>('0' + below(10));
        }
        return s;
    };
    const std::string alphabet = std::string("0123456789-:.TZtz+ \t\xB2x", 23) + '\0';

    int matched = 0;
    int accepted = 0;
    for (int i = 0; i < 6000; ++i) {
        // A well-formed timestamp with random digits: years mostly within what a datetime
        // holds, offsets mostly within what its field holds, any month, day or clock value ...
        std::string text = std::string(below(3), ' ') + std::to_string(below(5)) + digits(3) + "-" +
                           digits(2) + "-" + digits(2) + "T" + digits(2) + ":" + digits(2) + ":" +
                           digits(2);
        if (below(2) == 0) {
            text += "." + digits(1 + below(below(4) == 0 ? 40 : 5));
        }
        if (below(3) == 0) {
            text += "Z";
        } else {
            text += std::string(below(2) == 0 ? "+" : "-") +
                    (below(8) == 0 ? digits(2) : std::to_string(100 + below(19)).substr(1)) + ":" +
                    digits(2);
        }
        text += std::string(below(3), ' ');
        // ... then, more often than not, a few mutations.
        for (unsigned n = below(5) < 2 ? 0 : 1 + below(3); n > 0; --n) {
            const std::size_t at = below(static_cast<unsigned>(text.size()) + 1);
            const char c = alphabet[below(static_cast<unsigned>(alphabet.size()))];
            switch (below(4)) {
                case 0:
                    text.insert(at, 1, c);
                    break;
                case 1:
                    if (at < text.size()) {
                        text.erase(at, 1);
                    }
                    break;
                case 2:
                    if (at < text.size()) {
                        text[at] = c;
                    }
                    break;
                default:
                    text = text.substr(0, at);
                    break;
            }
        }
        if (i % 10 == 0) {  // and some texts of random characters
            text.clear();
            for (unsigned n = below(30); n > 0; --n) {
                text += alphabet[below(static_cast<unsigned>(alphabet.size()))];
            }
        }

        const vorn::test::datetime_expectation expected =
            vorn::test::expect_datetime(pattern, text);
        const vc::datetime before(vc::date(1, 2, 2003), vc::time(4, 5, 6, 7), 480);
        vc::datetime out = before;
        const converter_status status = read(out, text);
        switch (expected.result) {
            case vorn::test::datetime_expectation::refused:
                ASSERT_EQ(status, converter_status::invalid_format) << '"' << text << '"';
                ASSERT_TRUE(same(out, failure_datetime)) << '"' << text << '"';
                break;
            case vorn::test::datetime_expectation::unchanged:
                ASSERT_EQ(status, converter_status::invalid_format) << '"' << text << '"';
                ASSERT_TRUE(same(out, before)) << '"' << text << '"';
                break;
            case vorn::test::datetime_expectation::accepted:
                ASSERT_EQ(status, converter_status::success) << '"' << text << '"';
                ASSERT_EQ(out.to_msecs_since_epoch(), expected.instant) << '"' << text << '"';
                ASSERT_EQ(out.get_offset(), expected.offset) << '"' << text << '"';
                ++accepted;
                break;
        }
        matched += expected.result != vorn::test::datetime_expectation::refused ? 1 : 0;
    }
    // Both sides of the question were asked often.
    EXPECT_GT(matched, 1000);
    EXPECT_GT(accepted, 1000);
    EXPECT_GT(6000 - matched, 1000);
}

TEST(DateTimeText, WrittenValuesReadBackWithoutTheirMilliseconds) {
    std::mt19937_64 random(5);
    // Wall clocks from year 1 to the end of the field's range, offsets in whole minutes.
    const long long first = -62135596800000LL;  // 0001-01-01T00:00:00
    const long long last = (1LL << 46) - 1;
    for (int i = 0; i < 20000; ++i) {
        const long long local = first + static_cast<long long>(random() % (last - first + 1));
        const int offset = (static_cast<int>(random() % 2183) - 1091) * 60;  // -18:11 to +18:11
        vc::datetime wall = vc::datetime::from_msecs_since_epoch(local);
        wall.set_offset(offset);
        const std::string text = text_of(wall);
        vc::datetime back;
        ASSERT_EQ(read(back, text), converter_status::success) << text;
        ASSERT_EQ(back.get_offset(), offset) << text;
        ASSERT_EQ(back.to_msecs_since_epoch(),
                  wall.to_msecs_since_epoch() - wall.get_time().get_milliseconds())
            << text;
    }
}

// ---------------------------------------------------------------------------------------------
// No allocation

TEST(Converters, WritersAndReadersAllocateNothing) {
    const vc::datetime value(vc::date(10, 3, 2024), vc::time(12, 34, 56, 789), -10800);
    const std::string good = "2024-03-10T12:34:56.789-03:00";
    const std::string bad = "2024-03-10T12:34:56.789-03-00";
    char buffer[64];
    vorn::test::allocation_counter counter;
    for (int i = 0; i < 3; ++i) {
        std::size_t length = sizeof buffer;
        EXPECT_EQ(vc::chars_converter<vc::date>().make_chars(buffer, length, value.get_date()),
                  converter_status::success);
        length = sizeof buffer;
        EXPECT_EQ(vc::chars_converter<vc::time>().make_chars(buffer, length, value.get_time()),
                  converter_status::success);
        length = sizeof buffer;
        EXPECT_EQ(vc::chars_converter<vc::datetime>().make_chars(buffer, length, value),
                  converter_status::success);
        vc::date d;
        vc::time t;
        vc::datetime dt;
        EXPECT_EQ(vc::value_converter<vc::date>().make_value(d, good.data(), 10),
                  converter_status::success);
        EXPECT_EQ(vc::value_converter<vc::date>().make_value(d, bad.data(), 9),
                  converter_status::invalid_format);
        EXPECT_EQ(vc::value_converter<vc::time>().make_value(t, good.data() + 11, 12),
                  converter_status::success);
        EXPECT_EQ(vc::value_converter<vc::time>().make_value(t, bad.data(), 9),
                  converter_status::invalid_format);
        EXPECT_EQ(vc::value_converter<vc::datetime>().make_value(dt, good.data(), good.size()),
                  converter_status::success);
        EXPECT_EQ(vc::value_converter<vc::datetime>().make_value(dt, bad.data(), bad.size()),
                  converter_status::invalid_format);
    }
    EXPECT_EQ(counter.count(), 0U);
}

// ---------------------------------------------------------------------------------------------
// error_datetime

TEST(ErrorDatetime, NameMessageAndArguments) {
    const vc::error_datetime& category = vc::error_datetime::instance();
    EXPECT_EQ(&category, &vc::error_datetime::instance());
    EXPECT_STREQ(category.get_name(), "vorn-core-error-date");
    EXPECT_STREQ(category.get_message(1), "O formato informado está fora do esperado");

    vc::result::stack status;
    vc::result::stack::item& item = status.push_item(category, 1);
    item.set_argument("before", "kept");
    category.create(item, vc::result::code<vc::error_datetime, 1>(), "2024-03-10 12:00");
    std::vector<std::pair<std::string, std::string>> arguments;
    for (const vc::result::argument& a : item.get_argument_range()) {
        arguments.emplace_back(a.get_name(), a.get_value());
    }
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"before", "kept"},
        {"expected-format", "YYYY-mm-ddTHH:MM:SS[.sssss](Z|(+|-)HH:MM)"},
        {"received-value", "2024-03-10 12:00"},
    };
    EXPECT_EQ(arguments, expected);
    EXPECT_EQ(item.get_value(), 1);
    EXPECT_TRUE(item.has_failed());
    EXPECT_EQ(item.get_category(), category);
    EXPECT_EQ(status.get_value(), 1);
}

TEST(ErrorDatetime, ReportingARefusedTimestamp) {
    const std::string text = "2024-03-10 12:34:56";
    vc::datetime when;
    ASSERT_EQ(read(when, text), converter_status::invalid_format);

    vc::result::stack status;
    status.push(vc::result::code<vc::error_datetime, 1>(), text);
    EXPECT_TRUE(status.has_failed());
    EXPECT_STREQ(status.get_message(), "O formato informado está fora do esperado");
    EXPECT_STREQ(status.get_category().get_name(), "vorn-core-error-date");
    EXPECT_STREQ(status.begin()->get_argument_value("received-value"), text.c_str());

    // The received text is kept up to what the argument record holds besides its name.
    vc::result::stack long_status;
    long_status.push(vc::result::code<vc::error_datetime, 1>(), std::string(300, '9'));
    EXPECT_EQ(std::string(long_status.begin()->get_argument_value("received-value")),
              std::string(239, '9'));
}

TEST(ErrorDatetime, UndefinedCodeEndsTheProcess) {
    const auto outcome =
        vorn::test::run_in_child([] { vc::error_datetime::instance().get_message(2); });
    EXPECT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.exit_status, 1);
    EXPECT_EQ(outcome.standard_error,
              "Invalid status code value: 0x00000002 (vorn-core-error-date)\n");
}

// ---------------------------------------------------------------------------------------------
// The strict RFC 3339 reader and the writer that keeps milliseconds

namespace {

struct rfc3339_row {
    const char* text;
    long long instant;  // expected milliseconds since the epoch (python3's datetime)
    int offset;
};

// Instants from python3's datetime.fromisoformat, fractions cut to milliseconds.
constexpr rfc3339_row rfc3339_accepted[] = {
    {"1970-01-01T00:00:00Z", 0LL, 0},
    {"2023-02-28t00:00:00z", 1677542400000LL, 0},
    {"2000-02-29 12:00:00-18:12", 951891120000LL, -65520},
    {"1900-02-28T01:02:03.5Z", -2203973876500LL, 0},
    {"4199-11-24T01:22:57.663Z", 70368744177663LL, 0},
    {"2024-12-31T23:59:59.123456789Z", 1735689599123LL, 0},
    {"2024-04-30T00:00:00.0-00:00", 1714435200000LL, 0},
    {"2400-02-29T10:20:30.05+05:30", 13574580630050LL, 19800},
    {"2024-03-10T12:34:56.789-03:00", 1710084896789LL, -10800},
    {"1600-02-29T00:00:00+00:01", -11670998460000LL, 60},
    {"0000-01-01T00:00:00Z", -62167219200000LL, 0},  // the astronomical year 0
};

bool same_value(const vc::datetime& a, const vc::datetime& b) {
    return a.to_msecs_since_epoch() == b.to_msecs_since_epoch() && a.get_offset() == b.get_offset();
}

}  // namespace

TEST(Rfc3339Text, StrictReaderAcceptsTheFormWithinEveryFieldsBounds) {
    for (const rfc3339_row& row : rfc3339_accepted) {
        vc::datetime out;
        EXPECT_EQ(vc::value_converter<vc::datetime>().make_value_rfc3339(out, row.text,
                                                                         std::strlen(row.text)),
                  converter_status::success)
            << row.text;
        EXPECT_EQ(out.to_msecs_since_epoch(), row.instant) << row.text;
        EXPECT_EQ(out.get_offset(), row.offset) << row.text;
    }
}

TEST(Rfc3339Text, StrictReaderRefusesWithTheFailureValue) {
    const vc::datetime failure(vc::date(0, 0, 0), vc::time(), 0);
    const char* const refused[] = {"2024-13-40T99:99:99Z",
                                   "2024-00-10T00:00:00Z",
                                   "2024-01-00T00:00:00Z",
                                   "2024-01-32T00:00:00Z",
                                   "2023-02-29T00:00:00Z",
                                   "1900-02-29T00:00:00Z",
                                   "2024-04-31T00:00:00Z",
                                   "2024-01-01T24:00:00Z",
                                   "2024-01-01T00:60:00Z",
                                   "2024-01-01T23:59:60Z",  // a leap second
                                   "2024-01-01T00:00:00+24:00",
                                   "2024-01-01T00:00:00+00:60",
                                   "2024-01-01T00:00:00+18:13",
                                   "2024-02-29T23:59:59.999+23:59",
                                   "4199-11-24T01:22:57.664Z",
                                   "9999-12-31T23:59:59Z",
                                   "2024-01-01T00:00:00.Z",
                                   "2024-01-01T00:00:00",
                                   "2024-01-01T00:00:00+0000",
                                   "2024-01-01T00:00:00+00",
                                   "2024-01-01x00:00:00Z",
                                   "2024-01-01  00:00:00Z",
                                   " 2024-01-01T00:00:00Z",
                                   "2024-01-01T00:00:00Z ",
                                   "2024-01-01T00:00:00ZZ",
                                   "2024-1-01T00:00:00Z",
                                   "+024-01-01T00:00:00Z",
                                   "-024-01-01T00:00:00Z",
                                   "2024/01/01T00:00:00Z",
                                   "2024-01-01T00:00:00,5Z",
                                   "2024-01-01T0a:00:00Z",
                                   "2024-01-01T00:00:00\xb5Z",
                                   "",
                                   "2024-01-01T00:00:00.5+01:00x"};
    for (const char* text : refused) {
        vc::datetime out = vc::datetime::from_msecs_since_epoch(123456);
        EXPECT_EQ(
            vc::value_converter<vc::datetime>().make_value_rfc3339(out, text, std::strlen(text)),
            converter_status::invalid_format)
            << text;
        EXPECT_TRUE(same_value(out, failure)) << text;
    }
}

// Where the forms coincide (T, Z, at most 32 fraction digits) the designed reader reads the
// same value; it refuses the lower-case letters and the space.
TEST(Rfc3339Text, DesignedReaderReadsWhatTheStrictOneAcceptsWhereTheFormsCoincide) {
    for (const rfc3339_row& row : rfc3339_accepted) {
        const std::string text = row.text;
        vc::datetime lenient;
        const converter_status status =
            vc::value_converter<vc::datetime>().make_value(lenient, text.data(), text.size());
        if (text.find_first_of("tz ") != std::string::npos) {
            EXPECT_EQ(status, converter_status::invalid_format) << text;
            continue;
        }
        EXPECT_EQ(status, converter_status::success) << text;
        EXPECT_EQ(lenient.to_msecs_since_epoch(), row.instant) << text;
        EXPECT_EQ(lenient.get_offset(), row.offset) << text;
    }
}

TEST(Rfc3339Text, MillisecondWriterFormsProtocolAndRoundTrip) {
    const vc::datetime value(vc::date(10, 3, 2024), vc::time(12, 34, 56, 7), -10800);
    char buffer[40];
    std::size_t length = 28;
    vc::chars_converter<vc::datetime> converter;
    EXPECT_EQ(converter.make_chars_rfc3339(buffer, length, value),
              converter_status::buffer_too_small);
    EXPECT_EQ(length, 29U);
    EXPECT_EQ(converter.make_chars_rfc3339(buffer, length, value), converter_status::success);
    EXPECT_EQ(std::string(buffer, length), "2024-03-10T12:34:56.007-03:00");
    length = sizeof buffer;
    EXPECT_EQ(converter.make_chars_rfc3339(buffer, length, vc::datetime()),
              converter_status::success);
    EXPECT_EQ(std::string(buffer, length), "1970-01-01T00:00:00.000Z");
    length = sizeof buffer;
    const vc::datetime year_minus_one(vc::date(31, 12, -1), vc::time(), 0);
    EXPECT_EQ(converter.make_chars_rfc3339(buffer, length, year_minus_one),
              converter_status::invalid_format);
    EXPECT_EQ(length, sizeof buffer);

    // Wall clocks from year 0 to the end of the range, offsets of whole minutes.
    std::mt19937_64 random(13);
    const long long first = -62167219200000LL;
    const long long last = (1LL << 46) - 1;
    for (int i = 0; i < 20000; ++i) {
        const long long local =
            i == 0
                ? first
                : (i == 1
                       ? last
                       : first + static_cast<long long>(
                                     random() % static_cast<unsigned long long>(last - first + 1)));
        const int offset = (static_cast<int>(random() % 2183U) - 1091) * 60;
        vc::datetime wall = vc::datetime::from_msecs_since_epoch(local);
        wall.set_offset(offset);
        length = sizeof buffer;
        ASSERT_EQ(converter.make_chars_rfc3339(buffer, length, wall), converter_status::success);
        vc::datetime back;
        ASSERT_EQ(vc::value_converter<vc::datetime>().make_value_rfc3339(back, buffer, length),
                  converter_status::success)
            << std::string(buffer, length);
        ASSERT_TRUE(same_value(back, wall)) << std::string(buffer, length);
    }
}

// ---------------------------------------------------------------------------------------------
// std::chrono, std::hash and operator<<

TEST(CalendarChrono, DatetimeRoundTripsOverTheWholeRangeAndRefusesBeyondIt) {
    using namespace std::chrono;
    using ms_point = time_point<system_clock, milliseconds>;
    const long long lowest = -(1LL << 46);
    const long long highest = (1LL << 46) - 1;
    const vc::datetime failure(vc::date(0, 0, 0), vc::time(), 0);
    vc::value_converter<vc::datetime> reader;
    std::mt19937_64 random(1970);
    for (int i = 0; i < 10000; ++i) {
        const long long msecs = i == 0   ? lowest
                                : i == 1 ? highest
                                         : lowest + static_cast<long long>(random() >> 17);
        vc::datetime out;
        ASSERT_EQ(reader.make_value(out, ms_point(milliseconds(msecs))), converter_status::success);
        ASSERT_EQ(out.to_msecs_since_epoch(), msecs);
        ASSERT_EQ(out.get_offset(), 0);
        ASSERT_EQ(out.to_sys_time().time_since_epoch().count(), msecs);
    }
    // Any offset: the instant is what to_sys_time gives.
    const vc::datetime noon(vc::date(10, 3, 2024), vc::time(12, 0, 0, 0), -10800);
    EXPECT_EQ(noon.to_sys_time(), sys_days(year(2024) / 3 / 10) + hours(15));

    vc::datetime out;
    EXPECT_EQ(reader.make_value(out, ms_point(milliseconds(highest + 1))),
              converter_status::invalid_format);
    EXPECT_TRUE(same_value(out, failure));
    out = vc::datetime();
    EXPECT_EQ(reader.make_value(out, ms_point(milliseconds(lowest - 1))),
              converter_status::invalid_format);
    EXPECT_TRUE(same_value(out, failure));
    // Coarse ticks are bounded before they are multiplied; fine ones floor toward -infinity.
    EXPECT_EQ(reader.make_value(out, time_point<system_clock, hours>(hours(LLONG_MAX))),
              converter_status::invalid_format);
    EXPECT_EQ(reader.make_value(out, time_point<system_clock, hours>(hours(-19546873))),
              converter_status::success);  // the earliest whole hour held
    EXPECT_EQ(out.to_msecs_since_epoch(), -19546873LL * 3600000);
    EXPECT_EQ(reader.make_value(out, time_point<system_clock, hours>(hours(-19546874))),
              converter_status::invalid_format);
    EXPECT_EQ(reader.make_value(out, sys_time<nanoseconds>(nanoseconds(-1))),
              converter_status::success);
    EXPECT_EQ(out.to_msecs_since_epoch(), -1);
    EXPECT_EQ(reader.make_value(out, sys_time<microseconds>(microseconds(1999))),
              converter_status::success);
    EXPECT_EQ(out.to_msecs_since_epoch(), 1);
    EXPECT_EQ(reader.make_value(out, sys_time<nanoseconds>(nanoseconds(LLONG_MIN))),
              converter_status::success);
    EXPECT_EQ(out.to_msecs_since_epoch(), LLONG_MIN / 1000000 - 1);
    EXPECT_EQ(
        reader.make_value(out, time_point<system_clock, duration<unsigned long long, std::micro>>(
                                   duration<unsigned long long, std::micro>(ULLONG_MAX))),
        converter_status::invalid_format);
}

TEST(CalendarChrono, TimeAndDateRoundTrip) {
    using namespace std::chrono;
    for (const int msecs : {INT_MIN, -1, 0, 45296789, INT_MAX}) {
        const vc::time t = vc::time::from_milliseconds(msecs);
        EXPECT_EQ(t.to_duration(), milliseconds(msecs));
        EXPECT_EQ(vc::time::from_duration(t.to_duration()), t);
    }
    EXPECT_EQ(vc::time::from_duration(milliseconds(4294967296LL + 5)).to_milliseconds(), 5);

    for (const long long jdn :
         {LLONG_MIN, LLONG_MIN + 2440587, -10246840LL, 0LL, 2440588LL, 13689325LL, LLONG_MAX}) {
        const vc::date d = vc::date::from_julian_day(jdn);
        EXPECT_EQ(vc::date::from_days_since_epoch(d.to_days_since_epoch()), d);
    }
    EXPECT_EQ(vc::date(1, 1, 2000).to_days_since_epoch().count(), 10957);
    EXPECT_EQ(vc::date::from_days_since_epoch(weeks(1)), vc::date(8, 1, 1970));
#if __cplusplus >= 202002L
    // Every seventh day of the years year_month_day holds (all weekdays, all days of the month
    // in turn), and one past each end.
    const vc::date first = vc::date::from_julian_day(-10246840);
    const vc::date last = vc::date::from_julian_day(13689325);
    EXPECT_EQ(first.to_year_month_day(), year(-32767) / January / 1);
    EXPECT_EQ(last.to_year_month_day(), year(32767) / December / 31);
    EXPECT_FALSE(vc::date::from_julian_day(-10246841).to_year_month_day().ok());
    EXPECT_FALSE(vc::date::from_julian_day(13689326).to_year_month_day().ok());
    for (long long jdn = first.to_julian_day(); jdn <= last.to_julian_day(); jdn += 7) {
        const vc::date d = vc::date::from_julian_day(jdn);
        const year_month_day ymd = d.to_year_month_day();
        ASSERT_TRUE(ymd.ok());
        ASSERT_EQ(sys_days(ymd), d.to_sys_days());
        ASSERT_EQ(vc::date::from_year_month_day(ymd), d);
        ASSERT_EQ(vc::date::from_sys_days(d.to_sys_days()), d);
    }
    EXPECT_EQ(vc::date::from_year_month_day(year(2023) / 2 / 29), vc::date(1, 3, 2023));
    EXPECT_EQ(vc::date(1, 1, 0).to_year_month_day(), year(0) / 1 / 1);
#endif
}

TEST(CalendarChrono, HashFollowsEqualityAndStreamsWriteTheTextForms) {
    const vc::datetime noon(vc::date(10, 3, 2024), vc::time(12, 0, 0, 0), -10800);
    const vc::datetime utc = noon.to_offset(0);  // the const overload
    EXPECT_EQ(std::hash<vc::datetime>()(noon), std::hash<vc::datetime>()(utc));
    EXPECT_EQ(std::hash<vc::date>()(vc::date(29, 2, 2023)),
              std::hash<vc::date>()(vc::date(1, 3, 2023)));
    EXPECT_EQ(std::hash<vc::time>()(vc::time(1, 75, 0, 0)),
              std::hash<vc::time>()(vc::time(2, 15, 0, 0)));

    std::ostringstream text;
    text << vc::date(10, 3, 2024) << ' ' << vc::time(9, 5, 7, 45) << ' ' << noon;
    EXPECT_EQ(text.str(), "2024-03-10 09:05:07.045 2024-03-10T12:00:00-03:00");
    EXPECT_TRUE(text.good());
    text << vc::date(1, 1, 100000);
    EXPECT_TRUE(text.fail());
    EXPECT_EQ(text.str(), "2024-03-10 09:05:07.045 2024-03-10T12:00:00-03:00");
}
