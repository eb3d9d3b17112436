// SPDX-License-Identifier: MIT
// Status reporting: categories, stacks, arguments, the item pool, the conversion categories.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>
#if __has_include(<source_location>)
#include <source_location>
#endif

#include "support/allocation_failure.hpp"
#include "support/child_process.hpp"
#include "vorn/core.hpp"
#include "vorn/core/testing/result_matchers.hpp"

namespace vc = vorn::core::v2;
using vc::result::stack;
using vorn::test::allocation_counter;
using vorn::test::allocation_failure_scope;
using vorn::test::run_in_child;
using namespace vc::testing;

namespace {

// A client category with two codes, as client code writes one.
class test_category : public vc::result::category {
  public:
    explicit constexpr test_category(const char* name) noexcept : name_(name) {}
    const char* get_name() const override { return name_; }
    const char* get_message(int code) const override {
        switch (code) {
            case 1:
                return "first";
            case 2:
                return "second";
            default:
                show_invalid_value_message_and_exit(code);
        }
    }

  private:
    const char* name_;
};

const test_category alpha("alpha");
const test_category alpha_twin("alpha");
const test_category beta("beta");

const char* const pool_exhausted =
    "Não foi possível obter um espaço estático para a construção de um item (result::stack)";
const char* const placeholder_name = "out-of-memory";
const char* const placeholder_value =
    "Não foi possível alocar memoria para um argumento do result status";

std::vector<int> codes_of(const stack& s) {
    std::vector<int> codes;
    for (const stack::item& i : s) {
        codes.push_back(i.get_value());
    }
    return codes;
}

std::vector<std::pair<std::string, std::string>> arguments_of(const vc::result::argument_list& l) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const vc::result::argument& a : l) {
        out.emplace_back(a.get_name(), a.get_value());
    }
    return out;
}

using argument_pairs = std::vector<std::pair<std::string, std::string>>;

