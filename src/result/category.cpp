// SPDX-License-Identifier: MIT
// The status category base: identity comparison and the end of the process on an undefined code.
#include <cstdio>
#include <cstdlib>

#include "vorn/core/result.hpp"

namespace vorn::core::v2 {

namespace result {

category::~category() = default;

bool category::operator==(const category& other) const noexcept {
    return this == &other;
}

bool category::operator!=(const category& other) const noexcept {
    return this != &other;
}

void category::show_invalid_value_message_and_exit(int code) const {
    // Frozen text, as programs and their logs see it.
    static constexpr char prefix[] = "Invalid status code value: 0x";
    static constexpr char digits[] = "0123456789ABCDEF";
    constexpr std::size_t name_limit = 28;

    // prefix + 8 digits + " (" + name + ")\n" + NUL
    char text[sizeof(prefix) - 1 + 8 + 2 + name_limit + 2 + 1];
    char* out = text;
    for (const char* p = prefix; *p != '\0'; ++p) {
        *out++ = *p;
    }
    const auto bits = static_cast<unsigned int>(code);
    for (int shift = 28; shift >= 0; shift -= 4) {
        *out++ = digits[(bits >> shift) & 0xFU];
    }
    *out++ = ' ';
    *out++ = '(';
    const char* name = get_name();
    for (std::size_t i = 0; i < name_limit && name[i] != '\0'; ++i) {
        *out++ = name[i];
    }
    *out++ = ')';
    *out++ = '\n';
    *out = '\0';

    std::fprintf(stderr, "%s", text);
    std::exit(1);
}

void detail::codes_must_be_nonzero_distinct_and_named() {}

}  // namespace result
}  // namespace vorn::core::v2
