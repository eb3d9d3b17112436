// SPDX-License-Identifier: MIT
// The text form of a stack: one line per item, newest first.
#include <ostream>
#include <string>
#include <string_view>

#include "vorn/core/result.hpp"

namespace vorn::core::v2::result {

std::string to_string(const stack& status) {
    if (!status.has_failed()) {
        return "Success";
    }
    std::string text;
    for (const stack::item& it : status) {
        if (!text.empty()) {
            text += '\n';
        }
        char code[16];
        const std::to_chars_result written =
            std::to_chars(code, code + sizeof code, it.get_value());
        text.append(it.get_category().get_name())
            .append(" ")
            .append(code, written.ptr)
            .append(": ")
            .append(it.get_message());
        for (const argument& a : it.get_argument_range()) {
            text.append("; ").append(a.get_name()).append("=").append(a.get_value());
        }
    }
    return text;
}

std::ostream& operator<<(std::ostream& out, const stack& status) {
    return out << to_string(status);
}

}  // namespace vorn::core::v2::result
