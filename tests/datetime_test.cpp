// SPDX-License-Identifier: MIT
// Calendar values: date (day numbers and the rolling calendar), time (signed milliseconds),
// datetime (wall clock, offset, instants) and the clock readers.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <utility>

#include "datetime/calendar.hpp"
#include "support/fixed_clock.hpp"
#include "vorn/core/date.hpp"
#include "vorn/core/datetime.hpp"
#include "vorn/core/time.hpp"

namespace vc = vorn::core::v2;

namespace {

struct ymd {
    int year;
    unsigned int month;
    unsigned int day;
    bool operator==(const ymd& o) const {
        return year == o.year && month == o.month && day == o.day;
    }
};

ymd components(const vc::date& d) {
    return {d.get_year(), d.get_month(), d.get_day()};
}

std::ostream& operator<<(std::ostream& os, const ymd& v) {
    return os << v.year << '-' << v.month << '-' << v.day;
}

struct hms {
    int hour;
    unsigned int minute;
    unsigned int second;
    unsigned int milliseconds;
    bool operator==(const hms& o) const {
        return hour == o.hour && minute == o.minute && second == o.second &&
               milliseconds == o.milliseconds;
    }
};

hms components(const vc::time& t) {
    return {t.get_hour(), t.get_minute(), t.get_second(), t.get_milliseconds()};
}

std::ostream& operator<<(std::ostream& os, const hms& v) {
    return os << v.hour << ':' << v.minute << ':' << v.second << '.' << v.milliseconds;
}

bool is_leap(long long year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned int days_in_month(long long year, unsigned int month) {
    static const unsigned int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap(year) ? 29 : days[month - 1];
}

// Day number of a date through the standard library's civil calendar, which counts days from
// 1970-01-01 (day number 2440588).
long long chrono_julian_day(int year, unsigned int month, unsigned int day) {
    const std::chrono::sys_days days{std::chrono::year{year} / std::chrono::month{month} /
                                     std::chrono::day{day}};
    return days.time_since_epoch().count() + 2440588LL;
}

// Sets TZ for the lifetime of the object and restores what was there.
class time_zone_scope {
  public:
    explicit time_zone_scope(const char* zone) {
        const char* old = std::getenv("TZ");
        had_ = old != nullptr;
        if (had_) {
            old_ = old;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~time_zone_scope() {
        if (had_) {
            setenv("TZ", old_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    time_zone_scope(const time_zone_scope&) = delete;
    time_zone_scope& operator=(const time_zone_scope&) = delete;

  private:
    bool had_ = false;
    std::string old_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// date

TEST(Date, DefaultIsTheUnixEpoch) {
    const vc::date d;
    EXPECT_EQ(d.to_julian_day(), 2440588);
    EXPECT_EQ(components(d), (ymd{1970, 1, 1}));
}

TEST(Date, ConstructionRollsDaysAndMonthsOver) {
    struct row {
        unsigned int day, month;
        int year;
        ymd reported;
    };
    const row rows[] = {
        {1, 1, 1970, {1970, 1, 1}},     {29, 2, 2024, {2024, 2, 29}}, {29, 2, 2023, {2023, 3, 1}},
        {32, 1, 2024, {2024, 2, 1}},    {0, 3, 2024, {2024, 2, 29}},  {0, 3, 2023, {2023, 2, 28}},
        {0, 1, 2024, {2023, 12, 31}},   {1, 13, 2024, {2025, 1, 1}},  {1, 14, 2024, {2025, 2, 1}},
        {15, 0, 2024, {2023, 12, 15}},  {1, 15, 2024, {2025, 3, 1}},  {1, 25, 2024, {2026, 1, 1}},
        {31, 24, 2024, {2025, 12, 31}}, {1, 99, 2024, {2032, 3, 1}},  {0, 0, 0, {-1, 11, 30}},
        {400, 1, 2023, {2024, 2, 4}},
    };
    for (const row& r : rows) {
        EXPECT_EQ(components(vc::date(r.day, r.month, r.year)), r.reported)
            << r.day << '/' << r.month << '/' << r.year;
    }
    EXPECT_EQ(vc::date(1, 1, 2000).to_julian_day(), 2451545);
    EXPECT_EQ(vc::date(0, 0, 0).to_julian_day(), 1721028);
}

TEST(Date, MonthsAboveTwelveCarryWholeYears) {
    // Whatever the month, it is the same as the month of its year-normalised form.
    const unsigned int months[] = {13, 14, 15, 24, 25, 99, 1000, 4000000000U, UINT_MAX};
    const int years[] = {2024, 0, -4800, -2000000000};
    for (const unsigned int month : months) {
        for (const int year : years) {
            const unsigned int index = month - 1;
            const vc::date expected(17, index % 12 + 1, year + static_cast<int>(index / 12));
            EXPECT_EQ(vc::date(17, month, year), expected) << month << ' ' << year;
        }
    }
}

TEST(Date, YearZeroIsReportedAsOneButKeepsItsPlace) {
    const vc::date zero(1, 1, 0);
    const vc::date one(1, 1, 1);
    EXPECT_EQ(components(zero), (ymd{1, 1, 1}));
    EXPECT_EQ(one.to_julian_day() - zero.to_julian_day(), 366);  // year 0 is a leap year
    EXPECT_LT(zero, one);
    EXPECT_EQ(components(vc::date(1, 1, -1)), (ymd{-1, 1, 1}));
    EXPECT_EQ(zero.to_julian_day() - vc::date(31, 12, -1).to_julian_day(), 1);
    EXPECT_EQ(components(vc::date::from_julian_day(1721060)), (ymd{1, 1, 1}));
    EXPECT_EQ(components(vc::date::from_julian_day(1721059)), (ymd{-1, 12, 31}));
    EXPECT_EQ(components(vc::date::from_julian_day(0)), (ymd{-4713, 11, 24}));
}

// Every day from 1 January of year -1200 to the end of year 2800, counted by hand, against the
// constructor and the getters; day numbers of a sample are also checked against std::chrono.
TEST(Date, AgreesWithAnIndependentDayCount) {
    long long julian_day = chrono_julian_day(-1200, 1, 1);
    std::mt19937 random(7);
    for (long long year = -1200; year <= 2800; ++year) {
        for (unsigned int month = 1; month <= 12; ++month) {
            const unsigned int length = days_in_month(year, month);
            for (unsigned int day = 1; day <= length; ++day, ++julian_day) {
                const vc::date d(day, month, static_cast<int>(year));
                if (d.to_julian_day() != julian_day) {
                    FAIL() << year << '-' << month << '-' << day << ": " << d.to_julian_day()
                           << " instead of " << julian_day;
                }
                const vc::date back = vc::date::from_julian_day(julian_day);
                const ymd expected{year == 0 ? 1 : static_cast<int>(year), month, day};
                if (!(components(back) == expected)) {
                    FAIL() << julian_day << " reads " << components(back);
                }
                if (random() % 97 == 0) {
                    ASSERT_EQ(julian_day, chrono_julian_day(static_cast<int>(year), month, day));
                }
            }
        }
    }
}

TEST(Date, ExtremeYearsGiveTheTrueDayNumber) {
    // A 400-year cycle has 146097 days everywhere, also at the ends of the int range, where a
    // 32-bit intermediate would have wrapped.
    EXPECT_EQ(
        vc::date(1, 1, INT_MAX).to_julian_day() - vc::date(1, 1, INT_MAX - 400).to_julian_day(),
        146097);
    EXPECT_EQ(
        vc::date(1, 1, INT_MIN + 400).to_julian_day() - vc::date(1, 1, INT_MIN).to_julian_day(),
        146097);
    EXPECT_EQ(components(vc::date(31, 12, INT_MAX)), (ymd{INT_MAX, 12, 31}));
    EXPECT_EQ(components(vc::date(1, 1, INT_MIN)), (ymd{INT_MIN, 1, 1}));
    EXPECT_EQ(components(vc::date(1, 1, -4800)), (ymd{-4800, 1, 1}));
    EXPECT_EQ(components(vc::date(1, 3, -4801)), (ymd{-4801, 3, 1}));
    // Past the int range the year is clamped, and the setters work from the clamped year.
    vc::date beyond(1, 13, INT_MAX);
    EXPECT_EQ(components(beyond), (ymd{INT_MAX, 1, 1}));
    beyond.set_day(2);
    EXPECT_EQ(components(beyond), (ymd{INT_MAX, 1, 2}));
}

TEST(Date, AnyDayNumberRoundTripsAndReportsAValidDate) {
    const long long numbers[] = {0,
                                 -1,
                                 1,
                                 2440588,
                                 -32045,
                                 -32044,
                                 146097,
                                 -146097,
                                 1LL << 40,
                                 -(1LL << 40),
                                 1LL << 60,
                                 -(1LL << 60),
                                 LLONG_MAX,
                                 LLONG_MIN,
                                 LLONG_MAX - 146096,
                                 LLONG_MIN + 1};
    for (const long long n : numbers) {
        const vc::date d = vc::date::from_julian_day(n);
        EXPECT_EQ(d.to_julian_day(), n);
        EXPECT_GE(d.get_day(), 1U);
        EXPECT_LE(d.get_day(), 31U);
        EXPECT_GE(d.get_month(), 1U);
        EXPECT_LE(d.get_month(), 12U);
    }
    EXPECT_EQ(vc::date::from_julian_day(1000000000000).get_year(), INT_MAX);
    EXPECT_EQ(vc::date::from_julian_day(-1000000000000).get_year(), INT_MIN);
    EXPECT_EQ(vc::date::from_julian_day(LLONG_MAX).get_year(), INT_MAX);
    EXPECT_EQ(vc::date::from_julian_day(LLONG_MIN).get_year(), INT_MIN);
}

TEST(Date, SettersRebuildFromTheReportedComponents) {
    vc::date d(10, 2, 2023);
    d.set_day(31);
    EXPECT_EQ(components(d), (ymd{2023, 3, 3}));

    d = vc::date(31, 1, 2023);
    d.set_month(2);
    EXPECT_EQ(components(d), (ymd{2023, 3, 3}));

    d = vc::date(29, 2, 2024);
    d.set_year(2023);
    EXPECT_EQ(components(d), (ymd{2023, 3, 1}));

    d = vc::date(15, 6, 2024);
    d.set_month(25);
    EXPECT_EQ(components(d), (ymd{2026, 1, 15}));

    // Year 0 is reported as 1, so rebuilding from the reported year moves the date into year 1.
    d = vc::date(10, 5, 0);
    d.set_day(11);
    EXPECT_EQ(d, vc::date(11, 5, 1));
    d = vc::date(10, 5, 0);
    d.set_month(6);
    EXPECT_EQ(d, vc::date(10, 6, 1));
}

TEST(Date, MoveLeavesTheEpochAndSwapExchanges) {
    vc::date source(10, 3, 2024);
    vc::date target(std::move(source));
    EXPECT_EQ(target, vc::date(10, 3, 2024));
    EXPECT_EQ(source, vc::date());  // NOLINT(bugprone-use-after-move)

    vc::date other(1, 1, 2000);
    other = std::move(target);
    EXPECT_EQ(other, vc::date(10, 3, 2024));
    EXPECT_EQ(target, vc::date());  // NOLINT(bugprone-use-after-move)

    vc::date a(1, 1, 2000);
    vc::date b(2, 2, 2002);
    swap(a, b);
    EXPECT_EQ(a, vc::date(2, 2, 2002));
    EXPECT_EQ(b, vc::date(1, 1, 2000));
    EXPECT_TRUE(b < a && a > b && b <= a && a >= b && a != b && a <= a && a >= a);
}

// The faster day-number conversions of the text forms agree with the general ones at the edges
// of the ranges they take, and just beyond, where they hand over or are not used.
TEST(Calendar, FastConversionsAgreeWithTheGeneralOnesAtTheirEdges) {
    namespace cal = vc::detail;
    const long long days[] = {cal::near_first_julian_day - 1,
                              cal::near_first_julian_day,
                              cal::near_first_julian_day + 1,
                              cal::near_last_julian_day - 1,
                              cal::near_last_julian_day,
                              cal::near_last_julian_day + 1,
                              1721059,
                              1721060,
                              LLONG_MIN,
                              LLONG_MAX};
    for (const long long day : days) {
        const cal::civil_date fast = cal::civil_from_julian_day_near(day);
        const cal::civil_date general = cal::civil_from_julian_day(day);
        EXPECT_EQ(fast.year, general.year) << day;
        EXPECT_EQ(fast.month, general.month) << day;
        EXPECT_EQ(fast.day, general.day) << day;
    }
    for (const unsigned int year : {0U, 1U, 399U, 400U, 1900U, 2000U, 9999U}) {
        for (const unsigned int month : {0U, 1U, 2U, 3U, 12U, 13U, 99U}) {
            for (const unsigned int day : {0U, 1U, 29U, 31U, 99U}) {
                EXPECT_EQ(cal::julian_day_from_digits(day, month, year),
                          cal::julian_day_from_civil(day, month, static_cast<int>(year)))
                    << year << '-' << month << '-' << day;
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// time

TEST(Time, ComponentsCarryAndTheHourCarriesTheSign) {
    struct row {
        int hour;
        unsigned int minute, second, milliseconds;
        int count;
        hms reported;
    };
    const row rows[] = {
        {0, 0, 0, 0, 0, {0, 0, 0, 0}},
        {23, 59, 59, 999, 86399999, {23, 59, 59, 999}},
        {24, 0, 0, 0, 86400000, {24, 0, 0, 0}},
        {1, 75, 0, 0, 8100000, {2, 15, 0, 0}},
        {0, 0, 0, 1500, 1500, {0, 0, 1, 500}},
        {1, 30, 0, 0, 5400000, {1, 30, 0, 0}},
        {-1, 30, 0, 0, -5400000, {-1, 30, 0, 0}},
        {-1, 0, 0, 1, -3600001, {-1, 0, 0, 1}},
        // A component that came from a negative number subtracts.
        {12, static_cast<unsigned int>(-4), 56, 0, 43016000, {11, 56, 56, 0}},
        {596, 31, 23, 647, INT_MAX, {596, 31, 23, 647}},
        {-596, 31, 23, 648, INT_MIN, {-596, 31, 23, 648}},
        // Totals past the int range wrap modulo 2^32, without undefined behaviour.
        {596, 31, 23, 648, INT_MIN, {-596, 31, 23, 648}},
        {-596, 31, 23, 649, INT_MAX, {596, 31, 23, 647}},
        // 3600000 * INT_MAX is -3600000 modulo 2^32, and the other components sum to -61001.
        {INT_MAX, UINT_MAX, UINT_MAX, UINT_MAX, -3661001, {-1, 1, 1, 1}},
    };
    for (const row& r : rows) {
        const vc::time t(r.hour, r.minute, r.second, r.milliseconds);
        EXPECT_EQ(t.to_milliseconds(), r.count) << r.hour << ':' << r.minute << ':' << r.second;
        EXPECT_EQ(components(t), r.reported) << r.count;
    }
    EXPECT_EQ(vc::time(1, 75, 0, 0), vc::time(2, 15, 0, 0));
}

TEST(Time, CountsBetweenMinusOneHourAndZeroHaveHourZero) {
    vc::time t = vc::time::from_milliseconds(-1800000);
    EXPECT_EQ(components(t), (hms{0, 30, 0, 0}));
    t.set_second(0);  // rebuilt with hour 0, so the sum is no longer negated
    EXPECT_EQ(t.to_milliseconds(), 1800000);
}

TEST(Time, SettersRebuildWithTheSignOfTheResultingHour) {
    struct row {
        vc::time start;
        void (*apply)(vc::time&);
        int count;
    };
    const row rows[] = {
        {vc::time(1, 15, 0, 0), [](vc::time& t) { t.set_hour(-2); }, -8100000},
        {vc::time(-2, 15, 0, 0), [](vc::time& t) { t.set_hour(3); }, 11700000},
        {vc::time(-2, 15, 0, 0), [](vc::time& t) { t.set_minute(45); }, -9900000},
        {vc::time(-2, 15, 0, 0), [](vc::time& t) { t.set_second(30); }, -8130000},
        {vc::time(-2, 15, 0, 0), [](vc::time& t) { t.set_milliseconds(5); }, -8100005},
        {vc::time(10, 0, 0, 0), [](vc::time& t) { t.set_minute(90); }, 41400000},
        {vc::time(10, 0, 0, 0), [](vc::time& t) { t.set_milliseconds(2500); }, 36002500},
    };
    for (const row& r : rows) {
        vc::time t = r.start;
        r.apply(t);
        EXPECT_EQ(t.to_milliseconds(), r.count) << r.start.to_milliseconds();
    }
}

TEST(Time, ComparesCountsMovesAndSwaps) {
    EXPECT_LT(vc::time(-1, 0, 0, 0), vc::time(0, 0, 0, 0));
    EXPECT_LT(vc::time(0, 0, 0, 999), vc::time(0, 0, 1, 0));
    EXPECT_EQ(vc::time::from_milliseconds(45296000), vc::time(12, 34, 56, 0));

    vc::time source(9, 5, 7, 45);
    vc::time target(std::move(source));
    EXPECT_EQ(target.to_milliseconds(), 32707045);
    EXPECT_EQ(source.to_milliseconds(), 0);  // NOLINT(bugprone-use-after-move)
    vc::time other(1, 0, 0, 0);
    other = std::move(target);
    EXPECT_EQ(other.to_milliseconds(), 32707045);
    EXPECT_EQ(target.to_milliseconds(), 0);  // NOLINT(bugprone-use-after-move)
    swap(other, target);
    EXPECT_EQ(target.to_milliseconds(), 32707045);
    EXPECT_EQ(other.to_milliseconds(), 0);
}

// ---------------------------------------------------------------------------------------------
// datetime

namespace {

const vc::date march_10_2024(10, 3, 2024);

}  // namespace

TEST(DateTime, DefaultIsTheEpochAtOffsetZero) {
    const vc::datetime d;
    EXPECT_EQ(d.get_date(), vc::date(1, 1, 1970));
    EXPECT_EQ(d.get_time().to_milliseconds(), 0);
    EXPECT_EQ(d.get_offset(), 0);
    EXPECT_EQ(d, vc::datetime::from_msecs_since_epoch(0));
    EXPECT_EQ(d.to_msecs_since_epoch(), 0);
}

TEST(DateTime, WallClockSplitsWithFloorDivision) {
    struct row {
        long long msecs;
        ymd day;
        int msecs_of_day;
    };
    const row rows[] = {
        {0, {1970, 1, 1}, 0},
        {-1, {1969, 12, 31}, 86399999},
        {-86400000, {1969, 12, 31}, 0},
        {-86400001, {1969, 12, 30}, 86399999},
        {1710074096789, {2024, 3, 10}, 45296789},
        // The ends of the 47-bit wall clock.
        {(1LL << 46) - 1, {4199, 11, 24}, 4977663},
        {-(1LL << 46), {-260, 2, 7}, 81422336},
    };
    for (const row& r : rows) {
        const vc::datetime d = vc::datetime::from_msecs_since_epoch(r.msecs);
        EXPECT_EQ(components(d.get_date()), r.day) << r.msecs;
        EXPECT_EQ(d.get_time().to_milliseconds(), r.msecs_of_day) << r.msecs;
        EXPECT_EQ(d.to_msecs_since_epoch(), r.msecs);
    }
    // One past the end wraps to the other end, as a 47-bit field does.
    EXPECT_EQ(vc::datetime::from_msecs_since_epoch(1LL << 46).to_msecs_since_epoch(), -(1LL << 46));
}

TEST(DateTime, ConstructionKeepsTheWallClockAndCarriesTime) {
    const vc::datetime one_am(vc::date(1, 1, 1970), vc::time(1, 0, 0, 0), 3600);
    EXPECT_EQ(one_am.to_msecs_since_epoch(), 0);
    EXPECT_EQ(one_am, vc::datetime());
    EXPECT_EQ(one_am.get_time(), vc::time(1, 0, 0, 0));
    EXPECT_EQ(one_am.get_offset(), 3600);

    const vc::datetime next(march_10_2024, vc::time(24, 0, 0, 0), 0);
    EXPECT_EQ(next.get_date(), vc::date(11, 3, 2024));
    EXPECT_EQ(next.get_time().to_milliseconds(), 0);
    const vc::datetime before(march_10_2024, vc::time(-1, 0, 0, 0), 0);
    EXPECT_EQ(before.get_date(), vc::date(9, 3, 2024));
    EXPECT_EQ(before.get_time(), vc::time(23, 0, 0, 0));

    // Days far outside the 47-bit wall clock wrap like the field, without overflowing on the
    // way: 2^47 and 2^62 days are whole multiples of 2^47 milliseconds.
    for (const long long days : {1LL << 47, -(1LL << 62), 1LL << 62}) {
        const vc::datetime far(vc::date::from_julian_day(2440588 + days), vc::time(1, 0, 0, 0), 0);
        EXPECT_EQ(far.to_msecs_since_epoch(), 3600000) << days;
    }
}

TEST(DateTime, OffsetFieldKeepsItsLowSeventeenBits) {
    struct row {
        int given;
        int kept;
    };
    const row rows[] = {{65535, 65535}, {-65536, -65536}, {65536, -65536}, {-65537, 65535},
                        {131072, 0},    {-10800, -10800}, {INT_MAX, -1},   {INT_MIN, 0}};
    for (const row& r : rows) {
        EXPECT_EQ(vc::datetime(march_10_2024, vc::time(), r.given).get_offset(), r.kept) << r.given;
        vc::datetime d;
        d.set_offset(r.given);
        EXPECT_EQ(d.get_offset(), r.kept) << r.given;
    }
}

TEST(DateTime, TheWordHoldsWallClockThenOffset) {
    const vc::datetime d(march_10_2024, vc::time(12, 34, 56, 789), -10800);
    std::uint64_t word = 0;
    static_assert(sizeof(d) == sizeof(word));
    std::memcpy(&word, &d, sizeof word);
    const std::uint64_t local = 1710074096789ULL;
    EXPECT_EQ(word & ((1ULL << 47) - 1), local);
    EXPECT_EQ(word >> 47, static_cast<std::uint64_t>(-10800) & 0x1FFFFU);
}

TEST(DateTime, ComparisonsAreByInstant) {
    const vc::datetime noon_utc(march_10_2024, vc::time(12, 0, 0, 0), 0);
    const vc::datetime same_instant(march_10_2024, vc::time(9, 0, 0, 0), -10800);
    EXPECT_EQ(noon_utc, same_instant);
    EXPECT_FALSE(noon_utc != same_instant);
    EXPECT_NE(noon_utc.get_time(), same_instant.get_time());

    // Later on the wall clock, but earlier as an instant.
    const vc::datetime tokyo(march_10_2024, vc::time(20, 0, 0, 0), 9 * 3600);
    EXPECT_LT(tokyo, noon_utc);
    EXPECT_TRUE(tokyo <= noon_utc && noon_utc > tokyo && noon_utc >= tokyo);
}

TEST(DateTime, ToOffsetKeepsTheInstantAndSetOffsetKeepsTheWallClock) {
    vc::datetime source(march_10_2024, vc::time(12, 0, 0, 0), 0);
    const vc::datetime moved = source.to_offset(-10800);
    EXPECT_EQ(moved.get_date(), march_10_2024);
    EXPECT_EQ(moved.get_time(), vc::time(9, 0, 0, 0));
    EXPECT_EQ(moved.get_offset(), -10800);
    EXPECT_EQ(moved, source);
    EXPECT_EQ(source.get_offset(), 0);  // unchanged

    vc::datetime before = source;
    source.set_offset(3600);
    EXPECT_EQ(source.get_time(), vc::time(12, 0, 0, 0));
    EXPECT_LT(source, before);
    EXPECT_EQ(before.to_msecs_since_epoch() - source.to_msecs_since_epoch(), 3600000);

    // An offset the field cannot hold: the value moves to the offset that is kept, and the
    // instant stays.
    const vc::datetime far = before.to_offset(65536);
    EXPECT_EQ(far.get_offset(), -65536);
    EXPECT_EQ(far, before);
}

TEST(DateTime, SetDateAndSetTimeKeepTheOtherParts) {
    vc::datetime d(march_10_2024, vc::time(12, 34, 56, 789), 19800);
    d.set_date(vc::date(29, 2, 2024));
    EXPECT_EQ(d.get_date(), vc::date(29, 2, 2024));
    EXPECT_EQ(d.get_time(), vc::time(12, 34, 56, 789));
    EXPECT_EQ(d.get_offset(), 19800);

    d.set_time(vc::time(1, 2, 3, 4));
    EXPECT_EQ(d.get_date(), vc::date(29, 2, 2024));
    EXPECT_EQ(d.get_time(), vc::time(1, 2, 3, 4));
    EXPECT_EQ(d.get_offset(), 19800);

    vc::datetime e(march_10_2024, vc::time(8, 0, 0, 0), 0);
    e.set_time(vc::time(25, 0, 0, 0));
    EXPECT_EQ(e.get_date(), vc::date(11, 3, 2024));
    EXPECT_EQ(e.get_time(), vc::time(1, 0, 0, 0));
    e.set_time(vc::time(-1, 0, 0, 0));
    EXPECT_EQ(e.get_date(), vc::date(10, 3, 2024));
    EXPECT_EQ(e.get_time(), vc::time(23, 0, 0, 0));

    // Before 1970 the time of day is still counted forward from midnight.
    vc::datetime old(vc::date(20, 7, 1969), vc::time(20, 17, 0, 0), 0);
    old.set_date(vc::date(21, 7, 1969));
    EXPECT_EQ(old.get_time(), vc::time(20, 17, 0, 0));
}

TEST(DateTime, MoveLeavesTheDefaultAndSwapExchanges) {
    vc::datetime source(march_10_2024, vc::time(12, 0, 0, 0), 3600);
    vc::datetime target(std::move(source));
    EXPECT_EQ(target.get_offset(), 3600);
    EXPECT_EQ(source.to_msecs_since_epoch(), 0);  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(source.get_offset(), 0);

    vc::datetime other;
    other = std::move(target);
    EXPECT_EQ(other.get_time(), vc::time(12, 0, 0, 0));
    EXPECT_EQ(target.get_offset(), 0);  // NOLINT(bugprone-use-after-move)
    swap(other, target);
    EXPECT_EQ(target.get_offset(), 3600);
    EXPECT_EQ(other, vc::datetime());
}

TEST(DateTime, ClockReadersUseTheProcessTimeZone) {
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    struct row {
        const char* zone;
        int offset;
    };
    const row rows[] = {{"<+0530>-05:30", 19800}, {"<-03>3", -10800}, {"UTC0", 0}};
    for (const row& r : rows) {
        const time_zone_scope zone(r.zone);
        const long long before =
            duration_cast<milliseconds>(std::chrono::system_clock::now().time_since_epoch())
                .count();
        const vc::datetime local = vc::datetime::now();
        const vc::datetime utc = vc::datetime::utc_now();
        const long long after =
            duration_cast<milliseconds>(std::chrono::system_clock::now().time_since_epoch())
                .count();

        EXPECT_EQ(local.get_offset(), r.offset) << r.zone;
        EXPECT_EQ(utc.get_offset(), 0);
        EXPECT_GE(local.to_msecs_since_epoch(), before);
        EXPECT_LE(local.to_msecs_since_epoch(), utc.to_msecs_since_epoch());
        EXPECT_LE(utc.to_msecs_since_epoch(), after);
        // The wall clock is ahead of UTC by the offset.
        const vc::datetime wall_as_utc(local.get_date(), local.get_time(), 0);
        const long long ahead = wall_as_utc.to_msecs_since_epoch() - local.to_msecs_since_epoch();
        EXPECT_EQ(ahead, 1000LL * r.offset) << r.zone;

        const vc::datetime shifted = vc::datetime::now(7200);
        EXPECT_EQ(shifted.get_offset(), 7200);
        const vc::datetime shifted_wall(shifted.get_date(), shifted.get_time(), 0);
        const long long lead = shifted_wall.to_msecs_since_epoch() - utc.to_msecs_since_epoch();
        EXPECT_GE(lead, 7200000);
        EXPECT_LT(lead, 7200000 + 5000);
    }
}

// The clock readers keep whole milliseconds of the real-time clock, the rest dropped.
TEST(DateTime, ClockReadersDropTheSubMillisecondRest) {
    const struct {
        std::int64_t clock_ns;
        long long msecs;
    } rows[] = {
        {0, 0},
        {999999, 0},
        {1710074096000000000, 1710074096000},
        {1710074096000999999, 1710074096000},
        {1710074096001000000, 1710074096001},
        {1710074096999999999, 1710074096999},
    };
    const time_zone_scope zone("<-03>3");
    vorn::test::fixed_clock clock(CLOCK_REALTIME, 0);
    for (const auto& r : rows) {
        clock.set(r.clock_ns);
        EXPECT_EQ(vc::datetime::now().to_msecs_since_epoch(), r.msecs) << r.clock_ns;
        EXPECT_EQ(vc::datetime::utc_now().to_msecs_since_epoch(), r.msecs) << r.clock_ns;
    }
}
