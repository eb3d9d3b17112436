// SPDX-License-Identifier: MIT
// The date-time reader on arbitrary bytes: it accepts exactly what the timestamp pattern
// matches with std::regex and reads what a slow std::chrono reference computes from the
// pattern's groups; and every value of the years 1 to 4199 (all a datetime holds from year 1
// on) written at an offset of whole minutes reads back to the same instant and offset, without
// its milliseconds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>

#include "support/datetime_reference.hpp"
#include "vorn/core/converters.hpp"

#include "fuzz_check.hpp"

using vorn::fuzz::check;

namespace {

namespace vc = vorn::core::v2;
using vorn::test::datetime_expectation;

bool same(const vc::datetime& a, const vc::datetime& b) {
    return a.to_msecs_since_epoch() == b.to_msecs_since_epoch() && a.get_offset() == b.get_offset();
}

int check_input(const std::uint8_t* data, std::size_t size) {
    static const std::regex pattern(vorn::test::datetime_pattern);
    static const vc::datetime failure(vc::date(0, 0, 0), vc::time(), 0);
    const char* const chars = reinterpret_cast<const char*>(data);
    const std::string text(chars, size);

    const vc::datetime before(vc::date(1, 2, 2003), vc::time(4, 5, 6, 7), 480);
    vc::datetime out = before;
    const vc::converter_status status =
        vc::value_converter<vc::datetime>().make_value(out, chars, size);
    check(status == vc::converter_status::success ||
          status == vc::converter_status::invalid_format);

    // std::regex matches recursively, one level per repeated character: keep it to texts it
    // handles without exhausting the stack.
    if (size <= 512) {
        const datetime_expectation expected = vorn::test::expect_datetime(pattern, text);
        switch (expected.result) {
            case datetime_expectation::refused:
                check(status == vc::converter_status::invalid_format && same(out, failure));
                break;
            case datetime_expectation::unchanged:
                check(status == vc::converter_status::invalid_format && same(out, before));
                break;
            case datetime_expectation::accepted:
                check(status == vc::converter_status::success);
                check(out.to_msecs_since_epoch() == expected.instant);
                check(out.get_offset() == expected.offset);
                break;
        }
    }

    // Write-then-read: a wall clock and an offset chosen by the input.
    if (size >= 12) {
        std::uint64_t pick = 0;
        std::uint32_t offset_pick = 0;
        std::memcpy(&pick, data, sizeof pick);
        std::memcpy(&offset_pick, data + 8, sizeof offset_pick);
        const long long first = -62135596800000LL;  // 0001-01-01T00:00:00
        const long long last = (1LL << 46) - 1;     // the last wall clock a datetime holds
        const long long local =
            first + static_cast<long long>(pick % static_cast<std::uint64_t>(last - first + 1));
        const int offset = (static_cast<int>(offset_pick % 2183U) - 1091) * 60;
        vc::datetime value = vc::datetime::from_msecs_since_epoch(local);
        value.set_offset(offset);

        char buffer[32];
        std::size_t length = sizeof buffer;
        check(vc::chars_converter<vc::datetime>().make_chars(buffer, length, value) ==
              vc::converter_status::success);
        vc::datetime back;
        check(vc::value_converter<vc::datetime>().make_value(back, buffer, length) ==
              vc::converter_status::success);
        check(back.get_offset() == offset);
        check(back.to_msecs_since_epoch() ==
              value.to_msecs_since_epoch() - value.get_time().get_milliseconds());
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return vorn::fuzz::run_guarded(data, size, check_input);
}
