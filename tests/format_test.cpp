// SPDX-License-Identifier: MIT
// Formatting the library's values: {fmt}, streams, the library's own formatter and the names
// of the enumerations. The std::format formatters run the same cases in std_format_check.cpp.
#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>
#include <string>
#include <string_view>

#include "support/format_cases.hpp"
#include "vorn/core.hpp"

#if defined(VORN_TEST_HAVE_FMT)
#include "vorn/core/fmt.hpp"
#endif

namespace vc = vorn::core::v2;

#if defined(VORN_TEST_HAVE_FMT)

namespace {

struct fmt_tester {
    template <class... Args>
    std::string format(std::string_view options, const Args&... args) {
        return fmt::vformat(options, fmt::make_format_args(args...));
    }
    template <class Value>
    bool refuses(std::string_view options, const Value& value) {
        try {
            format(options, value);
        } catch (const fmt::format_error&) {
            return true;
        }
        return false;
    }
    void expect(bool ok, const std::string& what) { EXPECT_TRUE(ok) << what; }
};

}  // namespace

TEST(FmtFormatters, EveryTypeWithItsOptions) {
    fmt_tester tester;
    vorn::test::run_format_cases(tester);
}

TEST(FmtFormatters, CompileTimeCheckedStringsFormatAsAtRunTime) {
    const vc::decimal amount(1250, -2);
    EXPECT_EQ(fmt::format("{:>8,}|{}|{:r}", amount, vc::date(1, 2, 2003),
                          vc::datetime::from_msecs_since_epoch(5)),
              "   12,50|2003-02-01|1970-01-01T00:00:00.005Z");
}

#endif

TEST(Streams, ValuesAndNamesHonourWidthAndFill) {
    std::ostringstream out;
    out.fill('.');
    out << std::setw(12) << vc::date(10, 3, 2024) << '|' << std::left << std::setw(10)
        << vc::decode_status::refused << '|' << std::setw(9) << vc::binary_encoding::hex << '|'
        << vc::converter_status::invalid_format;
    EXPECT_EQ(out.str(), "..2024-03-10|refused...|hex......|invalid_format");
    EXPECT_STREQ(vc::to_string(static_cast<vc::decode_status>(7)), "invalid");
    EXPECT_STREQ(vc::to_string(static_cast<vc::converter_status>(7)), "invalid");
    EXPECT_STREQ(vc::to_string(static_cast<vc::binary_encoding>(7)), "invalid");
}

TEST(TextFormatter, BindsCalendarValuesByTheirTextForms) {
    vc::text_formatter f = vc::text_formatter::parser("{0} {1} {2} [{3}]");
    f.bind(0, vc::date(10, 3, 2024))
        .bind(1, vc::time(23, 59, 58, 7))
        .bind(2, vc::datetime::from_msecs_since_epoch(0))
        .bind(3, vc::date(1, 1, 100000));
    EXPECT_EQ(f.make_string(), "2024-03-10 23:59:58.007 1970-01-01T00:00:00Z []");
}
