#include <string>

#include "vorn/core/converters.hpp"

namespace vorn::core::v2 {

error_datetime& error_datetime::instance() {
    static error_datetime the_category;
    return the_category;
}

error_datetime::~error_datetime() = default;

const char* error_datetime::get_name() const {
    return "vorn-core-error-date";
}

const char* error_datetime::get_message(int code) const {
    switch (code) {
        case 1:
            return "O formato informado está fora do esperado";
        default:
            show_invalid_value_message_and_exit(code);
    }
}

void error_datetime::create(result::stack::item& item, result::code<error_datetime, 1>,
                            const std::string& received) const {
    // Built once: the text is longer than a string keeps without a heap block.
    static const std::string expected_format = "YYYY-mm-ddTHH:MM:SS[.sssss](Z|(+|-)HH:MM)";
    item.set_argument("expected-format", expected_format);
    item.set_argument("received-value", received);
}

}  // namespace vorn::core::v2
