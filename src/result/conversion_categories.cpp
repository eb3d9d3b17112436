// SPDX-License-Identifier: MIT
// The conversion categories: integral_conversion_error and converter_result_category.
#include "vorn/core/result.hpp"

namespace vorn::core::v2 {

// ---------------------------------------------------------------------------------------------
// integral_conversion_error

const result::code<integral_conversion_error, 1> integral_conversion_error::overflow{};
const result::code<integral_conversion_error, 2> integral_conversion_error::invalid_value{};

integral_conversion_error& integral_conversion_error::instance() {
    // The guard branch taken when another thread finishes the construction first cannot be
    // arranged by a test.
    static integral_conversion_error the_category;  // GCOVR_EXCL_BR_LINE: see above
    return the_category;
}

integral_conversion_error::~integral_conversion_error() = default;

const char* integral_conversion_error::get_name() const {
    // Frozen text: programs compare and store category names.
    return "vorn-core-integralconversionerror";
}

const char* integral_conversion_error::get_message(int code) const {
    // Frozen texts: programs compare and log these messages.
    switch (code) {
        case 1:
            return "The string value is too big for the target type";
        case 2:
            return "The string value is not a number";
        default:
            show_invalid_value_message_and_exit(code);
    }
}

void integral_conversion_error::create(result::stack::item& item,
                                       result::code<integral_conversion_error, 1>,
                                       const std::string& text) const {
    item.set_arguments({{"string_value", text}});
}

void integral_conversion_error::create(result::stack::item& item,
                                       result::code<integral_conversion_error, 2>,
                                       const std::string& text) const {
    item.set_arguments({{"string_value", text}});
}

// ---------------------------------------------------------------------------------------------
// converter_result_category

converter_result_category& converter_result_category::instance() {
    // The guard branch taken when another thread finishes the construction first cannot be
    // arranged by a test.
    static converter_result_category the_category;  // GCOVR_EXCL_BR_LINE: see above
    return the_category;
}

converter_result_category::~converter_result_category() = default;

const char* converter_result_category::get_name() const {
    // Frozen text: programs compare and store category names.
    return "vornbase-core-converter_result_category";
}

const char* converter_result_category::get_message(int code) const {
    // Frozen texts: programs compare and log these messages.
    switch (code) {
        case 1:
            return "Parâmetro do converter com valor inválido";
        case 2:
            return "Argumento de conversão inválidos";
        default:
            show_invalid_value_message_and_exit(code);
    }
}

void converter_result_category::create(result::stack::item&,
                                       result::code<converter_result_category, 1>) const {}

void converter_result_category::create(result::stack::item&,
                                       result::code<converter_result_category, 2>) const {}

}  // namespace vorn::core::v2
