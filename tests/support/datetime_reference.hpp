// SPDX-License-Identifier: MIT
// A slow, independent reference for the date-time reader: the timestamp pattern matched with
// std::regex, the groups converted with std::stoi and the calendar of std::chrono. Shared by
// the test suite and the fuzz target.
#ifndef VORN_CORE_TESTS_SUPPORT_DATETIME_REFERENCE_HPP
#define VORN_CORE_TESTS_SUPPORT_DATETIME_REFERENCE_HPP

#include <chrono>
#include <regex>
#include <string>

namespace vorn::test {

// The form a date-time text must have, in the ECMAScript grammar.
inline constexpr char datetime_pattern[] =
    R"(^ *(\d{4}-\d{2}-\d{2})T(\d{2}:\d{2}:\d{2}(?:\.\d+)?)(Z|(?:\+|-)\d{2}:\d{2}) *$)";
static_assert(sizeof datetime_pattern - 1 == 78, "the pattern has 78 characters");

// What the reader must do with a text.
struct datetime_expectation {
    enum outcome {
        refused,    // status 3, `out` holds the failure value
        unchanged,  // status 3, `out` keeps its previous value (an overlong fraction)
        accepted,   // status 0, `out` holds `instant` at `offset`
    };
    outcome result = refused;
    long long instant = 0;  // milliseconds since 1970-01-01T00:00:00Z
    int offset = 0;         // seconds
};

inline datetime_expectation expect_datetime(const std::regex& pattern, const std::string& text) {
    using namespace std::chrono;
    datetime_expectation expected;
    std::smatch groups;
    if (!std::regex_match(text, groups, pattern)) {
        return expected;
    }
    const std::string date_text = groups[1].str();
    const std::string time_text = groups[2].str();
    const std::string offset_text = groups[3].str();

    const std::string fraction = time_text.size() > 8 ? time_text.substr(9) : std::string();
    if (fraction.size() > 32) {
        expected.result = datetime_expectation::unchanged;
        return expected;
    }
    int offset = 0;
    if (offset_text != "Z") {
        offset =
            (std::stoi(offset_text.substr(1, 2)) * 60 + std::stoi(offset_text.substr(4, 2))) * 60;
        if (offset_text[0] == '-') {
            offset = -offset;
        }
    }
    if (offset < -65536 || offset > 65535) {
        return expected;
    }

    // Months 0 to 99 and days 0 to 99 roll over: count whole months from January of the
    // year, then days from the first of the month.
    const int year = std::stoi(date_text.substr(0, 4));
    const int month = std::stoi(date_text.substr(5, 2));
    const int day = std::stoi(date_text.substr(8, 2));
    const int months_from_january = year * 12 + month - 1;
    const int whole_years =
        months_from_january >= 0 ? months_from_january / 12 : (months_from_january - 11) / 12;
    const auto first = sys_days{
        std::chrono::year{whole_years} /
        std::chrono::month{static_cast<unsigned>(months_from_january - whole_years * 12 + 1)} / 1};
    const long long days = (first + std::chrono::days{day - 1}).time_since_epoch().count();

    const std::string millis = (fraction + "000").substr(0, 3);
    const long long clock = std::stoll(time_text.substr(0, 2)) * 3600000 +
                            std::stoll(time_text.substr(3, 2)) * 60000 +
                            std::stoll(time_text.substr(6, 2)) * 1000 + std::stoll(millis);
    const long long local = days * 86400000 + clock;
    if (local < -(1LL << 46) || local >= (1LL << 46)) {
        return expected;
    }
    expected.result = datetime_expectation::accepted;
    expected.instant = local - 1000LL * offset;
    expected.offset = offset;
    return expected;
}

}  // namespace vorn::test

#endif
