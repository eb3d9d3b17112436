// SPDX-License-Identifier: MIT
// A slow reference for the text formatter: placeholders found with the standard library's
// regular expression, and the text built by replacing them from the last to the first.
// Header-only, shared by the formatter's tests and its fuzz target.
#ifndef VORN_CORE_TESTS_SUPPORT_PLACEHOLDER_REFERENCE_HPP
#define VORN_CORE_TESTS_SUPPORT_PLACEHOLDER_REFERENCE_HPP

#include <cstddef>
#include <map>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

namespace vorn::test {

struct reference_placeholder {
    std::string name;
    std::string params;
    std::string full_arg;
    std::size_t begin;
    std::size_t end;

    bool operator==(const reference_placeholder& o) const {
        return name == o.name && params == o.params && full_arg == o.full_arg && begin == o.begin &&
               end == o.end;
    }
};

inline std::ostream& operator<<(std::ostream& out, const reference_placeholder& p) {
    return out << "{name '" << p.name << "', params '" << p.params << "', full '" << p.full_arg
               << "', " << p.begin << ".." << p.end << "}";
}

// Every non-overlapping match of the placeholder pattern, left to right. The standard
// matcher recurses per character: keep the texts short.
inline std::vector<reference_placeholder> regex_placeholders(const std::string& text) {
    static const std::regex pattern("\\{([0-9]+)(?:\\: ([^{]*))?\\}");
    std::vector<reference_placeholder> out;
    for (std::sregex_iterator it(text.begin(), text.end(), pattern), last; it != last; ++it) {
        const std::smatch& m = *it;
        const auto begin = static_cast<std::size_t>(m.position(0));
        out.push_back({m[1].str(), m[2].matched ? m[2].str() : std::string(), m[0].str(), begin,
                       begin + static_cast<std::size_t>(m.length(0))});
    }
    return out;
}

// `text` with each placeholder replaced by its binding, or removed when it has none, working
// from the last placeholder to the first.
inline std::string reference_text(std::string text, const std::vector<reference_placeholder>& found,
                                  const std::map<std::string, std::string>& bindings) {
    for (auto p = found.rbegin(); p != found.rend(); ++p) {
        const auto binding = bindings.find(p->full_arg);
        text.replace(p->begin, p->end - p->begin,
                     binding == bindings.end() ? std::string() : binding->second);
    }
    return text;
}

}  // namespace vorn::test

#endif
