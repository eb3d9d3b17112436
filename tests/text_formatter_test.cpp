// SPDX-License-Identifier: MIT
// The text formatter: finding placeholders, binding replacements, building the text, the
// typed front end, and the text view.

// GCC 12 reports a false maybe-uninitialized inside std::regex's automaton (used by the
// reference) once sanitizers change inlining; the warning is raised in standard headers
// included from here on.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <map>
#include <new>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/allocation_failure.hpp"
#include "support/placeholder_reference.hpp"
#include "vorn/core/text_formatter.hpp"

namespace vc = vorn::core::v2;
using vc::text_formatter;
using vorn::test::allocation_failure_scope;
using vorn::test::fail_next_allocations;

namespace {

using placeholder = vorn::test::reference_placeholder;
using vorn::test::reference_text;
using vorn::test::regex_placeholders;

std::vector<placeholder> placeholders_of(text_formatter& f) {
    std::vector<placeholder> out;
    for (const vc::argument& a : f.get_arguments()) {
        out.push_back({a.get_name(), a.get_params(), a.get_full_arg(), a.get_begin(), a.get_end()});
    }
    return out;
}

std::vector<placeholder> parse(const std::string& text) {
    text_formatter f = text_formatter::parser(text);
    return placeholders_of(f);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Finding placeholders

TEST(TextFormatter, FindsPlaceholders) {
    struct row {
        std::string text;
        std::vector<placeholder> expected;
    };
    const row rows[] = {
        {"", {}},
        {"no placeholders at all", {}},
        {"Olá {0}!", {{"0", "", "{0}", 5, 8}}},  // byte offsets: "á" takes two bytes
        {"{0:x} {0 } {:x} {} {a} {0", {}},
        {"{0:  x}", {{"0", " x", "{0:  x}", 0, 7}}},
        {"{0: a}b} {1}", {{"0", "a}b", "{0: a}b}", 0, 8}, {"1", "", "{1}", 9, 12}}},
        {"{0: a {1}", {{"1", "", "{1}", 6, 9}}},
        {"{{0}}", {{"0", "", "{0}", 1, 4}}},
        {"{007} {12345}", {{"007", "", "{007}", 0, 5}, {"12345", "", "{12345}", 6, 13}}},
        {"{0: }", {{"0", "", "{0: }", 0, 5}}},
        {"{2: dd/MM\nHH:mm}", {{"2", "dd/MM\nHH:mm", "{2: dd/MM\nHH:mm}", 0, 16}}},
        {"{1}{2: x}}{3}",
         {{"1", "", "{1}", 0, 3}, {"2", "x}", "{2: x}}", 3, 10}, {"3", "", "{3}", 10, 13}}},
        {"{0: ", {}},
        {"{0:", {}},
        {"{0: }}}", {{"0", "}}", "{0: }}}", 0, 7}}},
        {std::string("a\0{0}\0", 6), {{"0", "", "{0}", 2, 5}}},
    };
    for (const row& r : rows) {
        EXPECT_EQ(parse(r.text), r.expected) << "text: " << r.text;
    }
}

TEST(TextFormatter, FindsExactlyTheMatchesOfTheRegularExpression) {
    // Short texts from an alphabet rich in the characters that matter, the bytes of a UTF-8
    // letter, a newline and NUL included.
    const std::string alphabet("{{{}}}0123:: a\n\0\xC3\xA1", 19);
    std::mt19937 random(7);
    for (int round = 0; round < 6000; ++round) {
        std::string text(random() % 28, ' ');
        for (char& c : text) {
            c = alphabet[random() % alphabet.size()];
        }
        const std::vector<placeholder> expected = regex_placeholders(text);
        text_formatter f = text_formatter::parser(text);
        ASSERT_EQ(placeholders_of(f), expected) << "text: " << text;

        // Bind some placeholder texts (and one that matches nothing) to texts that may look
        // like placeholders themselves.
        std::map<std::string, std::string> bindings;
        for (const placeholder& p : expected) {
            if (random() % 3 != 0) {
                std::string replacement(random() % 6, ' ');
                for (char& c : replacement) {
                    c = alphabet[random() % alphabet.size()];
                }
                bindings[p.full_arg] = replacement;
            }
        }
        bindings["{9: unused}"] = "never";
        for (const auto& [key, replacement] : bindings) {
            f.replace_arg_escape_impl(key, replacement);
        }
        ASSERT_EQ(f.make_string(), reference_text(text, expected, bindings)) << "text: " << text;

        for (unsigned long n = 0; n <= 3; ++n) {
            const placeholder* first = nullptr;
            for (const placeholder& p : expected) {
                if (p.name == std::to_string(n)) {
                    first = &p;
                    break;
                }
            }
            ASSERT_EQ(f.has_arg_escape(n), first != nullptr) << "text: " << text << ", n " << n;
            ASSERT_EQ(f.has_arg_args(n), first != nullptr && !first->params.empty())
                << "text: " << text << ", n " << n;
        }
    }
}

// The formatter keeps a short text, 8 placeholders and their bindings in its own block, links
// up to 16 placeholders by comparing them with each other, compares placeholder texts with a
// plain loop up to 16 bytes, and looks for braces with one in spans under 32 bytes. Texts on
// both sides of each of these limits agree with the reference, and so do their copies.
TEST(TextFormatter, AgreesWithTheReferenceOnBothSidesOfItsLimits) {
    const std::string run(28, 'r');
    const std::string pieces[] = {"{1: abcdefghijX}",
                                  "{1: abcdefghijY}",
                                  "{1: abcdefghijkX}",
                                  "{1: abcdefghijkY}",
                                  "{2}",
                                  "{02}",
                                  "{3: " + run + "}}",
                                  "{3: " + run + "rr}",
                                  "{3: " + run + "r}r}"};
    std::mt19937 random(31);
    for (const std::size_t count : {8, 9, 16, 17}) {
        for (const std::size_t length : {0, 191, 192, 193}) {
            std::string text;
            for (std::size_t i = 0; i < count; ++i) {
                text += pieces[random() % std::size(pieces)];
            }
            text.insert(0, text.size() < length ? length - text.size() : 0, '.');
            text_formatter f = text_formatter::parser(text);
            const std::vector<placeholder> found = regex_placeholders(text);
            ASSERT_EQ(placeholders_of(f), found) << text;
            std::map<std::string, std::string> model;
            for (const placeholder& p : found) {
                const std::string value(random() % 3 * 60, static_cast<char>('a' + random() % 26));
                f.replace_arg_escape_impl(p.full_arg, value);
                model[p.full_arg] = value;
            }
            f.bind_text(1, "one");
            for (const placeholder& p : found) {
                model[p.full_arg] = p.name == "1" ? "one" : model[p.full_arg];
            }
            const text_formatter copy(f);
            EXPECT_EQ(f.make_string(), reference_text(text, found, model)) << text;
            EXPECT_EQ(text_formatter(copy).make_string(), reference_text(text, found, model));
            EXPECT_TRUE(copy.has_arg_escape(2) == (text.find("{2}") != std::string::npos));
        }
    }
}

TEST(TextFormatter, LongTextsParseInLinearTimeWithoutRecursion) {
    // One parameter run of 16 MiB: a recursive matcher would exhaust the stack here.
    std::string text = "x {0: " + std::string(16 << 20, 'a') + "} y {1}";
    text_formatter f = text_formatter::parser(text);
    std::vector<vc::argument> found = f.get_arguments();
    ASSERT_EQ(found.size(), 2U);
    EXPECT_EQ(found[0].get_begin(), 2U);
    EXPECT_EQ(found[0].get_params().size(), 16U << 20);
    EXPECT_EQ(found[1].get_full_arg(), "{1}");

    // Many failed candidates, each with a long run and no closing brace: quadratic work
    // would not finish.
    std::string unclosed;
    for (int i = 0; i < 20000; ++i) {
        unclosed += "{1: " + std::string(200, 'b');
    }
    EXPECT_TRUE(text_formatter::parser(unclosed).get_arguments().empty());

    // Many placeholders, each replaced.
    std::string many;
    std::string expected;
    for (int i = 0; i < 100000; ++i) {
        many += "<{" + std::to_string(i % 7) + "}>";
        expected += "<" + std::string(static_cast<std::size_t>(i % 7), '*') + ">";
    }
    text_formatter m = text_formatter::parser(many);
    for (unsigned long n = 0; n < 7; ++n) {
        m.bind(n, std::string(n, '*'));
    }
    EXPECT_EQ(m.make_string(), expected);
}

// ---------------------------------------------------------------------------------------------
// Binding and building the text

TEST(TextFormatter, MakesTheTextFromTheBindings) {
    struct row {
        std::string text;
        std::vector<std::pair<std::string, std::string>> bindings;  // in order of binding
        std::string expected;
    };
    const row rows[] = {
        {"", {}, ""},
        {"{0} e {0}", {{"{0}", "x"}}, "x e x"},
        {"{0} e {0}", {}, " e "},
        {"{1} {0}", {{"{0}", "zero"}, {"{1}", "one"}}, "one zero"},
        {"<{0}|{1}|{2}>",
         {{"{0}", ""}, {"{1}", "a much longer text"}, {"{2}", "c"}},
         "<|a much longer text|c>"},
        {"{0} {0: x}", {{"{0: x}", "X"}}, " X"},
        {"{0} {0: x}", {{"{0}", "0"}, {"{0: x}", "X"}}, "0 X"},
        {"{0} {00}", {{"{00}", "double"}}, " double"},
        {"{0} {1}", {{"{0}", "{1}"}, {"{1}", "one"}}, "{1} one"},  // never rescanned
        {"{0}", {{"{0}", "first"}, {"{0}", "second"}}, "second"},
        {"{0}", {{"{1}", "unused"}, {"0", "not a placeholder"}}, ""},
        {"{0:x} {0}", {{"{0:x}", "no"}, {"{0}", "yes"}}, "{0:x} yes"},
        {"{{0}}", {{"{0}", "x"}}, "{x}"},
        {"Olá {0}!", {{"{0}", "mundo"}}, "Olá mundo!"},
    };
    for (const row& r : rows) {
        text_formatter f = text_formatter::parser(r.text);
        for (const auto& [key, replacement] : r.bindings) {
            EXPECT_EQ(&f.replace_arg_escape_impl(key, replacement), &f);
        }
        EXPECT_EQ(f.make_string(), r.expected) << "text: " << r.text;
        EXPECT_EQ(f.make_string(), r.expected) << "again, text: " << r.text;
    }
}

TEST(TextFormatter, BindingAfterMakeStringReplacesTheEmptyBinding) {
    text_formatter f = text_formatter::parser("[{0}] [{1}]");
    f.replace_arg_escape_impl("{1}", "b");
    EXPECT_EQ(f.make_string(), "[] [b]");
    f.replace_arg_escape_impl("{0}", "a");
    EXPECT_EQ(f.make_string(), "[a] [b]");
    EXPECT_EQ(f.get_arguments().size(), 2U);
}

TEST(TextFormatter, AnswersWhichNumbersArePresent) {
    struct row {
        std::string text;
        unsigned long n;
        bool escape;
        bool args;
    };
    const row rows[] = {
        {"{3: y}", 3, true, true},
        {"{3}", 3, true, false},
        {"{3: }", 3, true, false},
        {"{0} {0: x}", 0, true, false},  // only the first placeholder numbered 0 counts
        {"{0: x} {0}", 0, true, true},
        {"{07}", 7, false, false},
        {"{07}", 0, false, false},
        {"{1234}", 1234, true, false},
        {"{12345}", 12345, true, false},
        {"{12345: p}", 12345, true, true},
        {"{18446744073709551615: max}", ULONG_MAX, true, true},
        {"{18446744073709551616}", 0, false, false},  // one past the largest: no number
        {"{100000000000000000000}", 7766279631452241920UL, false, false},  // 10^20 mod 2^64
        {"{1}", 10, false, false},
        {"{10}", 1, false, false},
        {"{0:x}", 0, false, false},
        {"", 0, false, false},
    };
    for (const row& r : rows) {
        text_formatter f = text_formatter::parser(r.text);
        EXPECT_EQ(f.has_arg_escape(r.n), r.escape) << r.text << " n=" << r.n;
        EXPECT_EQ(f.has_arg_args(r.n), r.args) << r.text << " n=" << r.n;
    }
}

// ---------------------------------------------------------------------------------------------
// Typed binding

TEST(TextFormatter, BindWritesValuesAsText) {
    const std::string text = "{0}";
    const auto bound = [&](const auto& value) {
        return text_formatter::parser(text).bind(0, value).make_string();
    };
    const char array_without_nul[3] = {'a', 'b', 'c'};
    const char* null_text = nullptr;
    EXPECT_EQ(bound(std::string("Ana")), "Ana");
    EXPECT_EQ(bound(std::string_view("view")), "view");
    EXPECT_EQ(bound(vorn::core::string_view("core view", 4)), "core");
    EXPECT_EQ(bound("literal"), "literal");
    EXPECT_EQ(bound(array_without_nul), "abc");
    EXPECT_EQ(bound(null_text), "");
    EXPECT_EQ(bound('x'), "x");
    EXPECT_EQ(bound(true), "true");
    EXPECT_EQ(bound(false), "false");
    EXPECT_EQ(bound(-42), "-42");
    EXPECT_EQ(bound(static_cast<unsigned char>(200)), "200");
    EXPECT_EQ(bound(18446744073709551615ULL), "18446744073709551615");
    EXPECT_EQ(bound(LLONG_MIN), "-9223372036854775808");
    EXPECT_EQ(bound(0.1), "0.1");
    EXPECT_EQ(bound(2.5f), "2.5");
    EXPECT_EQ(bound(1e300), "1e+300");
    EXPECT_EQ(bound(-0.0), "-0");
    EXPECT_EQ(bound(vc::decimal(12345, -2)), "123.45");
    EXPECT_EQ(bound(vc::decimal(7, 0)), "7.00");
}

TEST(TextFormatter, BindFillsEveryPlaceholderOfTheNumber) {
    text_formatter f = text_formatter::parser(
        "Olá {0}, você tem {1} mensagens novas desde {2: dd/MM}. {0: upper} {00} {12345}");
    EXPECT_EQ(&f.bind(0, "Ana").bind(1, 3).bind(2, "12/03").bind(12345, "big").bind(9, "none"), &f);
    EXPECT_EQ(f.make_string(), "Olá Ana, você tem 3 mensagens novas desde 12/03. Ana  big");
    f.bind(0, "Bia");
    EXPECT_EQ(f.make_string(), "Olá Bia, você tem 3 mensagens novas desde 12/03. Bia  big");
}

// ---------------------------------------------------------------------------------------------
// Values: copies, moves, arguments

TEST(TextFormatter, CopiesAreIndependent) {
    text_formatter original = text_formatter::parser("{0}-{1}");
    original.bind(0, "a");
    text_formatter copy(original);
    copy.bind(1, "b");
    original.bind(0, "A");
    EXPECT_EQ(original.make_string(), "A-");
    EXPECT_EQ(copy.make_string(), "a-b");

    text_formatter assigned;
    assigned = copy;
    assigned = assigned;
    EXPECT_EQ(assigned.make_string(), "a-b");
    assigned.bind(0, "z");
    EXPECT_EQ(copy.make_string(), "a-b");
}

TEST(TextFormatter, MovedFromFormatterIsEmptyAndUsable) {
    text_formatter source = text_formatter::parser("{0}!");
    source.bind(0, "hi");
    text_formatter moved(std::move(source));
    EXPECT_EQ(moved.make_string(), "hi!");
    // NOLINTBEGIN(bugprone-use-after-move): a moved-from formatter is empty and usable
    EXPECT_EQ(source.make_string(), "");
    EXPECT_TRUE(source.get_arguments().empty());
    EXPECT_FALSE(source.has_arg_escape(0));
    source.replace_arg_escape_impl("{0}", "kept but unused");
    EXPECT_EQ(source.make_string(), "");

    text_formatter target = text_formatter::parser("{1}");
    target = std::move(moved);
    EXPECT_EQ(target.make_string(), "hi!");
    EXPECT_EQ(moved.make_string(), "");
    EXPECT_TRUE(moved.get_arguments().empty());
    source = text_formatter::parser("{5}?");  // assigning to a moved-from formatter
    EXPECT_EQ(source.bind(5, 5).make_string(), "5?");
    target = std::move(target);
    EXPECT_EQ(target.make_string(), "hi!");
    // NOLINTEND(bugprone-use-after-move)
}

TEST(TextFormatter, ArgumentsAreIndependentCopies) {
    text_formatter f = text_formatter::parser("{0: p}");
    std::vector<vc::argument> found = f.get_arguments();
    ASSERT_EQ(found.size(), 1U);
    found[0].set_name("9");
    found[0].set_params("changed");
    found[0].set_full_arg("{9}");
    found[0].set_begin(40);
    found[0].set_end(43);
    EXPECT_EQ(found[0].get_name(), "9");
    EXPECT_EQ(found[0].get_params(), "changed");
    EXPECT_EQ(found[0].get_full_arg(), "{9}");
    EXPECT_EQ(found[0].get_begin(), 40U);
    EXPECT_EQ(found[0].get_end(), 43U);
    EXPECT_EQ(parse("{0: p}"), placeholders_of(f));
    EXPECT_EQ(placeholders_of(f), (std::vector<placeholder>{{"0", "p", "{0: p}", 0, 6}}));

    const vc::argument empty;
    EXPECT_EQ(empty.get_name(), "");
    EXPECT_EQ(empty.get_params(), "");
    EXPECT_EQ(empty.get_full_arg(), "");
    EXPECT_EQ(empty.get_begin(), 0U);
    EXPECT_EQ(empty.get_end(), 0U);

    vc::argument copy(found[0]);
    vc::argument moved(std::move(found[0]));  // moves copy
    found[0] = empty;
    EXPECT_EQ(found[0].get_name(), "");
    EXPECT_EQ(copy.get_name(), "9");
    EXPECT_EQ(moved.get_params(), "changed");
    copy = copy;
    EXPECT_EQ(copy.get_full_arg(), "{9}");
}

TEST(TextFormatter, TextViewsFromEveryKindOfText) {
    const std::string owned("{0} owned");
    const std::string_view standard("{0} standard view");
    const char with_nul[] = "{0}\0tail";
    struct row {
        vorn::core::string_view view;
        std::size_t size;
    };
    const row rows[] = {
        {vorn::core::string_view("{0} literal"), 11},
        {vorn::core::string_view(owned), owned.size()},
        {vorn::core::string_view(standard), standard.size()},
        {vorn::core::string_view(with_nul, sizeof with_nul - 1), 8},
        {vorn::core::string_view(with_nul), 3},
        {vorn::core::string_view(), 0},
    };
    for (const row& r : rows) {
        EXPECT_EQ(r.view.size(), r.size);
        text_formatter f = text_formatter::parser(r.view);
        const std::string expected =
            r.size == 0 ? std::string() : "X" + std::string(r.view.data() + 3, r.size - 3);
        EXPECT_EQ(f.bind(0, "X").make_string(), expected);
    }
}

TEST(TextFormatter, AllocationFailurePropagatesAndLeaksNothing) {
    const std::string text = "a long enough text to live on the heap: {0} {1: p} {2}";
    fail_next_allocations(1);
    EXPECT_THROW((void)text_formatter::parser(text), std::bad_alloc);
    text_formatter f = text_formatter::parser(text);
    // Short bindings stay inside the formatter's own block: this one needs the heap.
    const std::string placeholder = "{0}", long_replacement(1000, 'x');
    {
        allocation_failure_scope failing;
        EXPECT_THROW((void)f.get_arguments(), std::bad_alloc);
        EXPECT_THROW(f.replace_arg_escape_impl(placeholder, long_replacement), std::bad_alloc);
        EXPECT_THROW((void)f.make_string(), std::bad_alloc);
        EXPECT_THROW(text_formatter copy(f), std::bad_alloc);
        EXPECT_TRUE(f.has_arg_escape(2));
        EXPECT_TRUE(f.has_arg_args(1));
    }
    EXPECT_EQ(f.bind(2, "two").make_string(), "a long enough text to live on the heap:   two");

    // A copy whose own block is taken but whose contents then fail frees that block again,
    // and a failed copy assignment leaves the target as it was.
    const text_formatter large = text_formatter::parser(std::string(300, '.') + "{0}");
    vc::argument named;
    named.set_params(long_replacement);
    const std::ptrdiff_t live = vorn::test::live_blocks();
    vorn::test::fail_allocation_after(1, false);
    EXPECT_THROW(text_formatter copy(large), std::bad_alloc);
    vorn::test::fail_allocation_after(1, false);
    EXPECT_THROW(f = large, std::bad_alloc);
    vorn::test::fail_allocation_after(1, false);
    EXPECT_THROW(vc::argument copy(named), std::bad_alloc);
    vorn::test::stop_failing_allocations();
    EXPECT_EQ(vorn::test::live_blocks(), live);
    EXPECT_EQ(f.make_string(), "a long enough text to live on the heap:   two");
}

// Every allocation of a parse of many placeholders fails in turn, the growth of the records
// included: the parse throws std::bad_alloc and keeps no block, or gives the full result.
TEST(TextFormatter, EveryAllocationOfALargeParseMayFail) {
    std::string text;
    std::string expected;
    for (int i = 0; i < 100; ++i) {
        text += "<{" + std::to_string(i % 7) + "}>";
        expected += "<" + std::to_string(i % 7) + ">";
    }
    for (std::size_t k = 0;; ++k) {
        const std::ptrdiff_t live = vorn::test::live_blocks();
        vorn::test::fail_allocation_after(k, false);
        bool failed = false;
        try {
            text_formatter f = text_formatter::parser(text);
            vorn::test::stop_failing_allocations();
            for (unsigned long n = 0; n < 7; ++n) {
                f.bind(n, std::to_string(n));
            }
            EXPECT_EQ(f.make_string(), expected);
        } catch (const std::bad_alloc&) {
            failed = true;
        }
        vorn::test::stop_failing_allocations();
        if (!failed) {
            break;
        }
        // Checked once the exception itself is freed.
        EXPECT_EQ(vorn::test::live_blocks(), live) << "after failing allocation " << k;
    }
}

// ---------------------------------------------------------------------------------------------
// Binding by number

// Random texts of few and of many placeholders (the second kind is searched through indexes):
// bind_text agrees with binding each placeholder's whole text, the const queries with the
// others, and a decimal is bound as its to_string.
TEST(TextFormatter, BindTextAgreesWithBindingEachPlaceholderText) {
    std::mt19937 random(11);
    const char* const pieces[] = {"{0}", "{1}", "{2: p}", "{00}", "{1: q}", "{2: p}", "x", "{"};
    for (int round = 0; round < 200; ++round) {
        std::string text;
        const int count = round % 2 == 0 ? 6 : 60;
        for (int i = 0; i < count; ++i) {
            text += pieces[random() % std::size(pieces)];
        }
        text_formatter by_number = text_formatter::parser(text);
        text_formatter by_text = by_number;
        const text_formatter& constant = by_number;
        const std::vector<placeholder> found = placeholders_of(by_number);
        EXPECT_EQ(placeholders_of(const_cast<text_formatter&>(constant)), found);
        for (unsigned long n = 0; n < 4; ++n) {
            EXPECT_EQ(constant.has_arg_escape(n), by_number.has_arg_escape(n)) << text;
            EXPECT_EQ(constant.has_arg_args(n), by_number.has_arg_args(n)) << text;
            const std::string value = "<" + std::to_string(n) + std::string(n * 9, '.') + ">";
            if (n == 3) {
                by_number.bind(n, vc::decimal(-1255, -3), 2, ',');
            } else {
                by_number.bind_text(n, value);
            }
            for (const placeholder& p : found) {
                if (p.name == std::to_string(n)) {
                    by_text.replace_arg_escape_impl(
                        p.full_arg, n == 3 ? vc::decimal(-1255, -3).to_string(2, ',') : value);
                }
            }
        }
        EXPECT_EQ(by_number.make_string(), by_text.make_string()) << text;
    }
    const vc::decimal amount(123456, -4);
    EXPECT_EQ(text_formatter::parser("{0}").bind(0, amount, 3, '|').make_string(),
              amount.to_string(3, '|'));
}

// Binding each of n placeholders in turn used to copy all of them every time: n * n blocks.
TEST(TextFormatter, BindingEveryPlaceholderTakesLinearWork) {
    constexpr unsigned long count = 4000;
    std::string text;
    std::string expected;
    for (unsigned long i = 0; i < count; ++i) {
        text += "{" + std::to_string(i) + "} ";
        expected += std::to_string(i % 7) + " ";
    }
    text_formatter f = text_formatter::parser(text);
    const vorn::test::allocation_counter allocations;
    for (unsigned long i = 0; i < count; ++i) {
        f.bind(i, static_cast<int>(i % 7));
    }
    EXPECT_LT(allocations.count(), count);
    EXPECT_EQ(f.make_string(), expected);
}

// Bindings and rebindings by text and by number, short and long, with copies, copy and move
// assignments among them, on texts whose placeholders, length and bindings cross the limits of
// what a formatter keeps in its own block: the text agrees with a plain map of bindings.
TEST(TextFormatter, RebindingAgreesWithAMapOfBindings) {
    std::mt19937 random(23);
    const char* const pieces[] = {"{0}",    "{1}",     "{2: p}", "{2}", "{07}",
                                  "{3: q}", "{12345}", "-",      "{00}"};
    // Bound by text but absent from every text: kept aside, through copies too.
    const std::string absent = "{4}";
    const std::size_t lengths[] = {0, 1, 3, 7, 15, 16, 17, 40, 90, 250, 700};
    const unsigned long numbers[] = {0, 1, 2, 3, 7, 12345};
    for (int round = 0; round < 400; ++round) {
        std::string text(round % 3 == 0 ? 200 : 0, '.');
        for (std::size_t i = 0, count = random() % 30; i < count; ++i) {
            text += pieces[random() % std::size(pieces)];
        }
        text_formatter f = text_formatter::parser(text);
        const std::vector<placeholder> found = placeholders_of(f);
        std::map<std::string, std::string> model;
        for (int step = 0; step < 40; ++step) {
            // Half of them slowly growing, so that rebinding appends and leaves dead bytes.
            const std::size_t length = random() % 2 == 0 ? lengths[random() % std::size(lengths)]
                                                         : 10 + 4 * static_cast<std::size_t>(step);
            std::string value(length, ' ');
            for (char& c : value) {
                c = static_cast<char>('a' + random() % 26);
            }
            const unsigned action = random() % 8;
            if (action < 3) {
                const std::string key = found.empty() || step % 5 == 0
                                            ? absent
                                            : found[random() % found.size()].full_arg;
                f.replace_arg_escape_impl(key, value);
                model[key] = value;
            } else if (action < 6) {
                const unsigned long n = numbers[random() % std::size(numbers)];
                f.bind_text(n, value);
                for (const placeholder& p : found) {
                    if (p.name == std::to_string(n)) {
                        model[p.full_arg] = value;
                    }
                }
            } else if (action == 6) {
                text_formatter copy(f);
                f = text_formatter();
                f = step % 2 == 0 ? copy : std::move(copy);
            } else {
                ASSERT_EQ(f.make_string(), reference_text(text, found, model)) << text;
            }
        }
        ASSERT_EQ(f.make_string(), reference_text(text, found, model)) << text;
    }
}
