// SPDX-License-Identifier: MIT
/// \file
/// vorn/core/testing/result_matchers.hpp: gmock matchers for status stacks.
///
/// Header-only; include it in test code that links gmock (the library itself does not need
/// gmock). A failed match prints the whole stack, one item per line.
///
///   using namespace vorn::core::v2::testing;
///   EXPECT_THAT(parse(line), is_success());
///   EXPECT_THAT(parse(bad_line), has_status(ledger_error::bad_amount));
///   EXPECT_THAT(parse(bad_line), has_argument("received", "12,3x"));
///   EXPECT_THAT(parse(bad_line), has_argument("received", testing::HasSubstr("3x")));
///   EXPECT_THAT(load(path), contains_status(vorn::core::v2::error_errno::instance(), ENOENT));
#ifndef VORN_CORE_TESTING_RESULT_MATCHERS_HPP
#define VORN_CORE_TESTING_RESULT_MATCHERS_HPP

#include <gmock/gmock.h>

#include <functional>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>

#include "vorn/core/result.hpp"

namespace vorn::core::v2 {

namespace detail {

// A matcher of stacks from a predicate and the words that describe it and its negation.
class stack_matcher : public ::testing::MatcherInterface<const result::stack&> {
  public:
    stack_matcher(std::function<bool(const result::stack&, std::ostream*)> test,
                  std::string description, std::string negation)
        : test_(std::move(test)),
          description_(std::move(description)),
          negation_(std::move(negation)) {}

    bool MatchAndExplain(const result::stack& status,
                         ::testing::MatchResultListener* listener) const override {
        if (listener->stream() != nullptr) {
            *listener->stream() << "which is \"" << result::to_string(status) << "\"";
        }
        return test_(status, listener->stream());
    }
    void DescribeTo(std::ostream* out) const override { *out << description_; }
    void DescribeNegationTo(std::ostream* out) const override { *out << negation_; }

  private:
    std::function<bool(const result::stack&, std::ostream*)> test_;
    std::string description_;
    std::string negation_;
};

inline ::testing::Matcher<const result::stack&> make_stack_matcher(
    std::function<bool(const result::stack&, std::ostream*)> test, std::string description,
    std::string negation) {
    return ::testing::MakeMatcher(
        new stack_matcher(std::move(test), std::move(description), std::move(negation)));
}

inline std::string status_words(const result::category& c, int code) {
    return std::string(c.get_name()) + " " + std::to_string(code);
}

inline bool is_status(const result::stack::item& it, const result::category& c, int code) {
    return it.get_category() == c && it.get_value() == code;
}

}  // namespace detail
}  // namespace vorn::core::v2

namespace vorn::core::v2::testing {

/// Matches a stack that has not failed (it holds no item).
inline ::testing::Matcher<const result::stack&> is_success() {
    return detail::make_stack_matcher(
        [](const result::stack& s, std::ostream*) { return !s.has_failed(); }, "is a success",
        "has failed");
}

/// Matches a stack that has failed (it holds at least one item).
inline ::testing::Matcher<const result::stack&> has_failed() {
    return detail::make_stack_matcher(
        [](const result::stack& s, std::ostream*) { return s.has_failed(); }, "has failed",
        "is a success");
}

/// Matches a stack whose newest item has category `c` (the same object) and code `code`.
inline ::testing::Matcher<const result::stack&> has_status(const result::category& c, int code) {
    const std::string words = detail::status_words(c, code);
    return detail::make_stack_matcher(
        [&c, code](const result::stack& s, std::ostream*) {
            return s.has_failed() && detail::is_status(*s.begin(), c, code);
        },
        "has the newest status " + words, "does not have the newest status " + words);
}

/// Matches a stack whose newest item has the category and code of `tag`:
/// has_status(integral_conversion_error::overflow).
template <class Category, int N>
::testing::Matcher<const result::stack&> has_status(result::code<Category, N>) {
    return has_status(Category::instance(), N);
}

/// Matches a stack holding, at any depth, an item of category `c` and code `code`.
inline ::testing::Matcher<const result::stack&> contains_status(const result::category& c,
                                                                int code) {
    const std::string words = detail::status_words(c, code);
    return detail::make_stack_matcher(
        [&c, code](const result::stack& s, std::ostream*) {
            for (const result::stack::item& it : s) {
                if (detail::is_status(it, c, code)) {
                    return true;
                }
            }
            return false;
        },
        "contains the status " + words, "does not contain the status " + words);
}

/// Matches a stack holding, at any depth, an item with the category and code of `tag`.
template <class Category, int N>
::testing::Matcher<const result::stack&> contains_status(result::code<Category, N>) {
    return contains_status(Category::instance(), N);
}

/// Matches a stack whose newest item has an argument named `name` (the first of that name)
/// whose value matches `value`: a text, or a matcher of std::string.
template <class ValueMatcher>
::testing::Matcher<const result::stack&> has_argument(std::string name, ValueMatcher value) {
    const ::testing::Matcher<const std::string&> inner =
        ::testing::SafeMatcherCast<const std::string&>(value);
    std::ostringstream value_words;
    inner.DescribeTo(&value_words);
    const std::string words = "the argument " + name + " with a value that " + value_words.str();
    return detail::make_stack_matcher(
        [name, inner](const result::stack& s, std::ostream* out) {
            if (!s.has_failed()) {
                return false;
            }
            for (const result::argument& a : s.begin()->get_argument_range()) {
                if (name == a.get_name()) {
                    const std::string text = a.get_value();
                    ::testing::StringMatchResultListener listener;
                    const bool matched = inner.MatchAndExplain(text, &listener);
                    if (out != nullptr && !listener.str().empty()) {
                        *out << ", and the value " << listener.str();
                    }
                    return matched;
                }
            }
            if (out != nullptr) {
                *out << ", with no argument " << name;
            }
            return false;
        },
        "has " + words, "does not have " + words);
}

/// Matches a stack whose message (that of its newest item, or "Success") matches `message`.
template <class MessageMatcher>
::testing::Matcher<const result::stack&> has_message(MessageMatcher message) {
    const ::testing::Matcher<const std::string&> inner =
        ::testing::SafeMatcherCast<const std::string&>(message);
    std::ostringstream words;
    inner.DescribeTo(&words);
    return detail::make_stack_matcher(
        [inner](const result::stack& s, std::ostream*) {
            return inner.Matches(std::string(s.get_message()));
        },
        "has a message that " + words.str(), "has no message that " + words.str());
}

}  // namespace vorn::core::v2::testing

#endif  // VORN_CORE_TESTING_RESULT_MATCHERS_HPP
