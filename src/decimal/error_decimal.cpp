// SPDX-License-Identifier: MIT
// The category of refused decimal texts.
#include <cstddef>
#include <string_view>

#include "vorn/core/decimal.hpp"

namespace vorn::core::v2 {

const result::code<error_decimal, 1> error_decimal::invalid_format{};

error_decimal& error_decimal::instance() {
    // The guard branch taken when another thread finishes the construction first cannot be
    // arranged by a test.
    static error_decimal the_category;  // GCOVR_EXCL_BR_LINE: see above
    return the_category;
}

error_decimal::~error_decimal() = default;

const char* error_decimal::get_name() const {
    // Frozen text: programs compare and store category names.
    return "vorn-core-error-decimal";
}

const char* error_decimal::get_message(int code) const {
    // Frozen texts: programs compare and log these messages.
    switch (code) {
        case 1:
            return "The text is not a decimal number";
        default:
            show_invalid_value_message_and_exit(code);
    }
}

void error_decimal::create(result::stack::item& item, result::code<error_decimal, 1>,
                           std::string_view received, char separator) const noexcept {
    // The form the reader takes, spelt with the caller's separator; set_arguments copies it
    // into the item's record.
    constexpr std::string_view form = "[-]digits[.digits]";
    constexpr std::size_t separator_at = form.find('.');
    char expected[form.size()];
    form.copy(expected, form.size());
    expected[separator_at] = separator;
    item.set_arguments({{"expected-format", std::string_view(expected, form.size())},
                        {"received-value", received}});
}

}  // namespace vorn::core::v2
