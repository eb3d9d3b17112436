// Finding the placeholders "{N}" and "{N: parameters}" of a text.
#ifndef VORN_CORE_SRC_TEXT_FORMATTER_PLACEHOLDER_SCANNER_HPP
#define VORN_CORE_SRC_TEXT_FORMATTER_PLACEHOLDER_SCANNER_HPP

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

// Finds the leftmost placeholder that begins at or after `from` in [text, text + size), as the
// leftmost match of the regular expression \{([0-9]+)(?:\: ([^{]*))?\} with greedy
// repetition: after "{digits: " the parameters run to the last "}" before the next "{" (or
// the end), and a candidate without such a "}" is no placeholder. Returns false when there is
// none. Scanning every placeholder of a text this way, each search starting where the previous
// placeholder ended, reads each byte a bounded number of times.
bool find_placeholder(const char* text, std::size_t size, std::size_t from,
                      placeholder& found) noexcept;

}  // namespace vorn::core::v2::detail

#endif
