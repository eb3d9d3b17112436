// SPDX-License-Identifier: MIT
// A slow, obviously exact reference for decimal text, on strings of decimal digits.
#ifndef VORN_TEST_DECIMAL_REFERENCE_HPP
#define VORN_TEST_DECIMAL_REFERENCE_HPP

#include <cstddef>
#include <cstdint>
#include <string>

namespace vorn::test {

// number × 10^factor rounded half to even at `precision` decimals: "-" for any negative
// number, the integer digits (at least one), then the separator and the decimals.
inline std::string exact_fixed(long long number, int factor, unsigned int precision,
                               char separator) {
    const std::uint64_t bits = static_cast<std::uint64_t>(number);
    std::string digits = std::to_string(number < 0 ? 0 - bits : bits);
    std::size_t scale = 0;  // digits after the point
    if (factor >= 0) {
        digits.append(number == 0 ? 0 : static_cast<std::size_t>(factor), '0');
    } else {
        scale = static_cast<std::size_t>(-factor);
    }
    if (digits.size() <= scale) {
        digits.insert(0, scale + 1 - digits.size(), '0');
    }
    if (scale <= precision) {
        digits.append(precision - scale, '0');
    } else {
        // Round on the dropped digits: above half, or exactly half and an odd last kept digit.
        const std::string dropped = digits.substr(digits.size() - (scale - precision));
        digits.resize(digits.size() - dropped.size());
        const bool above =
            dropped[0] > '5' ||
            (dropped[0] == '5' && dropped.find_first_not_of('0', 1) != std::string::npos);
        const bool half = dropped[0] == '5' && !above;
        if (above || (half && (digits.back() - '0') % 2 == 1)) {
            std::size_t i = digits.size();
            while (i > 0 && digits[i - 1] == '9') {
                digits[--i] = '0';
            }
            if (i == 0) {
                digits.insert(0, 1, '1');
            } else {
                ++digits[i - 1];
            }
        }
    }
    std::string text = number < 0 ? "-" : "";
    text += digits.substr(0, digits.size() - precision);
    if (precision != 0) {
        text += separator;
        text += digits.substr(digits.size() - precision);
    }
    return text;
}

}  // namespace vorn::test

#endif