// Runs `f` on a new thread, which holds no spare blocks of released items yet.
template <class F>
void in_fresh_thread(F f) {
    std::thread(f).join();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Categories

TEST(Category, IdentityIsEquality) {
    EXPECT_TRUE(alpha == alpha);
    EXPECT_FALSE(alpha != alpha);
    EXPECT_FALSE(alpha == alpha_twin) << "same name, different object";
    EXPECT_TRUE(alpha != beta);

    const vc::result::category& success = stack().get_category();
    EXPECT_STREQ(success.get_name(), "vorn-core-success");
    EXPECT_TRUE(success == stack().get_category());
    EXPECT_TRUE(vc::integral_conversion_error::instance() != success);
    EXPECT_TRUE(vc::integral_conversion_error::instance() !=
                vc::converter_result_category::instance());
    EXPECT_EQ(&vc::integral_conversion_error::instance(),
              &vc::integral_conversion_error::instance());
    EXPECT_EQ(&vc::converter_result_category::instance(),
              &vc::converter_result_category::instance());
}

TEST(Category, SuccessCategoryAnswersSuccessForEveryCode) {
    const vc::result::category& success = stack().get_category();
    for (int code : {0, 1, -1, 42, INT32_MIN, INT32_MAX}) {
        EXPECT_STREQ(success.get_message(code), "Success") << code;
    }
}

TEST(Category, LibraryCategoryNamesAndMessages) {
    const auto& integral = vc::integral_conversion_error::instance();
    const auto& converter = vc::converter_result_category::instance();
    EXPECT_STREQ(integral.get_name(), "vorn-core-integralconversionerror");
    EXPECT_STREQ(integral.get_message(1), "The string value is too big for the target type");
    EXPECT_STREQ(integral.get_message(2), "The string value is not a number");
    EXPECT_STREQ(converter.get_name(), "vornbase-core-converter_result_category");
    EXPECT_STREQ(converter.get_message(1), "Parâmetro do converter com valor inválido");
    EXPECT_STREQ(converter.get_message(2), "Argumento de conversão inválidos");
    EXPECT_EQ(sizeof(vc::integral_conversion_error::overflow), 1U);
}

TEST(Category, UndefinedCodeEndsTheProcessWithOneLine) {
    static const test_category name28("abcdefghijklmnopqrstuvwxyz01");
    static const test_category name29("abcdefghijklmnopqrstuvwxyz012");
    static const test_category unnamed("");
    struct row {
        const vc::result::category* category;
        int code;
        const char* expected;
    };
    const row rows[] = {
        {&alpha, 0, "Invalid status code value: 0x00000000 (alpha)\n"},
        {&alpha, -1, "Invalid status code value: 0xFFFFFFFF (alpha)\n"},
        {&alpha, 255, "Invalid status code value: 0x000000FF (alpha)\n"},
        {&alpha, INT32_MIN, "Invalid status code value: 0x80000000 (alpha)\n"},
        {&name28, 3, "Invalid status code value: 0x00000003 (abcdefghijklmnopqrstuvwxyz01)\n"},
        {&name29, 3, "Invalid status code value: 0x00000003 (abcdefghijklmnopqrstuvwxyz01)\n"},
        {&unnamed, 7, "Invalid status code value: 0x00000007 ()\n"},
        {&vc::integral_conversion_error::instance(), 42,
         "Invalid status code value: 0x0000002A (vorn-core-integralconversion)\n"},
        {&vc::integral_conversion_error::instance(), 3,
         "Invalid status code value: 0x00000003 (vorn-core-integralconversion)\n"},
        {&vc::converter_result_category::instance(), 3,
         "Invalid status code value: 0x00000003 (vornbase-core-converter_resu)\n"},
    };
    for (const row& r : rows) {
        const auto outcome = run_in_child([&] { r.category->get_message(r.code); });
        EXPECT_TRUE(outcome.exited) << r.expected;
        EXPECT_EQ(outcome.exit_status, 1) << r.expected;
        EXPECT_EQ(outcome.standard_error, r.expected);
    }
}

TEST(Category, UndefinedCodeThroughAStackEndsTheProcess) {
    const auto outcome = run_in_child([] {
        stack s;
        s.push_item(beta, 9);
        s.get_message();
    });
    EXPECT_EQ(outcome.exit_status, 1);
    EXPECT_EQ(outcome.standard_error, "Invalid status code value: 0x00000009 (beta)\n");
}

// ---------------------------------------------------------------------------------------------
// Stack

TEST(Stack, EmptyStackReportsSuccess) {
    const stack s;
    EXPECT_FALSE(s.has_failed());
    EXPECT_EQ(s.get_value(), 0);
    EXPECT_STREQ(s.get_message(), "Success");
    EXPECT_STREQ(s.get_category().get_name(), "vorn-core-success");
    EXPECT_TRUE(s.begin() == s.end());
    EXPECT_TRUE(s.begin() == stack::const_iterator()) << "the null iterator";
    EXPECT_TRUE(s.get_argument_range().begin() == s.get_argument_range().end());
}

TEST(Stack, NewestItemAnswersAndIterationRunsNewestFirst) {
    stack s;
    stack::item& first = s.push_item(alpha, 1);
    first.set_argument("where", "one");
    s.push_item(beta, 2).set_argument("where", "two");

    EXPECT_EQ(codes_of(s), (std::vector<int>{2, 1}));
    EXPECT_TRUE(s.has_failed());
    EXPECT_EQ(s.get_value(), 2);
    EXPECT_STREQ(s.get_message(), "second");
    EXPECT_TRUE(s.get_category() == beta);
    EXPECT_EQ(arguments_of(s.get_argument_range()), (argument_pairs{{"where", "two"}}));

    // Iterators: pre/post increment, arrow, end is reached after the oldest item.
    stack::iterator it = s.begin();
    EXPECT_EQ(it->get_value(), 2);
    stack::iterator old = it++;
    EXPECT_EQ(old->get_value(), 2);
    EXPECT_EQ(&*it, &first);
    EXPECT_TRUE(++it == s.end());
    stack::const_iterator cit = s.begin();
    EXPECT_TRUE(cit == s.cbegin());
}

TEST(Stack, PushedItemsAreFailedWhateverTheirCategory) {
    stack s;
    s.push_item(stack().get_category(), 0);
    EXPECT_THAT(s, has_failed());
    EXPECT_THAT(s, has_status(stack().get_category(), 0));
    EXPECT_THAT(s, has_message("Success"));
}

TEST(Stack, ResetReportsSuccessAgain) {
    stack s;
    s.push_item(alpha, 1);
    s.push_item(alpha, 2);
    EXPECT_THAT(s, has_failed());
    s.reset();
    EXPECT_THAT(s, is_success());
    EXPECT_TRUE(s.begin() == s.end());
    s.push_item(beta, 1);
    EXPECT_EQ(codes_of(s), (std::vector<int>{1}));
    EXPECT_TRUE(s.get_category() == beta);
}

TEST(Stack, CopyKeepsItemsArgumentsAndOrder) {
    stack source;
    source.push_item(alpha, 1).set_argument("a", "1");
    stack::item& middle = source.push_item(beta, 2);
    middle.set_argument("b", "2");
    middle.set_argument("b", "3");
    source.push_item(vc::integral_conversion_error::instance(), 1);

    const stack copy(source);
    EXPECT_TRUE(copy == source);
    ASSERT_EQ(codes_of(copy), codes_of(source));
    auto s = source.begin();
    for (auto c = copy.begin(); c != copy.end(); ++c, ++s) {
        EXPECT_NE(&*c, &*s) << "items are never shared";
        EXPECT_TRUE(c->get_category() == s->get_category());
        EXPECT_EQ(c->has_failed(), s->has_failed());
        EXPECT_EQ(arguments_of(c->get_argument_range()), arguments_of(s->get_argument_range()));
    }

    stack assigned;
    assigned.push_item(beta, 7);
    assigned = source;
    EXPECT_EQ(codes_of(assigned), (std::vector<int>{1, 2, 1}));
    assigned = static_cast<const stack&>(assigned);  // self-assignment keeps the items
    EXPECT_EQ(codes_of(assigned), (std::vector<int>{1, 2, 1}));

    assigned = stack();
    EXPECT_FALSE(assigned.has_failed());
}

TEST(Stack, CopyTurnsThePlaceholderIntoAnOrdinaryArgument) {
    stack source;
    {
        allocation_failure_scope failing;
        source.push_item(alpha, 1).set_argument("lost", "value");
    }
    const stack copy(source);
    EXPECT_EQ(arguments_of(copy.get_argument_range()),
              (argument_pairs{{placeholder_name, placeholder_value}}));
    // In the copy it is an ordinary record, so the list is open again.
    stack again(copy);
    again.begin()->set_argument("next", "x");
    EXPECT_EQ(arguments_of(again.get_argument_range()),
              (argument_pairs{{placeholder_name, placeholder_value}, {"next", "x"}}));
}

TEST(Stack, EqualityComparesTheNewestItemsOnly) {
    stack empty, other_empty, a, b, c;
    a.push_item(beta, 5);
    a.push_item(alpha, 1).set_argument("x", "1");
    b.push_item(alpha, 1);
    c.push_item(alpha_twin, 1);

    EXPECT_TRUE(empty == other_empty);
    EXPECT_TRUE(empty != a);
    EXPECT_TRUE(a != empty);
    EXPECT_TRUE(a == b) << "older items and arguments take no part";
    EXPECT_TRUE(a != c) << "same code, different category object";
    EXPECT_TRUE(*a.begin() == *b.begin());
    EXPECT_TRUE(*a.begin() != *c.begin());
}

TEST(Stack, SwapAndMoveRelinkWholeSequences) {
    struct row {
        std::vector<int> left, right;
    };
    const row rows[] = {{{}, {}}, {{}, {1, 2}}, {{3}, {}}, {{1, 2, 3}, {4, 5}}};
    for (const row& r : rows) {
        stack left, right;
        for (int code : r.left) {
            left.push_item(alpha, code);
        }
        for (int code : r.right) {
            right.push_item(alpha, code);
        }
        const std::vector<int> left_codes = codes_of(left), right_codes = codes_of(right);

        left.swap(right);
        EXPECT_EQ(codes_of(left), right_codes);
        EXPECT_EQ(codes_of(right), left_codes);
        // Both lists must still work after the relinking.
        left.push_item(beta, 9);
        right.push_item(beta, 8);
        EXPECT_EQ(left.get_value(), 9);
        EXPECT_EQ(right.get_value(), 8);

        stack moved(std::move(left));
        EXPECT_TRUE(left.begin() == left.end());
        EXPECT_FALSE(left.has_failed());
        EXPECT_EQ(moved.get_value(), 9);
        right = std::move(moved);
        EXPECT_TRUE(moved.begin() == moved.end());
        EXPECT_EQ(right.get_value(), 9);
        EXPECT_EQ(codes_of(right).size(), right_codes.size() + 1);
    }
    stack self;
    self.push_item(alpha, 1);
    self.swap(self);
    EXPECT_EQ(codes_of(self), (std::vector<int>{1}));
}

TEST(Stack, PushTemplateCallsTheMatchingCreate) {
    stack s;
    stack::item& overflow = s.push(vc::integral_conversion_error::overflow, "99999999999999999999");
    EXPECT_EQ(&overflow, &*s.begin());
    EXPECT_THAT(s, has_status(vc::integral_conversion_error::overflow));
    EXPECT_THAT(s, has_message("The string value is too big for the target type"));
    EXPECT_THAT(s, has_argument("string_value", "99999999999999999999"));

    s.push(vc::result::code<vc::converter_result_category, 2>());
    EXPECT_THAT(s, has_status(vc::converter_result_category::instance(), 2));
    EXPECT_TRUE(s.get_argument_range().begin() == s.get_argument_range().end());
}

TEST(Stack, EmptyStackArgumentRangeIsNotShared) {
    stack empty;
    vc::result::argument_list& detached = empty.get_argument_range();
    detached.set_argument("leak", "attempt");

    const stack other;
    EXPECT_TRUE(other.get_argument_range().begin() == other.get_argument_range().end())
        << "the success item's arguments must stay empty";
    EXPECT_TRUE(empty.get_argument_range().begin() == empty.get_argument_range().end());
    EXPECT_STREQ(empty.get_message(), "Success");

    stack pushed;
    pushed.push_item(alpha, 1);
    EXPECT_TRUE(pushed.get_argument_range().begin() == pushed.get_argument_range().end());
}

// ---------------------------------------------------------------------------------------------
// Arguments

TEST(Arguments, LengthLimits) {
    struct row {
        std::size_t name_length, value_length, kept_name, kept_value;
    };
    const row rows[] = {
        {0, 0, 0, 0},      {1, 1, 1, 1},       {253, 0, 253, 0},   {253, 5, 253, 0},
        {300, 10, 253, 0}, {10, 300, 10, 243}, {12, 241, 12, 241}, {12, 242, 12, 241},
        {252, 1, 252, 1},  {252, 9, 252, 1},   {0, 253, 0, 253},   {0, 400, 0, 253},
    };
    // Every way of adding an argument cuts the same way.
    using adder = void (*)(vc::result::argument_list&, const std::string&, const std::string&);
    const adder adders[] = {
        [](vc::result::argument_list& l, const std::string& n, const std::string& v) {
            l.set_argument(n, v);
        },
        [](vc::result::argument_list& l, const std::string& n, const std::string& v) {
            l.set_argument(std::string_view(n), std::string_view(v));
        },
        [](vc::result::argument_list& l, const std::string& n, const std::string& v) {
            l.set_argument(n.c_str(), std::string_view(v));
        },
        [](vc::result::argument_list& l, const std::string& n, const std::string& v) {
            l.set_arguments({{n, v}, {n, v}});
        },
    };
    for (const adder add : adders) {
        for (const row& r : rows) {
            const std::string name(r.name_length, 'n');
            const std::string value(r.value_length, 'v');
            vc::result::argument_list list;
            add(list, name, value);
            const auto stored = arguments_of(list);
            ASSERT_GE(stored.size(), 1U);
            EXPECT_EQ(stored.back().first, name.substr(0, r.kept_name)) << r.name_length;
            EXPECT_EQ(stored.back().second, value.substr(0, r.kept_value)) << r.value_length;
        }
    }
}

TEST(Arguments, LookupTakesTheFirstExactMatch) {
    stack s;
    stack::item& i = s.push_item(alpha, 1);
    EXPECT_STREQ(i.get_argument_value("a"), "");
    i.set_argument("a", "1");
    i.set_argument("ab", "x");
    i.set_argument("a", "2");
    i.set_argument("", "empty name");
    EXPECT_STREQ(i.get_argument_value("a"), "1");
    EXPECT_STREQ(i.get_argument_value("ab"), "x");
    EXPECT_STREQ(i.get_argument_value(""), "empty name");
    EXPECT_STREQ(i.get_argument_value("abc"), "");
    EXPECT_STREQ(i.get_argument_value(std::string("a\0b", 3)), "") << "full text comparison";
    EXPECT_EQ(arguments_of(i.get_argument_range()),
              (argument_pairs{{"a", "1"}, {"ab", "x"}, {"a", "2"}, {"", "empty name"}}));
}

TEST(Arguments, EmbeddedNulEndsTheTextWhenReadBack) {
    vc::result::argument_list list;
    list.set_argument(std::string("na\0me", 5), std::string("va\0lue", 6));
    EXPECT_EQ(arguments_of(list), (argument_pairs{{"na", "va"}}));
}

TEST(Arguments, FirstAllocationFailureLeavesThePlaceholder) {
    vc::result::argument_list list;
    {
        allocation_failure_scope failing;
        list.set_argument("name", "value");
    }
    EXPECT_EQ(arguments_of(list), (argument_pairs{{placeholder_name, placeholder_value}}));
    list.set_argument("later", "ignored");
    EXPECT_EQ(arguments_of(list), (argument_pairs{{placeholder_name, placeholder_value}}));
    // Destroying a list that points at the shared placeholder must free nothing (checked by
    // the sanitizer builds).
}

TEST(Arguments, GrowthFailureTurnsThePreviousRecordIntoThePlaceholder) {
    vc::result::argument_list list;
    list.set_argument("first", "1");
    list.set_argument("second", "2");
    vorn::test::fail_next_allocations(1);
    list.set_argument("third", "3");
    vorn::test::stop_failing_allocations();
    const argument_pairs closed{{"first", "1"}, {placeholder_name, placeholder_value}};
    EXPECT_EQ(arguments_of(list), closed);
    list.set_argument("fourth", "4");
    EXPECT_EQ(arguments_of(list), closed);
}

TEST(Arguments, GrowthFailureOnTheSecondRecord) {
    vc::result::argument_list list;
    list.set_argument("first", "1");
    vorn::test::fail_next_allocations(1);
    list.set_argument("second", "2");
    vorn::test::stop_failing_allocations();
    EXPECT_EQ(arguments_of(list), (argument_pairs{{placeholder_name, placeholder_value}}));
}

TEST(Arguments, MovingLeavesTheSourceEmpty) {
    vc::result::argument_list source;
    source.set_argument("k", "v");
    vc::result::argument_list target(std::move(source));
    EXPECT_TRUE(source.begin() == source.end());
    EXPECT_TRUE(source.begin() == vc::result::argument_list::iterator());
    EXPECT_EQ(arguments_of(target), (argument_pairs{{"k", "v"}}));

    vc::result::argument_list other;
    other.set_argument("old", "gone");
    other = std::move(target);
    EXPECT_EQ(arguments_of(other), (argument_pairs{{"k", "v"}}));
    EXPECT_TRUE(target.begin() == target.end());

    vc::result::argument_list::const_iterator it = other.begin();
    EXPECT_STREQ(it->get_name(), "k");
    EXPECT_TRUE(++it == other.cend());
}

TEST(Arguments, EachAdditionIsExactlyOneAllocation) {
    vc::result::argument_list list;
    const std::string name = "a-name-longer-than-the-small-buffer";
    const std::string value = "a-value-longer-than-the-small-buffer";
    for (int i = 0; i < 5; ++i) {
        allocation_counter counter;
        list.set_argument(name, value);
        EXPECT_EQ(counter.count(), 1U) << "addition " << i;
    }
}

TEST(Arguments, ConversionCategoriesAttachTheirArguments) {
    stack s;
    auto& integral = vc::integral_conversion_error::instance();
    stack::item& i = s.push_item(integral, 2);
    integral.create(i, vc::integral_conversion_error::invalid_value, "");
    EXPECT_EQ(arguments_of(i.get_argument_range()), (argument_pairs{{"string_value", ""}}));

    const std::string long_text(300, '7');
    stack::item& j = s.push_item(integral, 1);
    integral.create(j, vc::integral_conversion_error::overflow, long_text);
    EXPECT_EQ(std::string(j.get_argument_value("string_value")), long_text.substr(0, 241));

    auto& converter = vc::converter_result_category::instance();
    stack::item& k = s.push_item(converter, 1);
    converter.create(k, vc::result::code<vc::converter_result_category, 1>());
    converter.create(k, vc::result::code<vc::converter_result_category, 2>());
    EXPECT_TRUE(k.get_argument_range().begin() == k.get_argument_range().end());
}

TEST(Stack, SizeCountsItemsThroughPushCopyMoveAndReset) {
    stack s;
    EXPECT_EQ(s.size(), 0u);
    for (std::size_t n = 1; n <= 5; ++n) {
        s.push_item(alpha, static_cast<int>(n));
        EXPECT_EQ(s.size(), n);
    }
    const stack copy(s);
    stack moved(std::move(s));
    EXPECT_EQ(copy.size(), 5u);
    EXPECT_EQ(moved.size(), 5u);
    EXPECT_EQ(s.size(), 0u);
    moved.reset();
    EXPECT_EQ(moved.size(), 0u);
}

TEST(Arguments, LookupByANameWithAnEmbeddedNulMatchesNothing) {
    stack s;
    stack::item& it = s.push_item(alpha, 1);
    it.set_argument("a", "1");
    EXPECT_STREQ(it.get_argument_value(std::string("a\0b", 3)), "");
    EXPECT_STREQ(it.get_argument_value("a"), "1");
}

TEST(Arguments, DateTimeCodeIsNamedAndAttachesBothTexts) {
    static_assert(std::is_same_v<std::remove_const_t<decltype(vc::error_datetime::invalid_format)>,
                                 vc::result::code<vc::error_datetime, 1>>);
    static_assert(sizeof(vc::error_datetime::invalid_format) == 1);
    stack s;
    s.push(vc::error_datetime::invalid_format, std::string("2024-13-01"));
    EXPECT_THAT(s, has_status(vc::error_datetime::invalid_format));
    EXPECT_EQ(arguments_of(s.get_argument_range()),
              (argument_pairs{{"expected-format", "YYYY-mm-ddTHH:MM:SS[.sssss](Z|(+|-)HH:MM)"},
                              {"received-value", "2024-13-01"}}));
}

// ---------------------------------------------------------------------------------------------
// The item pool

// A thread keeps the blocks of the items it released for its next pushes: a fresh thread
// has none, so there the heap and the pool are reached as on a program's first push.
TEST(ItemPool, PushTakesAtMostOneAllocationAndNoneWithASpareBlock) {
    in_fresh_thread([] {
        stack s;
        allocation_counter first;
        s.push_item(alpha, 1);
        EXPECT_EQ(first.count(), 1U);
        allocation_counter two_arguments;
        const stack::item* released =
            &s.push(vc::error_datetime::invalid_format, std::string_view("2024-13-01"));
        EXPECT_EQ(two_arguments.count(), 2U) << "the item and one block for both records";
        s.reset();
        allocation_counter again;
        s.push(vc::error_datetime::invalid_format, std::string_view("2024-13-01"));
        EXPECT_EQ(again.count(), 0U) << "the released blocks serve again";
        const stack::item* reused = nullptr;
        {
            allocation_failure_scope failing;  // a spare block is a heap block: not the pool yet
            reused = &s.push_item(alpha, 3);
        }
        EXPECT_EQ(reused, released) << "the block released last is reused first";
    });
}

TEST(ItemPool, HeapFailureIsServedFromConsecutiveSlotsAndSlotsAreReused) {
    in_fresh_thread([] {
        stack first, second;
        std::uintptr_t addresses[3];
        {
            allocation_failure_scope failing;
            addresses[0] = reinterpret_cast<std::uintptr_t>(&first.push_item(alpha, 1));
            addresses[1] = reinterpret_cast<std::uintptr_t>(&second.push_item(alpha, 2));
            addresses[2] = reinterpret_cast<std::uintptr_t>(&second.push_item(alpha, 3));
        }
        const std::uintptr_t slot = addresses[1] - addresses[0];
        EXPECT_EQ(slot, 48U);
        EXPECT_EQ(addresses[2] - addresses[1], slot);
        EXPECT_EQ(codes_of(second), (std::vector<int>{3, 2}));
        EXPECT_TRUE(first.has_failed());

        first.reset();
        {
            allocation_failure_scope failing;
            stack third;
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(&third.push_item(beta, 4)), addresses[0])
                << "the lowest free slot is taken again";
        }
    });
}

