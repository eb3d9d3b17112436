// SPDX-License-Identifier: MIT
// The std::format formatters, run through the same cases as the {fmt} ones. Built where the
// standard library has <format> (the libcxx preset: clang with libc++); a plain program, since
// the GoogleTest of the system is built for another standard library. Exits 1 on a failure.
#include <cstdio>
#include <format>
#include <string>
#include <string_view>

#include "support/format_cases.hpp"
#include "vorn/core/format.hpp"

#if !defined(VORN_CORE_HAS_STD_FORMATTERS)
#error "this standard library has no <format>"
#endif

namespace {

struct std_tester {
    int failures = 0;
    int checks = 0;

    template <class... Args>
    std::string format(std::string_view options, const Args&... args) {
        return std::vformat(options, std::make_format_args(args...));
    }
    template <class Value>
    bool refuses(std::string_view options, const Value& value) {
        try {
            format(options, value);
        } catch (const std::format_error&) {
            return true;
        }
        return false;
    }
    void expect(bool ok, const std::string& what) {
        ++checks;
        if (!ok) {
            ++failures;
            std::fprintf(stderr, "failed: %s\n", what.c_str());
        }
    }
};

}  // namespace

int main() {
    namespace vc = vorn::core::v2;
    std_tester tester;
    vorn::test::run_format_cases(tester);
    // Checked at compile time.
    tester.expect(std::format("{:>8,}|{}", vc::decimal(1250, -2), vc::date(1, 2, 2003)) ==
                      "   12,50|2003-02-01",
                  "compile-time checked string");
    std::printf("std::format: %d checks, %d failed\n", tester.checks, tester.failures);
    return tester.failures == 0 ? 0 : 1;
}
