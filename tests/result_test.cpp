// Status reporting: categories, stacks, arguments, the item pool, the conversion categories.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "support/allocation_failure.hpp"
#include "support/child_process.hpp"
#include "vorn/core.hpp"

namespace vc = vorn::core::v2;
using vc::result::stack;
using vorn::test::allocation_counter;
using vorn::test::allocation_failure_scope;
using vorn::test::run_in_child;

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
    EXPECT_TRUE(s.has_failed());
    EXPECT_EQ(s.get_value(), 0);
    EXPECT_STREQ(s.get_message(), "Success");
}

TEST(Stack, ResetReportsSuccessAgain) {
    stack s;
    s.push_item(alpha, 1);
    s.push_item(alpha, 2);
    s.reset();
    EXPECT_FALSE(s.has_failed());
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
    EXPECT_EQ(s.get_value(), 1);
    EXPECT_STREQ(s.get_message(), "The string value is too big for the target type");
    EXPECT_STREQ(overflow.get_argument_value("string_value"), "99999999999999999999");

    s.push(vc::result::code<vc::converter_result_category, 2>());
    EXPECT_EQ(s.get_value(), 2);
    EXPECT_TRUE(s.get_category() == vc::converter_result_category::instance());
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
    for (const row& r : rows) {
        const std::string name(r.name_length, 'n');
        const std::string value(r.value_length, 'v');
        vc::result::argument_list list;
        list.set_argument(name, value);
        const auto stored = arguments_of(list);
        ASSERT_EQ(stored.size(), 1U);
        EXPECT_EQ(stored[0].first, name.substr(0, r.kept_name)) << r.name_length;
        EXPECT_EQ(stored[0].second, value.substr(0, r.kept_value)) << r.value_length;
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
    EXPECT_EQ(s.get_value(), 1);
    EXPECT_EQ(&s.get_category(), &vc::error_datetime::instance());
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
