#include "text_formatter/placeholder_scanner.hpp"

#include <string.h>

#include <cstddef>

namespace vorn::core::v2::detail {

namespace {

bool is_digit(char c) noexcept {
    return c >= '0' && c <= '9';
}

}  // namespace

bool find_placeholder(const char* text, std::size_t size, std::size_t from,
                      placeholder& found) noexcept {
    std::size_t next = from;
    while (next < size) {
        const void* brace = memchr(text + next, '{', size - next);
        if (brace == nullptr) {
            return false;
        }
        const auto open = static_cast<std::size_t>(static_cast<const char*>(brace) - text);
        std::size_t digits_end = open + 1;
        while (digits_end < size && is_digit(text[digits_end])) {
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
            found = placeholder{open, digits_end + 1, name_length};
            return true;
        }
        if (text[digits_end] == ':' && digits_end + 1 < size && text[digits_end + 1] == ' ') {
            const std::size_t run = digits_end + 2;
            const void* next_open = memchr(text + run, '{', size - run);
            const std::size_t run_end =
                next_open == nullptr
                    ? size
                    : static_cast<std::size_t>(static_cast<const char*>(next_open) - text);
            const void* close = memrchr(text + run, '}', run_end - run);
            if (close != nullptr) {
                const auto end = static_cast<std::size_t>(static_cast<const char*>(close) - text);
                found = placeholder{open, end + 1, name_length};
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
