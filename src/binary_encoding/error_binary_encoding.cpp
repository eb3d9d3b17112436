// SPDX-License-Identifier: MIT
// The category of refused and incomplete Base64, Base64url and hex texts.
#include <string_view>

#include "vorn/core/binary_encoding.hpp"

namespace vorn::core::v2 {

namespace {

// Both arguments, with one allocation.
void attach(result::stack::item& item, binary_encoding encoding,
            std::string_view received) noexcept {
    item.set_arguments({{"encoding", to_string(encoding)}, {"received-value", received}});
}

}  // namespace

const result::code<error_binary_encoding, 1> error_binary_encoding::refused{};
const result::code<error_binary_encoding, 2> error_binary_encoding::incomplete{};

error_binary_encoding& error_binary_encoding::instance() {
    static error_binary_encoding the_category;
    return the_category;
}

error_binary_encoding::~error_binary_encoding() = default;

const char* error_binary_encoding::get_name() const {
    // Frozen text: programs compare and store category names.
    return "vorn-core-error-binary-encoding";
}

const char* error_binary_encoding::get_message(int code) const {
    // Frozen texts: programs compare and log these messages.
    switch (code) {
        case 1:
            return "The text is not valid in its binary encoding";
        case 2:
            return "The text ends inside a group";
        default:
            show_invalid_value_message_and_exit(code);
    }
}

void error_binary_encoding::create(result::stack::item& item,
                                   result::code<error_binary_encoding, 1>, binary_encoding encoding,
                                   std::string_view received) const noexcept {
    attach(item, encoding, received);
}

void error_binary_encoding::create(result::stack::item& item,
                                   result::code<error_binary_encoding, 2>, binary_encoding encoding,
                                   std::string_view received) const noexcept {
    attach(item, encoding, received);
}

result::stack::item* error_binary_encoding::report(result::stack& status, decode_status outcome,
                                                   binary_encoding encoding,
                                                   std::string_view received) noexcept {
    switch (outcome) {
        case decode_status::refused:
            return &status.push(refused, encoding, received);
        case decode_status::incomplete:
            return &status.push(incomplete, encoding, received);
        case decode_status::complete:
        case decode_status::too_small:  // the caller's buffer, not the text
            break;
    }
    return nullptr;
}

}  // namespace vorn::core::v2
