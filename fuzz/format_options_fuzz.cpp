// SPDX-License-Identifier: MIT
// The format options parser of the {fmt} and std::format formatters on arbitrary bytes,
// for each kind of value: it accepts exactly the format options of the grammar (checked with
// std::regex), stops inside the text at the closing brace or the end, and reads the width and
// the precision written.
#include <cstddef>
#include <cstdint>
#include <regex>
#include <string>

#include "vorn/core/format_options.hpp"

#include "fuzz_check.hpp"

using vorn::fuzz::check;

namespace vd = vorn::core::v2::detail;

namespace {

int check_input(const std::uint8_t* data, std::size_t size) {
    static const std::regex forms[] = {
        std::regex(R"(^(?:[^{}][<>^]|[<>^])?([1-9]\d*|\{\d*\})?(\}[\s\S]*)?$)"),
        std::regex(R"(^(?:[^{}][<>^]|[<>^])?([1-9]\d*|\{\d*\})?r?(\}[\s\S]*)?$)"),
        std::regex(R"(^(?:[^{}][<>^]|[<>^])?([1-9]\d*|\{\d*\})?(?:\.(\d+))?,?f?(\}[\s\S]*)?$)"),
    };
    static const vd::format_kind kinds[] = {vd::format_kind::text, vd::format_kind::datetime,
                                            vd::format_kind::decimal};
    const char* const begin = reinterpret_cast<const char*>(data);
    const char* const end = begin + size;
    const std::string text(begin, end);
    // Counts of more than 9 digits may pass INT_MAX, which the parser refuses and the grammar
    // does not say: the grammar is checked on shorter counts only.
    const bool short_counts = !std::regex_search(text, std::regex(R"(\d{10})"));
    for (int k = 0; k < 3; ++k) {
        vd::format_options options;
        const char* error = nullptr;
        const char* stop = vd::parse_format_options(begin, end, kinds[k], options, error);
        check(stop >= begin && stop <= end);
        if (error == nullptr) {
            check(stop == end || *stop == '}');
            check(options.fill != '{' && options.fill != '}');
            check(options.width <= 0x7fffffffU && options.precision >= -1);
            check(k == 2 || (options.precision == -1 && options.separator == '.'));
            check(k == 1 || !options.rfc3339);
        }
        if (!short_counts) {
            continue;
        }
        // The grammar is matched up to the first closing brace the parser may stop at.
        std::smatch match;
        const bool in_grammar = std::regex_match(text, match, forms[k]);
        check((error == nullptr) == in_grammar);
        if (in_grammar && match[1].matched && match[1].str()[0] != '{') {
            check(options.width == std::stoul(match[1].str()));
        }
        if (in_grammar && k == 2 && match[2].matched) {
            check(options.precision == std::stoi(match[2].str()));
        }
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return vorn::fuzz::run_guarded(data, size, check_input);
}
