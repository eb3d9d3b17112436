// SPDX-License-Identifier: MIT
// Finding the placeholders "{N}" and "{N: parameters}" of a text.
//
// Defined here, inline, so that the parser's loop over a short message makes no calls but
// those worth making.
#ifndef VORN_CORE_SRC_TEXT_FORMATTER_PLACEHOLDER_SCANNER_HPP
#define VORN_CORE_SRC_TEXT_FORMATTER_PLACEHOLDER_SCANNER_HPP

#include <string.h>

#include <cstddef>

namespace vorn::core::v2::detail {

// One placeholder, as byte offsets into its text: the whole placeholder is [begin, end), its
// digits follow the opening brace and are name_length bytes long. It has parameters exactly
// when it is longer than name_length + 2; they then lie between ": " and the closing brace.
struct placeholder {
    std::size_t begin;
    std::size_t end;
    std::size_t name_length;

    std::size_t params_begin() const noexcept { return begin + name_length + 3; }
    std::size_t params_length() const noexcept {
        return end - begin > name_length + 2 ? end - begin - name_length - 4 : 0;
    }
};

// Below this many bytes a plain loop finds a character sooner than a call to the C library.
// bench/text_bench.cpp: formatter_vorn_bind
inline constexpr std::size_t short_span = 32;

// The offset of the first `c` in [from, to) of `text`, or `to` when there is none.
inline std::size_t first_of(const char* text, std::size_t from, std::size_t to, char c) noexcept {
    if (to - from < short_span) {
        while (from < to && text[from] != c) {
            ++from;
        }
        return from;
    }
    const void* found = memchr(text + from, c, to - from);
    return found == nullptr ? to : static_cast<std::size_t>(static_cast<const char*>(found) - text);
}

// The offset of the last `c` in [from, to) of `text`, or `to` when there is none.
inline std::size_t last_of(const char* text, std::size_t from, std::size_t to, char c) noexcept {
    if (to - from < short_span) {
        for (std::size_t at = to; at > from; --at) {
            if (text[at - 1] == c) {
                return at - 1;
            }
        }
        return to;
    }
    const void* found = memrchr(text + from, c, to - from);
    return found == nullptr ? to : static_cast<std::size_t>(static_cast<const char*>(found) - text);
}

// Finds the leftmost placeholder that begins at or after `from` in [text, text + size), as the
// leftmost match of the regular expression \{([0-9]+)(?:\: ([^{]*))?\} with greedy
// repetition: after "{digits: " the parameters run to the last "}" before the next "{" (or
// the end), and a candidate without such a "}" is no placeholder. Returns false when there is
// none. Scanning every placeholder of a text this way, each search starting where the previous
// placeholder ended, reads each byte a bounded number of times.
inline bool find_placeholder(const char* text, std::size_t size, std::size_t from,
                             placeholder& found) noexcept {
    std::size_t next = from;
    while (next < size) {
        const std::size_t open = first_of(text, next, size, '{');
        if (open == size) {
            return false;
        }
        std::size_t digits_end = open + 1;
        while (digits_end < size && text[digits_end] >= '0' && text[digits_end] <= '9') {
            ++digits_end;
        }
        const std::size_t name_length = digits_end - open - 1;
        // Giving back digits never helps: what follows a shorter run is a digit, which is
        // neither the closing brace nor the colon.
        if (name_length == 0 || digits_end == size) {
            next = open + 1;
            continue;
        }
        if (text[digits_end] == '}') {
            found.begin = open;
            found.end = digits_end + 1;
            found.name_length = name_length;
            return true;
        }
        if (text[digits_end] == ':' && digits_end + 1 < size && text[digits_end + 1] == ' ') {
            const std::size_t run = digits_end + 2;
            const std::size_t run_end = first_of(text, run, size, '{');
            const std::size_t close = last_of(text, run, run_end, '}');
            if (close != run_end) {
                found.begin = open;
                found.end = close + 1;
                found.name_length = name_length;
                return true;
            }
            // Nothing in (open, run_end) is an opening brace: the next candidate is there.
            next = run_end;
            continue;
        }
        next = digits_end;
    }
    return false;
}

}  // namespace vorn::core::v2::detail

#endif