TEST(ItemPool, PoolItemsKeepWorkingAndCopiesFallBackToo) {
    stack s;
    s.push_item(alpha, 1).set_argument("heap", "yes");
    stack copy;
    {
        allocation_failure_scope failing;
        s.push_item(beta, 2);
        // Texts this short need no heap for their temporary copies, so copying succeeds:
        // every item comes from the pool, every argument is lost to the placeholder.
        stack partial(s);
        copy = std::move(partial);
        s.begin()->set_argument("lost", "x");
    }
    EXPECT_EQ(codes_of(copy), (std::vector<int>{2, 1}));
    EXPECT_EQ(arguments_of(copy.begin()->get_argument_range()), argument_pairs{});
    EXPECT_EQ(arguments_of(std::next(copy.begin())->get_argument_range()),
              (argument_pairs{{placeholder_name, placeholder_value}}));
    EXPECT_EQ(arguments_of(s.get_argument_range()),
              (argument_pairs{{placeholder_name, placeholder_value}}));
}

TEST(ItemPool, FailedCopyGivesItsSlotsBack) {
    stack source;
    source.push_item(alpha, 1).set_argument("a name that does not fit the small buffer", "v");
    std::uintptr_t before = 0;
    {
        allocation_failure_scope failing;
        stack probe;
        before = reinterpret_cast<std::uintptr_t>(&probe.push_item(alpha, 1));
    }
    {
        allocation_failure_scope failing;
        EXPECT_THROW(stack copy(source), std::bad_alloc);
        stack probe;
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(&probe.push_item(alpha, 1)), before);
    }
}

