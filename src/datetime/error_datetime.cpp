// SPDX-License-Identifier: MIT
// The category of refused date-time texts.
#include <string>
#include <string_view>

#include "vorn/core/converters.hpp"

namespace vorn::core::v2 {

const result::code<error_datetime, 1> error_datetime::invalid_format{};

error_datetime& error_datetime::instance() {
    // The guard branch taken when another thread finishes the construction first cannot be
    // arranged by a test.
    static error_datetime the_category;  // GCOVR_EXCL_BR_LINE: see above
    return the_category;
}

error_datetime::~error_datetime() = default;

const char* error_datetime::get_name() const {
    // Frozen text: programs compare and store category names.
    return "vorn-core-error-date";
}

const char* error_datetime::get_message(int code) const {
    // Frozen texts: programs compare and log these messages.
    switch (code) {
        case 1:
            return "O formato informado está fora do esperado";
        default:
            show_invalid_value_message_and_exit(code);
    }
}

void error_datetime::create(result::stack::item& item, result::code<error_datetime, 1>,
                            const std::string& received) const {
    attach(item, received);
}

void error_datetime::attach(result::stack::item& item, std::string_view received) noexcept {
    item.set_arguments({{"expected-format", "YYYY-mm-ddTHH:MM:SS[.sssss](Z|(+|-)HH:MM)"},
                        {"received-value", received}});
}

}  // namespace vorn::core::v2
