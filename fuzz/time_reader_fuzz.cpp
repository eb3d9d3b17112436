// SPDX-License-Identifier: MIT
// The time reader on arbitrary bytes: it accepts exactly the texts of the form HH:MM:SS or
// -H:MM:SS with an optional fraction of 1 to 32 digits (checked with std::regex), a text it
// accepts reads as the carried sum of its fields with the fraction truncated to milliseconds,
// and every time of the hours 0 to 99 written by the time writer reads back unchanged.
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
    static const std::regex form(R"(^(\d{2}|-\d):\d{2}:\d{2}(\.\d{1,32})?$)");
    const char* const chars = reinterpret_cast<const char*>(data);
    const std::string text(chars, size);

    vc::time out(1, 2, 3, 4);
    const vc::converter_status status =
        vc::value_converter<vc::time>().make_value(out, chars, size);
    // Longer texts never have the form; std::regex need not see them.
    const bool has_form = size <= 41 && std::regex_match(text, form);
    check((status == vc::converter_status::success) == has_form);
    if (has_form) {
        const int hour = std::atoi(text.substr(0, 2).c_str());
        const int sign = hour < 0 || text[0] == '-' ? -1 : 1;
        const long long part =
            std::atoll(text.substr(3, 2).c_str()) * 60000 +
            std::atoll(text.substr(6, 2).c_str()) * 1000 +
            (size > 8 ? std::atoll((text.substr(9) + "00").substr(0, 3).c_str()) : 0);
        check(out.to_milliseconds() == hour * 3600000LL + sign * part);
    } else {
        check(status == vc::converter_status::invalid_format && out.to_milliseconds() == 0);
    }

    // Write-then-read: a time of the hours 0 to 99 chosen by the input.
    if (size >= 4) {
        std::uint32_t pick = 0;
        std::memcpy(&pick, data, sizeof pick);
        const vc::time value = vc::time::from_milliseconds(static_cast<int>(pick % 360000000U));
        char buffer[16];
        std::size_t length = sizeof buffer;
        check(vc::chars_converter<vc::time>().make_chars(buffer, length, value) ==
              vc::converter_status::success);
        vc::time back;
        check(vc::value_converter<vc::time>().make_value(back, buffer, length) ==
              vc::converter_status::success);
        check(back == value);
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return vorn::fuzz::run_guarded(data, size, check_input);
}