TEST(ItemPool, AllSixtyFourSlotsThenTheProcessEnds) {
    const auto outcome = run_in_child([] {
        // Registered after the library's exit handlers, so run before them: the process's own
        // exit work (a coverage runtime writing its data, say) then has a heap again. The
        // library's exit message and status are still made with the heap failed.
        std::atexit([] { vorn::test::stop_failing_allocations(); });
        in_fresh_thread([] {
            allocation_failure_scope failing;
            stack s;
            const auto base = reinterpret_cast<std::uintptr_t>(&s.push_item(alpha, 0));
            for (int i = 1; i < 64; ++i) {
                const auto address = reinterpret_cast<std::uintptr_t>(&s.push_item(alpha, i));
                if (address != base + 48U * static_cast<unsigned>(i)) {
                    std::_Exit(3);  // the slots were not handed out in order from slot 0
                }
            }
            s.push_item(alpha, 64);
            std::_Exit(4);  // not reached
        });
    });
    EXPECT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.exit_status, 1);
    EXPECT_EQ(outcome.standard_error, pool_exhausted) << "no line break is added";
}

// ---------------------------------------------------------------------------------------------
// Categories described by a table: a client category of seven codes

namespace {

struct ledger_error : vc::result::described_category<ledger_error> {
    static constexpr const char* name = "acme-ledger";
    static constexpr code<1> bad_timestamp{"The timestamp is not RFC 3339", "received"};
    static constexpr code<2> bad_amount{"The amount is not a decimal", "received"};
    static constexpr code<3> too_precise{"The amount has too many decimals", "received", "limit"};
    static constexpr code<4> bad_payload{"The payload is not Base64url", "received"};
    static constexpr code<5> bad_digest{"The digest is not 64 hex digits", "received"};
    static constexpr code<6> unknown_account{"No such account", "account"};
    static constexpr code<7> bad_line{"The line is malformed", "line", "reason"};
    static constexpr auto codes = list(bad_timestamp, bad_amount, too_precise, bad_payload,
                                       bad_digest, unknown_account, bad_line);
};

}  // namespace

