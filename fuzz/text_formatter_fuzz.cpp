// SPDX-License-Identifier: MIT
// The text formatter on arbitrary bytes: the placeholders found are well formed, ordered and
// exactly those of the standard regular expression on short texts, and make_string agrees
// with a replacement from the last placeholder to the first; binding by number agrees with
// binding each placeholder of that number by its whole text.
//
// Input: one control byte (which placeholders get a binding), then the text.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "../tests/support/placeholder_reference.hpp"
#include "vorn/core/text_formatter.hpp"

#include "fuzz_check.hpp"

using vorn::fuzz::check;

namespace {

bool all_digits(const std::string& s) {
    for (char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return !s.empty();
}

// The regular-expression matcher recurses per character; longer texts are checked by the
// structural properties only.
constexpr std::size_t reference_limit = 128;

int check_input(const std::uint8_t* data, std::size_t size) {
    namespace vc = vorn::core::v2;
    using vorn::test::reference_placeholder;
    if (size == 0) {
        return 0;
    }
    const unsigned control = data[0];
    const vorn::core::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string text(input.data(), input.size());

    vc::text_formatter f = vc::text_formatter::parser(input);
    std::vector<reference_placeholder> found;
    for (const vc::argument& a : f.get_arguments()) {
        found.push_back(
            {a.get_name(), a.get_params(), a.get_full_arg(), a.get_begin(), a.get_end()});
    }

    // Well formed, in order, never overlapping, and where they say they are.
    std::size_t previous_end = 0;
    for (const reference_placeholder& p : found) {
        check(p.begin >= previous_end && p.begin < p.end && p.end <= text.size());
        check(text.compare(p.begin, p.end - p.begin, p.full_arg) == 0);
        check(all_digits(p.name));
        check(p.params.find('{') == std::string::npos);
        const std::string plain = "{" + p.name + "}";
        check(p.full_arg == plain || p.full_arg == "{" + p.name + ": " + p.params + "}");
        check(p.full_arg != plain || p.params.empty());
        previous_end = p.end;
    }
    if (text.size() <= reference_limit) {
        check(found == vorn::test::regex_placeholders(text));
    }

    // Bind some placeholders, in order, to texts that look like placeholders themselves.
    std::map<std::string, std::string> bindings;
    for (std::size_t i = 0; i < found.size(); ++i) {
        if ((control >> (i % 8)) & 1U) {
            const std::string replacement = "{" + std::to_string(i) + "}";
            f.replace_arg_escape_impl(found[i].full_arg, replacement);
            bindings[found[i].full_arg] = replacement;
        }
    }
    const std::string expected = vorn::test::reference_text(text, found, bindings);
    const vc::text_formatter copy(f);
    check(f.make_string() == expected);
    check(f.make_string() == expected);
    check(vc::text_formatter(copy).make_string() == expected);

    // The numbers present, as numbers: the first placeholder of each decides has_arg_args.
    std::map<unsigned long, bool> first_has_params;
    for (const reference_placeholder& p : found) {
        if (p.name.size() > 1 && p.name[0] == '0') {
            continue;  // leading zeros never match a number
        }
        errno = 0;
        const unsigned long long n = std::strtoull(p.name.c_str(), nullptr, 10);
        if (errno == ERANGE) {
            continue;
        }
        first_has_params.emplace(n, !p.params.empty());
    }
    const vc::text_formatter& constant = f;
    for (const auto& [n, has_params] : first_has_params) {
        check(f.has_arg_escape(n) && constant.has_arg_escape(n));
        check(f.has_arg_args(n) == has_params && constant.has_arg_args(n) == has_params);
    }

    // Binding by number agrees with binding each placeholder of that number by its text.
    vc::text_formatter by_number = vc::text_formatter::parser(input);
    vc::text_formatter by_text = by_number;
    for (const auto& entry : first_has_params) {
        const unsigned long n = entry.first;
        const std::string replacement = "<" + std::to_string(n % 97) + ">";
        by_number.bind_text(n, replacement);
        for (const reference_placeholder& p : found) {
            if (p.name == std::to_string(n)) {
                by_text.replace_arg_escape_impl(p.full_arg, replacement);
            }
        }
    }
    check(by_number.make_string() == by_text.make_string());
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return vorn::fuzz::run_guarded(data, size, check_input);
}
