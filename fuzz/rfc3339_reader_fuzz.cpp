// SPDX-License-Identifier: MIT
// The strict RFC 3339 reader on arbitrary bytes: it accepts exactly what an independent check
// accepts (a shape template, then std::chrono's calendar for the date) and reads the value
// that check computes; and every wall clock from year 0 on, written with its milliseconds at
// an offset of whole minutes, reads back to the same instant and offset.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "vorn/core/converters.hpp"

#include "fuzz_check.hpp"

using vorn::fuzz::check;

namespace {

namespace vc = vorn::core::v2;

struct expectation {
    bool accepted = false;
    long long instant = 0;
    int offset = 0;
};

int number(const std::string& text, std::size_t at, std::size_t width) {
    return std::stoi(text.substr(at, width));
}

// In the shape, 'd' is a digit, 'T' the date-time separator and every other character itself.
bool has_shape(const std::string& text, std::size_t at, const char* shape) {
    const std::size_t width = std::strlen(shape);
    if (text.size() < at + width) {
        return false;
    }
    for (std::size_t i = 0; i < width; ++i) {
        const char c = text[at + i];
        const bool fits = shape[i] == 'd'   ? c >= '0' && c <= '9'
                          : shape[i] == 'T' ? c == 'T' || c == 't' || c == ' '
                                            : c == shape[i];
        if (!fits) {
            return false;
        }
    }
    return true;
}

expectation expect(const std::string& text) {
    using namespace std::chrono;
    expectation e;
    if (!has_shape(text, 0, "dddd-dd-ddTdd:dd:dd")) {
        return e;
    }
    std::size_t at = 19;
    long long msecs = 0;
    if (at < text.size() && text[at] == '.') {
        std::string digits;
        while (++at < text.size() && text[at] >= '0' && text[at] <= '9') {
            digits += text[at];
        }
        if (digits.empty()) {
            return e;
        }
        msecs = std::stoll((digits + "00").substr(0, 3));
    }
    const std::string rest = text.substr(at);
    int offset = 0;
    if (rest != "Z" && rest != "z") {
        if (rest.size() != 6 || !(has_shape(rest, 0, "+dd:dd") || has_shape(rest, 0, "-dd:dd"))) {
            return e;
        }
        if (number(rest, 1, 2) > 23 || number(rest, 4, 2) > 59) {
            return e;
        }
        offset = (rest[0] == '-' ? -1 : 1) * (number(rest, 1, 2) * 3600 + number(rest, 4, 2) * 60);
    }
    const year_month_day ymd{year(number(text, 0, 4)),
                             month(static_cast<unsigned>(number(text, 5, 2))),
                             day(static_cast<unsigned>(number(text, 8, 2)))};
    if (!ymd.ok() || number(text, 11, 2) > 23 || number(text, 14, 2) > 59 ||
        number(text, 17, 2) > 59 || offset < -65536 || offset > 65535) {
        return e;
    }
    const auto local = sys_days(ymd) + hours(number(text, 11, 2)) + minutes(number(text, 14, 2)) +
                       seconds(number(text, 17, 2)) + milliseconds(msecs);
    const long long local_msecs = local.time_since_epoch().count();
    if (local_msecs >= (1LL << 46)) {
        return e;
    }
    e.accepted = true;
    e.instant = local_msecs - 1000LL * offset;
    e.offset = offset;
    return e;
}

int check_input(const std::uint8_t* data, std::size_t size) {
    static const vc::datetime failure(vc::date(0, 0, 0), vc::time(), 0);
    const char* const chars = reinterpret_cast<const char*>(data);
    const std::string text(chars, size);
    vc::datetime out = vc::datetime::from_msecs_since_epoch(12345);
    const vc::converter_status status =
        vc::value_converter<vc::datetime>().make_value_rfc3339(out, chars, size);
    const expectation expected = expect(text);
    if (expected.accepted) {
        check(status == vc::converter_status::success);
        check(out.to_msecs_since_epoch() == expected.instant &&
              out.get_offset() == expected.offset);
    } else {
        check(status == vc::converter_status::invalid_format);
        check(out.to_msecs_since_epoch() == failure.to_msecs_since_epoch() &&
              out.get_offset() == 0);
    }

    // Write-then-read with milliseconds: a wall clock and an offset chosen by the input.
    if (size >= 12) {
        std::uint64_t pick = 0;
        std::uint32_t offset_pick = 0;
        std::memcpy(&pick, data, sizeof pick);
        std::memcpy(&offset_pick, data + 8, sizeof offset_pick);
        const long long first = -62167219200000LL;  // 0000-01-01T00:00:00
        const long long last = (1LL << 46) - 1;
        const long long local =
            first + static_cast<long long>(pick % static_cast<std::uint64_t>(last - first + 1));
        const int offset = (static_cast<int>(offset_pick % 2183U) - 1091) * 60;
        vc::datetime value = vc::datetime::from_msecs_since_epoch(local);
        value.set_offset(offset);
        char buffer[32];
        std::size_t length = sizeof buffer;
        check(vc::chars_converter<vc::datetime>().make_chars_rfc3339(buffer, length, value) ==
              vc::converter_status::success);
        vc::datetime back;
        check(vc::value_converter<vc::datetime>().make_value_rfc3339(back, buffer, length) ==
              vc::converter_status::success);
        check(back.to_msecs_since_epoch() == value.to_msecs_since_epoch() &&
              back.get_offset() == offset);
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return vorn::fuzz::run_guarded(data, size, check_input);
}