TEST(DescribedCategory, PushAttachesTheNamedValuesOfEachCode) {
    static_assert(std::is_base_of_v<vc::result::code<ledger_error, 3>,
                                    std::remove_const_t<decltype(ledger_error::too_precise)>>);
    const std::string long_text(300, 'r');
    struct row {
        stack status;
        int code;
        const char* message;
        argument_pairs arguments;
    };
    row rows[7];
    rows[0].status.push(ledger_error::bad_timestamp, std::string_view("2024-02-30T00:00:00Z"));
    rows[1].status.push(ledger_error::bad_amount, "12,3x");
    rows[2].status.push(ledger_error::too_precise, std::string("1.23456"), 4);
    rows[3].status.push(ledger_error::bad_payload, long_text);
    rows[4].status.push(ledger_error::bad_digest, "");
    rows[5].status.push(ledger_error::unknown_account, -9223372036854775807LL - 1);
    rows[6].status.push(ledger_error::bad_line, 18446744073709551615ULL, "two fields");
    const row expected[7] = {
        {{}, 1, "The timestamp is not RFC 3339", {{"received", "2024-02-30T00:00:00Z"}}},
        {{}, 2, "The amount is not a decimal", {{"received", "12,3x"}}},
        {{}, 3, "The amount has too many decimals", {{"received", "1.23456"}, {"limit", "4"}}},
        {{}, 4, "The payload is not Base64url", {{"received", long_text.substr(0, 245)}}},
        {{}, 5, "The digest is not 64 hex digits", {{"received", ""}}},
        {{}, 6, "No such account", {{"account", "-9223372036854775808"}}},
        {{},
         7,
         "The line is malformed",
         {{"line", "18446744073709551615"}, {"reason", "two fields"}}},
    };
    for (int i = 0; i < 7; ++i) {
        const stack& s = rows[i].status;
        EXPECT_THAT(s, has_status(ledger_error::instance(), expected[i].code));
        EXPECT_THAT(s, has_message(expected[i].message));
        EXPECT_EQ(arguments_of(s.get_argument_range()), expected[i].arguments) << i;
        EXPECT_STREQ(s.get_category().get_name(), "acme-ledger");
    }
    EXPECT_EQ(&ledger_error::instance(), &ledger_error::instance());
    EXPECT_TRUE(ledger_error::instance() != alpha);
}

