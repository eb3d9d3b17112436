// SPDX-License-Identifier: MIT
// The date reader on arbitrary bytes: it accepts exactly the texts of the form YYYY-MM-DD or
// -YYY-MM-DD (checked with std::regex), a text it accepts reads as the rolled-over calendar
// date of its fields, and every date of the years 1 to 9999 written by the date writer reads
// back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>

#include "vorn/core/converters.hpp"

#include "fuzz_check.hpp"

using vorn::fuzz::check;

namespace vc = vorn::core::v2;

namespace {

int check_input(const std::uint8_t* data, std::size_t size) {
    static const std::regex form(R"(^(\d{4}|-\d{3})-\d{2}-\d{2}$)");
    const char* const chars = reinterpret_cast<const char*>(data);
    const std::string text(chars, size);

    vc::date out(5, 5, 1555);
    const vc::converter_status status =
        vc::value_converter<vc::date>().make_value(out, chars, size);
    // Longer texts never have the form; std::regex need not see them.
    const bool has_form = size == 10 && std::regex_match(text, form);
    check((status == vc::converter_status::success) == has_form);
    if (has_form) {
        const int year = std::atoi(text.substr(0, 4).c_str());
        const auto month = static_cast<unsigned int>(std::atoi(text.substr(5, 2).c_str()));
        const auto day = static_cast<unsigned int>(std::atoi(text.substr(8, 2).c_str()));
        check(out == vc::date(day, month, year));
    } else {
        check(status == vc::converter_status::invalid_format && out == vc::date(0, 0, 0));
    }

    // Write-then-read: a day of the years 1 to 9999 chosen by the input.
    if (size >= 4) {
        std::uint32_t pick = 0;
        std::memcpy(&pick, data, sizeof pick);
        const long long first = vc::date(1, 1, 1).to_julian_day();
        const long long last = vc::date(31, 12, 9999).to_julian_day();
        const vc::date value =
            vc::date::from_julian_day(first + static_cast<long long>(pick % (last - first + 1)));
        char buffer[16];
        std::size_t length = sizeof buffer;
        check(vc::chars_converter<vc::date>().make_chars(buffer, length, value) ==
              vc::converter_status::success);
        check(length == 10);
        vc::date back;
        check(vc::value_converter<vc::date>().make_value(back, buffer, length) ==
              vc::converter_status::success);
        check(back == value);
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return vorn::fuzz::run_guarded(data, size, check_input);
}