TEST(DescribedCategory, AnUndefinedCodeEndsTheProcessAsForEveryCategory) {
    for (int code : {0, 8, -1}) {
        const auto outcome = run_in_child([code] { ledger_error::instance().get_message(code); });
        EXPECT_TRUE(outcome.exited);
        EXPECT_EQ(outcome.exit_status, 1);
        char expected[64];
        std::snprintf(expected, sizeof expected,
                      "Invalid status code value: 0x%08X (acme-ledger)\n",
                      static_cast<unsigned>(code));
        EXPECT_EQ(outcome.standard_error, expected);
    }
}

// ---------------------------------------------------------------------------------------------
// Several arguments at once

TEST(Arguments, SeveralAtOnceFailLikeOneAddition) {
    in_fresh_thread([] {  // no spare record block at hand: the heap is what fails
        const vc::result::named_text two[] = {{"a", "1"}, {"b", "2"}};
        {
            vc::result::argument_list list;
            {
                allocation_failure_scope failing;
                list.set_arguments(two, 2);
            }
            EXPECT_EQ(arguments_of(list), (argument_pairs{{placeholder_name, placeholder_value}}));
            list.set_arguments(two, 2);
            EXPECT_EQ(arguments_of(list).size(), 1U) << "a closed list stays closed";
        }
        {
            vc::result::argument_list list;
            list.set_arguments(two, 2);
            list.set_arguments(two, 0);
            {
                allocation_failure_scope failing;
                list.set_arguments(two, 2);
            }
            EXPECT_EQ(arguments_of(list),
                      (argument_pairs{{"a", "1"}, {placeholder_name, placeholder_value}}));
            list.set_arguments({{"c", "3"}});
            EXPECT_EQ(arguments_of(list).size(), 2U);
        }
        vc::result::argument_list grown;
        grown.set_argument("x", "0");
        grown.set_arguments(two, 2);
        grown.set_arguments({{"c", "3"}, {"d", "4"}, {"e", "5"}});
        EXPECT_EQ(arguments_of(grown),
                  (argument_pairs{
                      {"x", "0"}, {"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}, {"e", "5"}}));
    });
}

TEST(Arguments, TextsReadInPlaceMakeNoTemporaryString) {
    stack s;
    stack::item& it = s.push_item(alpha, 1);
    const std::string_view name = "a-name-longer-than-any-small-string-buffer";
    const std::string value = "a-value-longer-than-any-small-string-buffer";
    for (int i = 0; i < 3; ++i) {
        allocation_counter counter;
        if (i == 0)
            it.set_argument(name, value);
        if (i == 1)
            it.set_argument(name.data(), "a literal longer than a small string buffer");
        if (i == 2)
            it.get_argument_range().set_argument(value.c_str(), name);
        EXPECT_EQ(counter.count(), 1U) << i;
    }
    allocation_counter lookups;
    EXPECT_STREQ(it.get_argument_value(name), value.c_str());
    EXPECT_STREQ(it.get_argument_value("a-value-longer-than-any-small-string-buffer"), name.data());
    EXPECT_STREQ(it.get_argument_value(std::string_view("a\0b", 3)), "");
    EXPECT_EQ(lookups.count(), 0U);
}

// ---------------------------------------------------------------------------------------------
// Where a push was made, and propagation

vc::result::stack cxx17_push_through_macro(unsigned& line);

namespace {

stack read_amount(const char* text) {
    stack status;
    if (text[0] == 'x') {
        status.push(ledger_error::bad_amount, text);
    }
    return status;
}

int steps_after_the_macro = 0;

stack read_line(const char* text) {
    VORN_RETURN_IF_FAILED(read_amount(text));
    ++steps_after_the_macro;
    return {};
}

unsigned push_line = 0;

stack read_file(const char* text) {
    push_line = __LINE__ + 1;
    VORN_RETURN_IF_FAILED_PUSH(read_line(text), ledger_error::bad_line, 7, "amount");
    ++steps_after_the_macro;
    return {};
}

std::string here_text(unsigned line) {
    return std::string(__FILE__) + ":" + std::to_string(line);
}

}  // namespace

TEST(Propagation, TheMacrosReturnAFailedStackAndPassASuccessOn) {
    steps_after_the_macro = 0;
    EXPECT_THAT(read_file("12.50"), is_success());
    EXPECT_EQ(steps_after_the_macro, 2);

    steps_after_the_macro = 0;
    const stack failed = read_file("x1");
    EXPECT_EQ(steps_after_the_macro, 0) << "returned at the macros";
    EXPECT_EQ(codes_of(failed), (std::vector<int>{7, 2}));
    EXPECT_THAT(failed, has_status(ledger_error::bad_line));
    EXPECT_THAT(failed, contains_status(ledger_error::bad_amount));
    EXPECT_THAT(failed, has_argument("source-location", here_text(push_line)));
    EXPECT_EQ(arguments_of(failed.get_argument_range()).size(), 3U);

    // An lvalue operand is moved out.
    stack kept = read_amount("x2");
    const auto forward = [&kept]() -> stack {
        VORN_RETURN_IF_FAILED(kept);
        return {};
    };
    EXPECT_THAT(forward(), has_status(ledger_error::bad_amount));
    EXPECT_THAT(kept, is_success());
}

TEST(Propagation, APushRecordsItsPlaceUnderCxx17AndCxx20) {
    stack s;
    const unsigned line = __LINE__ + 1;
    s.push(vc::result::here(), vc::integral_conversion_error::overflow, "99");
    EXPECT_THAT(s, has_argument("source-location", here_text(line)));
    EXPECT_THAT(s, has_argument("string_value", "99"));
#if defined(__cpp_lib_source_location)
    EXPECT_STREQ(vc::result::here().file_name(), std::source_location::current().file_name());
#endif

    unsigned cxx17_line = 0;
    const stack from_cxx17 = cxx17_push_through_macro(cxx17_line);
    EXPECT_THAT(from_cxx17,
                has_argument("source-location", ::testing::EndsWith("result_test_cxx17.cpp:" +
                                                                    std::to_string(cxx17_line))));
    EXPECT_THAT(from_cxx17, contains_status(vc::integral_conversion_error::invalid_value));
}

TEST(Propagation, ALocationTooLongForARecordKeepsItsEnd) {
    const std::string file = "/" + std::string(300, 'd') + "/ledger.cpp";
    stack s;
    s.push_item(alpha, 1).set_location(vc::result::source_location(file.c_str(), 4294967295U));
    const std::string stored = s.begin()->get_argument_value("source-location");
    EXPECT_EQ(stored.size(), 253U - 15U);
    EXPECT_EQ(stored, (file + ":4294967295").substr(file.size() + 11 - stored.size()));
    s.push_item(alpha, 1).set_location(vc::result::source_location("", 0));
    EXPECT_THAT(s, has_argument("source-location", ":0"));
}

// ---------------------------------------------------------------------------------------------
// errno and std::error_code

TEST(SystemError, ErrnoMessagesAreTheCLibraryTexts) {
    const auto& errnos = vc::error_errno::instance();
    EXPECT_STREQ(errnos.get_name(), "vorn-core-error-errno");
    for (int code = 1; code < 134; ++code) {
        // Values the C library has no text for read "Unknown error N" there, without the number
        // here.
        const std::string text = std::strerror(code);
        EXPECT_EQ(errnos.get_message(code),
                  text.rfind("Unknown error ", 0) == 0 ? std::string("Unknown error") : text)
            << code;
    }
    EXPECT_STREQ(errnos.get_message(0), "Success");
    EXPECT_STREQ(errnos.get_message(4000), "Unknown error");
    EXPECT_STREQ(errnos.get_message(-1), "Unknown error");

    stack s;
    s.push_errno(ENOENT);
    EXPECT_THAT(s, has_status(errnos, ENOENT));
    EXPECT_THAT(s, has_argument("errno-name", "ENOENT"));
    s.push_errno(4000);
    EXPECT_TRUE(s.get_argument_range().begin() == s.get_argument_range().end());
}

TEST(SystemError, StackToErrorCodeAndBack) {
    stack sources[4];
    sources[0].push(vc::integral_conversion_error::overflow, "1e99");
    sources[1].push(ledger_error::bad_digest, "zz");
    sources[2].push_errno(EACCES);
    sources[3].push_item(alpha, 2);
    for (const stack& source : sources) {
        const std::error_code code = vc::result::to_error_code(source);
        EXPECT_EQ(code.value(), source.get_value());
        EXPECT_STREQ(code.category().name(), source.get_category().get_name());
        EXPECT_EQ(code.message(), source.get_message());
        EXPECT_EQ(&code.category(), &vc::result::to_error_code(source).category());
        stack back;
        back.push(code);
        EXPECT_TRUE(back == source) << code.message();
        EXPECT_EQ(vc::result::to_error_code(back), code);
    }
    EXPECT_NE(vc::result::to_error_code(sources[0]).category(),
              vc::result::to_error_code(sources[3]).category());
    EXPECT_EQ(vc::result::to_error_code(sources[2]), std::errc::permission_denied);
    EXPECT_NE(vc::result::to_error_code(sources[0]), std::errc::permission_denied);
    EXPECT_EQ(vc::result::to_error_code(stack()), std::error_code());
}

TEST(SystemError, StandardErrorCodesArePushed) {
    stack s;
    s.push(std::make_error_code(std::errc::no_such_file_or_directory));
    EXPECT_THAT(s, has_status(vc::error_errno::instance(), ENOENT));
    s.push(std::error_code(EPIPE, std::system_category()));
    EXPECT_THAT(s, has_argument("errno-name", "EPIPE"));
    s.push(std::system_error(std::error_code(EEXIST, std::generic_category()), "mkdir /tmp/x"));
    EXPECT_THAT(s, has_status(vc::error_errno::instance(), EEXIST));
    EXPECT_THAT(s, has_argument("what", ::testing::StartsWith("mkdir /tmp/x: ")));

    s.push(std::make_error_code(std::io_errc::stream));
    EXPECT_THAT(s, has_status(vc::error_std_code::instance(), 1));
    EXPECT_THAT(s, has_argument("error-category", "iostream"));
    EXPECT_THAT(
        s, has_argument("error-message", std::make_error_code(std::io_errc::stream).message()));
    EXPECT_THAT(s, has_message("An error reported through a std::error_code"));
    EXPECT_STREQ(vc::error_std_code::instance().get_name(), "vorn-core-error-std-code");
}

// ---------------------------------------------------------------------------------------------
// Text form and matchers

TEST(TextForm, OneLinePerItemNewestFirst) {
    EXPECT_EQ(vc::result::to_string(stack()), "Success");
    stack s;
    s.push_item(alpha, 1);
    s.push(vc::error_datetime::invalid_format, "2024-13-01");
    s.push(ledger_error::bad_line, -3, "a=b; c\td");
    const char* expected =
        "acme-ledger 7: The line is malformed; line=-3; reason=a=b; c\td\n"
        "vorn-core-error-date 1: O formato informado está fora do esperado; "
        "expected-format=YYYY-mm-ddTHH:MM:SS[.sssss](Z|(+|-)HH:MM); received-value=2024-13-01\n"
        "alpha 1: first";
    EXPECT_EQ(vc::result::to_string(s), expected);
    std::ostringstream out;
    out << s;
    EXPECT_EQ(out.str(), expected);
}

TEST(TextForm, MatchersDescribeAndExplain) {
    stack s;
    s.push(ledger_error::bad_amount, "12,3x");
    const struct {
        ::testing::Matcher<const stack&> matcher;
        bool matches;
        const char* description;
    } rows[] = {
        {is_success(), false, "is a success"},
        {has_failed(), true, "has failed"},
        {has_status(ledger_error::bad_amount), true, "has the newest status acme-ledger 2"},
        {has_status(ledger_error::bad_line), false, "has the newest status acme-ledger 7"},
        {contains_status(alpha, 2), false, "contains the status alpha 2"},
        {has_argument("received", "12,3x"), true,
         "has the argument received with a value that is equal to \"12,3x\""},
        {has_argument("received", ::testing::HasSubstr("4")), false,
         "has the argument received with a value that has substring \"4\""},
        {has_argument("limit", ::testing::_), false,
         "has the argument limit with a value that is anything"},
        {has_message(::testing::StartsWith("The amount")), true,
         "has a message that starts with \"The amount\""},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(r.matcher.Matches(s), r.matches) << r.description;
        EXPECT_EQ(::testing::DescribeMatcher<const stack&>(r.matcher), r.description);
    }
    EXPECT_EQ(::testing::DescribeMatcher<const stack&>(is_success(), true), "has failed");
    ::testing::StringMatchResultListener listener;
    EXPECT_FALSE(::testing::ExplainMatchResult(has_argument("limit", "4"), s, &listener));
    EXPECT_EQ(listener.str(),
              "which is \"acme-ledger 2: The amount is not a decimal; received=12,3x\", with no "
              "argument limit");
    EXPECT_THAT(stack(), is_success());
}
