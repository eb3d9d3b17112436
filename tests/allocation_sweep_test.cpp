// SPDX-License-Identifier: MIT
// Every public operation under real allocation failure.
//
// Each scenario runs in a fresh child process (so every lazily built static is first used
// there): once to count the allocations its armed sections make, then again failing the k-th
// of them, and failing every one from the k-th on, for every k (sampled past a bound); k
// counts over all the armed sections of a row, so that each of a row's operations is swept. Each
// run must end normally, report only the documented failure (std::bad_alloc, or nothing at all for
// operations that never throw), keep the strong guarantee where the header promises it, and leave
// no block allocated that it did not leave without failures.
//
// Nothing in this program's own process touches the library before forking, so that the
// children see every static unbuilt.
#include <gtest/gtest.h>

#include <pthread.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "support/allocation_failure.hpp"
#include "support/child_process.hpp"
#include "vorn/core.hpp"

namespace {

namespace vc = vorn::core::v2;
using vc::result::stack;
using vorn::test::run_in_child;

// ---------------------------------------------------------------------------------------------
// What a scenario calls around its operation: allocations before arm() are set-up.

struct sweep_run {
    bool counting = true;
    std::size_t k = 0;  // the armed allocation to fail, counted over every armed section
    bool and_after = false;
    std::size_t armed_at = 0;
    std::size_t made = 0;  // armed allocations so far, failed ones included
};
sweep_run current;

void arm() noexcept {
    current.armed_at = vorn::test::allocation_count();
    if (current.counting) {
        return;
    }
    if (current.k >= current.made) {
        vorn::test::fail_allocation_after(current.k - current.made, current.and_after);
    } else if (current.and_after) {
        vorn::test::fail_all_allocations(true);  // past the k-th: every one fails
    }
}

void disarm() noexcept {
    vorn::test::stop_failing_allocations();
    current.made += vorn::test::allocation_count() - current.armed_at;
}

[[noreturn]] void fail(const char* what) {
    vorn::test::stop_failing_allocations();
    std::fprintf(stderr, "broken: %s\n", what);
    std::fflush(stderr);
    _exit(2);
}

void require(bool ok, const char* what) {
    if (!ok) {
        fail(what);
    }
}

// Same bytes; with capacity_of, what "left as it was" means for a byte_array (a copy's
// capacity follows the size, so the capacity is recorded apart).
bool equal(const vc::byte_array& a, const vc::byte_array& b) {
    return a.size() == b.size() &&
           (a.size() == 0 || std::memcmp(a.data(), b.data(), a.size()) == 0);
}
std::size_t capacity_of(const vc::byte_array& a) {
    return a.capacity();
}
template <class T>
std::size_t capacity_of(const T&) {
    return 0;
}

bool equal(const stack& a, const stack& b) {
    return a == b && a.size() == b.size();
}

// Same text and placeholders.
bool equal(const vc::text_formatter& a, const vc::text_formatter& b) {
    vc::text_formatter x(a), y(b);
    return x.make_string() == y.make_string() &&
           a.get_arguments().size() == b.get_arguments().size();
}

bool equal(const vc::binary_encoder& a, const vc::binary_encoder& b) {
    return a.finish() == b.finish();
}

bool equal(const vc::binary_decoder& a, const vc::binary_decoder& b) {
    return a.get_status() == b.get_status() && a.finish() == b.finish();
}

// Runs `op` armed; on std::bad_alloc checks that `value` still equals its former self (the
// strong guarantee) and is still usable, then lets the exception go on.
template <class T, class Op>
void strong(T& value, Op op) {
    const T before = value;
    const std::size_t capacity = capacity_of(value);
    arm();
    try {
        op();
    } catch (const std::bad_alloc&) {
        disarm();
        require(equal(value, before) && capacity_of(value) == capacity,
                "strong guarantee: value changed");
        T again = value;  // still usable
        require(equal(again, before), "copy after failure");
        throw;
    }
    disarm();
}

template <class Op>
void armed(Op op) {
    arm();
    try {
        op();
    } catch (...) {
        disarm();
        throw;
    }
    disarm();
}

bool same(const vc::byte_array& a, const char* text) {
    return a.size() == std::strlen(text) && std::memcmp(a.data(), text, a.size()) == 0;
}

struct disk_full {
    std::string text = std::string(40, 'd');
    std::string get_message() const { return text; }
};

// ---------------------------------------------------------------------------------------------
// The table. `nothrow` operations may not throw at all; the others may throw std::bad_alloc
// only. One row per operation; a row's body sets up, then arms the operation under test.

struct scenario {
    const char* family;
    const char* name;
    bool nothrow;
    void (*body)();
};

const std::string long_text(300, 't');
const auto* const long_bytes = reinterpret_cast<const unsigned char*>(long_text.data());
constexpr vc::binary_encoding encodings[] = {vc::binary_encoding::hex, vc::binary_encoding::base64,
                                             vc::binary_encoding::base64url};

struct sweep_error : vc::result::described_category<sweep_error> {
    static constexpr const char* name = "sweep";
    static constexpr code<1> no_value{"No value"};
    static constexpr code<2> two_values{"Two values", "text", "number"};
    static constexpr auto codes = list(no_value, two_values);
};

stack propagate(stack status) {
    VORN_RETURN_IF_FAILED_PUSH(std::move(status), sweep_error::two_values, "again", 2);
    return {};
}

stack three_items() {
    stack s;
    s.push(vc::integral_conversion_error::overflow, long_text);
    s.push(vc::error_datetime::invalid_format, long_text);
    s.push(vc::result::code<vc::converter_result_category, 1>());
    return s;
}

// Feeds an encoder or decoder under failure; after std::bad_alloc it may only be destroyed or
// assigned, so check that assignment makes it usable again, then let the exception go on.
template <class Codec, class Feed>
void fed(Codec& codec, vc::binary_encoding e, Feed feed) {
    try {
        armed(feed);
    } catch (const std::bad_alloc&) {
        codec = Codec(e);
        require(codec.finish().size() == 0, "usable after assignment");
        throw;
    }
}

std::string text_of(const vc::text_formatter& f) {
    vc::text_formatter copy(f);
    return copy.make_string();
}

// Applies each operation, under the strong check, to its own fresh array of 3 bytes, so that
// each one that outgrows so small a block is swept where it allocates.
void each_on_a_small_array(std::initializer_list<void (*)(vc::byte_array&)> operations) {
    for (auto operation : operations) {
        vc::byte_array a("xyz");
        strong(a, [&] { operation(a); });
    }
}

const scenario scenarios[] = {
    // status stack: pushing never throws; what it cannot store becomes the pool's placeholder
    {"result", "push integral_conversion_error (both codes)", true,
     [] {
         stack s;
         armed([&] {
             s.push(vc::integral_conversion_error::overflow, long_text);
             s.push(vc::integral_conversion_error::invalid_value, long_text);
         });
         require(s.size() == 2 && s.get_value() == 2, "pushed items");
     }},
    {"result", "push error_datetime", true,
     [] {
         stack s;
         armed([&] { s.push(vc::error_datetime::invalid_format, long_text); });
         require(
             s.get_value() == 1 && s.get_argument_range().begin() != s.get_argument_range().end(),
             "arguments");
     }},
    {"result", "push converter_result_category (both codes)", true,
     [] {
         stack s;
         armed([&] {
             s.push(vc::result::code<vc::converter_result_category, 1>());
             s.push(vc::result::code<vc::converter_result_category, 2>());
         });
         require(s.size() == 2 && s.get_value() == 2, "pushed items");
     }},
    {"result", "push_item and set_argument x4", true,
     [] {
         stack s;
         armed([&] {
             stack::item& it = s.push_item(vc::converter_result_category::instance(), 2);
             for (int i = 0; i < 4; ++i) {
                 it.set_argument("n", long_text);
             }
         });
         std::size_t n = 0;
         for (const auto& a : s.get_argument_range()) {
             (void)a;
             ++n;
         }
         require(n >= 1 && n <= 4, "a closed list keeps at least the placeholder");
     }},
    {"result", "copy of a stack", false,
     [] {
         const stack s = three_items();
         armed([&] { require(stack(s) == s, "copy"); });
     }},
    {"result", "copy assignment", false,
     [] {
         const stack s = three_items();
         stack t;
         t.push(vc::error_datetime::invalid_format, "kept");
         strong(t, [&] { t = s; });
         require(t == s, "assigned");
     }},
    {"result", "move, swap, reset, size, iteration, queries", true,
     [] {
         stack s = three_items(), t;
         armed([&] {
             stack moved(std::move(s));
             t = std::move(moved);
             swap(s, t);
             std::size_t n = 0;
             for (const stack::item& it : std::as_const(s)) {
                 n += it.get_value() != 0 && it.has_failed() && it == it && !(it != it);
             }
             require(n == 3 && s.size() == 3 && s.has_failed() && s.get_value() == 1, "queries");
             require(s.get_category() == vc::converter_result_category::instance(), "category");
             require(s.cbegin() != s.cend() && s != t, "iteration");
             s.reset();
             require(s.size() == 0 && !s.has_failed(), "reset");
         });
     }},
    {"result", "get_argument_value and argument_list ops", true,
     [] {
         stack s = three_items();
         armed([&] {
             stack::item& it = *std::next(s.begin(), 2);                 // the first pushed
             const char* value = it.get_argument_value("string_value");  // cut to fit a record
             require(
                 std::strlen(value) > 200 && long_text.compare(0, std::strlen(value), value) == 0,
                 "argument value");
             vc::result::argument_list other;
             other.set_argument("a", "b");
             swap(other, it.get_argument_range());
             vc::result::argument_list moved(std::move(other));
             other = std::move(moved);
             other.swap(it.get_argument_range());
             for (auto i = other.cbegin(); i != other.cend(); ++i) {
                 require(i->get_name()[0] != 0 && i->get_value() != nullptr, "record");
             }
         });
     }},
    {"result", "empty stack's argument range", true,
     [] {
         stack s;
         armed([&] { s.get_argument_range().set_argument("a", long_text); });
         require(s.get_argument_range().begin() == s.get_argument_range().end(), "emptied");
     }},
    {"result", "push from texts read in place, several arguments at once", true,
     [] {
         stack s;
         const std::string_view text(long_text);
         armed([&] {
             s.push(vc::integral_conversion_error::overflow, text);
             s.push(vc::error_datetime::invalid_format, long_text.c_str());
             stack::item& it = s.push(sweep_error::two_values, text, 42);
             it.set_argument(std::string_view("n"), text);
             it.set_arguments({{"a", text}, {"b", text}, {"c", text}});
         });
         require(s.size() == 3 && s.get_value() == 2, "pushed items");
     }},
    {"result", "push with its place, and the propagation macros", true,
     [] {
         stack s;
         armed([&] {
             s.push(vc::result::here(), sweep_error::no_value);
             s.push_item(vc::converter_result_category::instance(), 1).set_location();
             s = propagate(std::move(s));
         });
         require(s.size() == 3 && s.get_value() == 2, "pushed items");
     }},
    {"result", "push errno, std::error_code and std::system_error", true,
     [] {
         stack s;
         s.push(sweep_error::no_value);
         const std::error_code own = vc::result::to_error_code(s);  // set-up: the adapter
         const std::system_error thrown(std::error_code(EEXIST, std::generic_category()), "mkdir");
         armed([&] {
             s.push_errno(ENOENT);
             s.push(std::error_code(EPIPE, std::system_category()));
             s.push(std::make_error_code(std::io_errc::stream));
             s.push(thrown);
             s.push(own);
         });
         require(s.size() == 6 && s.get_category() == sweep_error::instance(), "pushed items");
     }},
    {"result", "to_string, operator<< and to_error_code", false,
     [] {
         const stack s = three_items();
         armed([&] {
             std::ostringstream out;
             out << s;
             // A stream that cannot grow turns bad instead of throwing.
             require(vc::result::to_string(s).size() > 100 && (out.bad() || out.str().size() > 100),
                     "text");
             require(vc::result::to_error_code(s).value() == 1, "error code");
         });
     }},
    {"result", "get_message of stack and item, every category", false,
     [] {
         const stack s = three_items();
         armed([&] {
             require(std::strlen(s.get_message()) > 0, "message");
             for (const stack::item& it : s) {
                 require(std::strlen(it.get_message()) > 0, "item message");
             }
         });
     }},
    // error and bad_expected_access
    {"error", "construct from a value", false,
     [] { armed([] { require(vc::error(disk_full{}).get_message().size() == 40, "made"); }); }},
    {"error", "copy and copy assignment", false,
     [] {
         const vc::error made = disk_full{};
         vc::error e;
         armed([&] {
             vc::error copy(made);
             e = copy;
         });
         require(e.get_message() == std::string(40, 'd'), "copied");
     }},
    {"error", "move, move assignment, swap", true,
     [] {
         vc::error e = disk_full{}, f;
         armed([&] {
             vc::error moved(std::move(e));
             f = std::move(moved);
             swap(e, f);
             f.swap(e);
         });
     }},
    {"error", "get_message", false,
     [] {
         const vc::error e = disk_full{}, empty;
         armed([&] { require(e.get_message().size() == 40 && empty.get_message().empty(), "t"); });
     }},
    {"error", "bad_expected_access: construct, copy, what", false,
     [] {
         armed([] {
             vc::bad_expected_access<vc::error> thrown{vc::error(disk_full{})};
             vc::bad_expected_access<vc::error> copy(thrown);
             const vc::bad_expected_access<void>& base = copy;
             require(std::strlen(base.what()) > 0 && copy.error().get_message().size() == 40,
                     "what");
         });
     }},
    // byte_array: every operation that throws leaves the array as it was
    {"byte_array", "constructors", false,
     [] {
         armed([] {
             const unsigned char raw[] = {1, 2, 3};
             const vc::byte_array a(500, 7), b(500), c{1, 2, 3}, d(long_text.c_str()),
                 e(long_text.data(), long_text.size()), f(raw, 3), g(d);
             require(a.size() == 500 && b.size() == 500 && c == f && d == e && g == d, "made");
         });
     }},
    {"byte_array", "move, move assignment, swap", true,
     [] {
         vc::byte_array a(long_text.c_str()), b;
         armed([&] {
             vc::byte_array moved(std::move(a));
             b = std::move(moved);
             a.swap(b);
         });
         require(same(a, long_text.c_str()), "moved");
     }},
    {"byte_array", "assign overloads and assignments", false,
     [] {
         each_on_a_small_array({
             [](vc::byte_array& a) { a.assign(400, 1); },
             [](vc::byte_array& a) { a.assign(long_bytes, long_bytes + long_text.size()); },
             [](vc::byte_array& a) { a.assign(vc::byte_array(long_text.c_str())); },
             [](vc::byte_array& a) {
                 a.assign({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
             },
             [](vc::byte_array& a) { a.assign(long_text.data(), long_text.data() + 100); },
             [](vc::byte_array& a) { a.assign(long_text.data(), 100); },
             [](vc::byte_array& a) { a.assign(long_text.c_str()); },
             [](vc::byte_array& a) { a = vc::byte_array(long_text.c_str()); },
             [](vc::byte_array& a) { a = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}; },
             [](vc::byte_array& a) { a = long_text.c_str(); },
         });
     }},
    {"byte_array", "insert overloads", false,
     [] {
         vc::byte_array self("abcdef");
         strong(self, [&] { self.insert(self.begin() + 2, self.begin(), self.end()); });
         require(same(self, "ababcdefcdef"), "insert from itself");
         each_on_a_small_array({
             [](vc::byte_array& a) { a.insert(a.begin(), 300, 'x'); },
             [](vc::byte_array& a) { a.insert(a.end(), 'y'); },
             [](vc::byte_array& a) { a.insert(a.begin() + 1, vc::byte_array(long_text.c_str())); },
             [](vc::byte_array& a) {
                 a.insert(a.begin(), {1, 2, 3});
             },
             [](vc::byte_array& a) { a.insert(a.end(), long_text.data(), long_text.data() + 50); },
             [](vc::byte_array& a) { a.insert(a.begin() + 3, long_text.data(), 200); },
             [](vc::byte_array& a) { a.insert(a.begin(), long_text.c_str()); },
         });
     }},
    {"byte_array", "append overloads and push_back", false,
     [] {
         each_on_a_small_array({
             [](vc::byte_array& a) { a.append(long_text.data(), long_text.size()); },
             [](vc::byte_array& a) { a.append(900, 'z'); },
             [](vc::byte_array& a) { a.append(vc::byte_array(long_text.c_str())); },
             [](vc::byte_array& a) {
                 a.append({1, 2});
             },
             [](vc::byte_array& a) { a.append(long_bytes, long_bytes + long_text.size()); },
             [](vc::byte_array& a) { a.append(long_text.data(), long_text.data() + 40); },
             [](vc::byte_array& a) { a.append(long_text.c_str()); },
             [](vc::byte_array& a) { a.push_back('p'); },
         });
         vc::byte_array b;
         for (int i = 0; i < 40; ++i) {
             strong(b, [&] { b.push_back(static_cast<unsigned char>(i)); });
         }
     }},
    {"byte_array", "resize, reserve, clear", false,
     [] {
         vc::byte_array a("xyz");
         strong(a, [&] { a.resize(5000, 7); });
         strong(a, [&] { a.resize(10); });
         strong(a, [&] { a.reserve(9000); });
         strong(a, [&] { a.clear(); });
         vc::byte_array b;
         strong(b, [&] { b.reserve(1); });
         strong(b, [&] { b.clear(); });
     }},
    {"byte_array", "erase, pop_back, element access, comparisons, view, hash", true,
     [] {
         vc::byte_array a(long_text.c_str());
         const vc::byte_array b("tt");
         armed([&] {
             a.erase(a.begin() + 3, a.end());
             a.erase(a.begin());
             a.push_back('t');
             a.pop_back();
             require(a == b && !(a != b) && a <= b && a >= b && !(a < b) && !(a > b), "compare");
             require(a == std::string("tt") && "tt" == a && a < "u" && a.at(0) == 't',
                     "text compare");
             require(std::hash<vc::byte_array>()(a) == std::hash<std::string_view>()(a.view()),
                     "hash");
             a[0] = a.front() == a.back() ? 'u' : 'v';
         });
     }},
    {"byte_array", "at past the end", false,
     [] {
         const vc::byte_array a("abc");
         armed([&] {
             try {
                 (void)a.at(3);
                 fail("at(3) of 3 bytes returned");
             } catch (const std::out_of_range& e) {
                 require(std::strstr(e.what(), "(size: 3)") != nullptr, "message");
             }
         });
     }},
    // binary encodings; the caller-buffer paths never allocate
    {"binary_encoding", "encoder and decoder constructors and copies", false,
     [] {
         for (auto e : encodings) {
             vc::binary_encoder enc(e);
             enc.add_data(long_text);
             vc::binary_decoder dec(e);
             dec.add_string(enc.finish());
             vc::binary_encoder other(vc::binary_encoding::hex);
             vc::binary_decoder another(vc::binary_encoding::hex);
             armed([&] {
                 vc::binary_encoder made(e), copy(enc);
                 vc::binary_decoder made_d(e), copy_d(dec);
                 require(copy.finish() == enc.finish() && copy_d.finish() == dec.finish(), "c");
             });
             strong(other, [&] { other = enc; });
             strong(another, [&] { another = dec; });
         }
     }},
    {"binary_encoding", "encoder add_data overloads and finish", false,
     [] {
         for (auto e : encodings) {
             vc::binary_encoder enc(e);
             const vc::byte_array bytes(long_text.c_str());
             fed(enc, e, [&] {
                 for (std::size_t i = 0; i < long_text.size(); i += 97) {
                     enc.add_data(long_bytes + i, std::min<std::size_t>(97, long_text.size() - i));
                 }
                 enc.add_data(bytes);
                 enc.add_data(std::string_view(long_text));
                 enc.add_data(long_text.c_str());
                 require(enc.finish().size() == enc.finished_size(), "finish");
             });
         }
     }},
    {"binary_encoding", "decoder add_string overloads and finish", false,
     [] {
         for (auto e : encodings) {
             const std::string text = vc::binary_encoder::encode(e, long_text);
             vc::binary_decoder dec(e);
             fed(dec, e, [&] {
                 dec.add_string(text.data(), 101);
                 dec.add_string(text.substr(101, 100));
                 dec.add_string(std::string_view(text).substr(201, 99));
                 dec.add_string(text.c_str() + 300);
                 require(dec.finish().size() == long_text.size(), "streamed round trip");
             });
         }
     }},
    {"binary_encoding", "finish_to, finished_size, status queries", true,
     [] {
         for (auto e : encodings) {
             vc::binary_encoder enc(e);
             enc.add_data(long_text);
             vc::binary_decoder dec(e);
             dec.add_string(vc::binary_encoder::encode(e, long_text));
             std::string text(enc.finished_size(), '\0');
             std::string bytes(dec.finished_size(), '\0');
             armed([&] {
                 require(enc.finish_to(text.data()) == text.size(), "encoder finish_to");
                 const vc::decode_result r =
                     dec.finish_to(reinterpret_cast<unsigned char*>(bytes.data()));
                 require(!r.refused() && r.size == long_text.size() && bytes == long_text, "d");
                 require(dec.get_status() == vc::decode_status::complete && dec.is_complete() &&
                             !dec.is_incomplete() && !dec.is_refused(),
                         "status");
             });
         }
     }},
    {"binary_encoding", "one-shot encode and decode, all overloads", false,
     [] {
         for (auto e : encodings) {
             const vc::byte_array bytes(long_text.c_str());
             armed([&] {
                 const std::string a = vc::binary_encoder::encode(e, long_bytes, long_text.size());
                 require(vc::binary_encoder::encode(e, bytes) == a &&
                             vc::binary_encoder::encode(e, std::string_view(long_text)) == a &&
                             vc::binary_encoder::encode(e, long_text.c_str()) == a,
                         "encode overloads");
                 vc::decode_status status = vc::decode_status::refused;
                 require(vc::binary_decoder::decode(e, a.data(), a.size()) == bytes &&
                             vc::binary_decoder::decode(e, a) == bytes &&
                             vc::binary_decoder::decode(e, a.c_str()) == bytes &&
                             vc::binary_decoder::decode(e, std::string_view(a)) == bytes &&
                             vc::binary_decoder::decode(e, std::string_view(a), status) == bytes &&
                             status == vc::decode_status::complete,
                         "decode overloads");
             });
         }
     }},
    {"binary_encoding", "encode_to, decode_to, encoded_size, decoded_size_bound", true,
     [] {
         for (auto e : encodings) {
             char text[512];
             unsigned char bytes[512];
             armed([&] {
                 require(vc::binary_encoder::encode_to(e, long_bytes, 200, text) ==
                             vc::binary_encoder::encoded_size(e, 200),
                         "encode_to");
                 const std::size_t n = vc::binary_encoder::encode_to(
                     e, std::string_view(long_text).substr(0, 9), text);
                 require(n == vc::binary_encoder::encoded_size(e, 9), "encode_to of a view");
                 require(vc::binary_decoder::decoded_size_bound(e, n) >= 9, "bound");
                 const vc::decode_result r = vc::binary_decoder::decode_to(e, text, n, bytes);
                 require(r.size == 9 && !r.refused() &&
                             vc::binary_decoder::decode_to(e, std::string_view(text, n), bytes)
                                     .status == vc::decode_status::complete,
                         "decode_to");
             });
         }
     }},
    {"binary_encoding", "decode_append and encode_append leave their target on failure", false,
     [] {
         for (auto e : encodings) {
             const std::string text =
                 vc::binary_encoder::encode(e, long_text, vc::line_wrap::pem());
             vc::byte_array bytes("xyz");
             strong(bytes, [&] {
                 vc::binary_decoder::decode_append(e, text, bytes, vc::decode_options::forgiving);
             });
             require(bytes.size() == 3 + long_text.size(), "appended bytes");
             std::string appended = "xy";
             try {
                 armed([&] { vc::binary_encoder::encode_append(e, long_text, appended); });
             } catch (const std::bad_alloc&) {
                 require(appended == "xy", "text left as it was");
                 throw;
             }
         }
     }},
    {"binary_encoding", "forgiving decoders and wrapped encoders, streamed", false,
     [] {
         for (auto e : encodings) {
             vc::binary_encoder enc(e, vc::line_wrap::mime());
             fed(enc, e, [&] {
                 enc.add_data(long_text);
                 enc.add_data(long_text);
             });
             const std::string text = enc.finish();
             vc::binary_decoder dec(e,
                                    vc::decode_options::forgiving | vc::decode_options::canonical);
             fed(dec, e, [&] {
                 dec.add_string(text);
                 require(dec.finish().size() == 2 * long_text.size(), "forgiving round trip");
             });
         }
     }},
    {"binary_encoding", "the forms with a capacity never allocate", true,
     [] {
         for (auto e : encodings) {
             char text[1024];
             unsigned char bytes[512];
             vc::binary_encoder enc(e, vc::line_wrap::pem());
             enc.add_data(long_text);
             const std::string mime =
                 vc::binary_encoder::encode(e, long_text, vc::line_wrap::mime());
             vc::binary_decoder dec(e, vc::decode_options::forgiving);
             dec.add_string(mime);
             armed([&] {
                 const vc::encode_result r = vc::binary_encoder::encode_to(
                     e, long_text, text, sizeof text, vc::line_wrap::mime());
                 require(!r.too_small && std::string_view(text, r.size) == mime &&
                             enc.finish_to(text, 10).too_small,
                         "encode_to");
                 require(vc::binary_decoder::decode_to(e, mime, bytes, sizeof bytes,
                                                       vc::decode_options::forgiving)
                                 .size == long_text.size(),
                         "decode_to");
                 require(dec.finish_to(bytes, 10).status == vc::decode_status::too_small,
                         "finish_to");
             });
         }
     }},
    {"binary_encoding", "push error_binary_encoding, both codes, report", true,
     [] {
         stack s;
         armed([&] {
             s.push(vc::error_binary_encoding::refused, vc::binary_encoding::base64, long_text);
             s.push(vc::error_binary_encoding::incomplete, vc::binary_encoding::hex, long_text);
             vc::error_binary_encoding::report(s, vc::decode_status::refused,
                                               vc::binary_encoding::base64url, long_text);
         });
         require(s.size() == 3 && s.get_value() == 1 &&
                     s.get_argument_range().begin() != s.get_argument_range().end(),
                 "pushed items");
     }},
    // calendar: values, converters, chrono and streams; only the stream may allocate
    {"datetime", "date, time and datetime members, chrono, hash", true,
     [] {
         armed([] {
             vc::date d(10, 3, 2024), e;
             d.set_day(11), d.set_month(4), d.set_year(2025);
             e = vc::date::from_sys_days(d.to_sys_days());
             require(e == d && d.get_day() == 11 && d.get_month() == 4 && d.get_year() == 2025 &&
                         vc::date::from_year_month_day(d.to_year_month_day()) == d &&
                         vc::date::from_julian_day(d.to_julian_day()) == d &&
                         std::hash<vc::date>()(d) == std::hash<vc::date>()(e),
                     "date");
             vc::time t(12, 34, 56, 789), u;
             t.set_hour(13), t.set_minute(1), t.set_second(2), t.set_milliseconds(3);
             u = vc::time::from_duration(t.to_duration());
             require(u == t && t.get_hour() == 13 && t.get_milliseconds() == 3 &&
                         std::hash<vc::time>()(t) == std::hash<vc::time>()(u),
                     "time");
             vc::datetime w(d, t, -10800), x = vc::datetime::now(), y = vc::datetime::utc_now();
             w.set_offset(3600), w.set_date(e), w.set_time(u);
             require(w.get_date() == e && w.get_time() == u && w.get_offset() == 3600 &&
                         vc::datetime::from_msecs_since_epoch(w.to_msecs_since_epoch()) == w &&
                         w.to_offset(0) == w && x <= vc::datetime::now(60) && y >= y,
                     "datetime");
             vc::datetime z;
             require(vc::value_converter<vc::datetime>().make_value(z, w.to_sys_time()) ==
                             vc::converter_status::success &&
                         z == w && std::hash<vc::datetime>()(z) == std::hash<vc::datetime>()(w),
                     "chrono");
             swap(d, e), swap(t, u), swap(w, z);
         });
     }},
    {"datetime", "converters write and read, RFC 3339 included", true,
     [] {
         armed([] {
             vc::datetime when;
             const char text[] = "2024-03-10T12:34:56.789-03:00";
             require(vc::value_converter<vc::datetime>().make_value(when, text, sizeof text - 1) ==
                             vc::converter_status::success &&
                         vc::value_converter<vc::datetime>().make_value_rfc3339(
                             when, text, sizeof text - 1) == vc::converter_status::success,
                     "read");
             require(vc::value_converter<vc::datetime>().make_value(when, "2024", 4) ==
                             vc::converter_status::invalid_format &&
                         vc::value_converter<vc::datetime>().make_value_rfc3339(when, "x", 1) ==
                             vc::converter_status::invalid_format,
                     "refused datetime");
             char out[40];
             std::size_t length = sizeof out;
             vc::chars_converter<vc::datetime>().make_chars(out, length, when);
             length = sizeof out;
             vc::chars_converter<vc::datetime>().make_chars_rfc3339(out, length, when);
             vc::date d;
             vc::value_converter<vc::date>().make_value(d, "2024-02-30", 10);
             vc::value_converter<vc::date>().make_value(d, "2024-0", 6);
             vc::time t;
             vc::value_converter<vc::time>().make_value(t, "25:61:61", 8);
             vc::value_converter<vc::time>().make_value(t, "2", 1);
             length = sizeof out;
             vc::chars_converter<vc::date>().make_chars(out, length, d);
             length = sizeof out;
             vc::chars_converter<vc::time>().make_chars(out, length, t);
         });
     }},
    {"datetime", "operator<< of date, time, datetime", false,
     [] {
         std::ostringstream out;
         armed([&] { out << vc::date(1, 2, 2003) << vc::time(4, 5, 6, 7) << vc::datetime(); });
     }},
    // decimal: constructors and results allocate; in-place arithmetic never does
    {"decimal", "constructors and copies", false,
     [] {
         const vc::decimal a(1990, -2);
         armed([&] {
             vc::decimal b, c(5, 3), d(a), e(std::move(c));
             require(d == a && e.get_number() == 5 && b.get_factor() == 0, "made");
         });
     }},
    {"decimal", "+, -, unary -, *, const forms", false,
     [] {
         vc::decimal a(1990, -2), b(15, -1);
         const vc::decimal& ca = a;
         armed([&] {
             require(a + b == vc::decimal(2140, -2) && a - b == vc::decimal(1840, -2), "sums");
             require(ca + b == a + b && ca - b == a - b && -a == vc::decimal(-1990, -2), "const");
             require(a * b == vc::decimal(29850, -3), "product");
         });
     }},
    {"decimal", "round, divide and split", false,
     [] {
         const vc::decimal a(10000, -2);
         armed([&] {
             require(a.round(1) == vc::decimal(1000, -1) &&
                         a.divide(3, 2) == vc::decimal(3333, -2) &&
                         a.divide(vc::decimal(3, 0), 2) == vc::decimal(3333, -2),
                     "rounded and divided");
             const std::vector<vc::decimal> parts = a.split({1, 1, 1}, 2);
             require(parts.size() == 3 && parts[0] == vc::decimal(3334, -2), "split");
         });
         require(a == vc::decimal(10000, -2), "left as it was");
     }},
    {"decimal", "round and divide in place, reading with limits", true,
     [] {
         vc::decimal a(12345, -3);
         const vc::decimal half(5, -1);
         armed([&] {
             a.round_in_place(2).divide_in_place(half, 2).divide_in_place(2, 2);
             require(vc::value_converter<vc::decimal>().make_value(a, "1.5", 3, {1, 1}) ==
                         vc::converter_status::success,
                     "limits");
         });
     }},
    {"decimal", "+=, -=, *=, assignment, comparisons, hash, converter", true,
     [] {
         vc::decimal a(1990, -2), b(15, -1), c;
         armed([&] {
             a += b, a -= b, a *= b, a = b, c = std::move(a);
             require(c.compare(b) == 0 && c == b && !(c != b) && c <= b && c >= b && !(c < b) &&
                         !(c > b) && std::hash<vc::decimal>()(c) == b.hash(),
                     "compare");
             require(vc::value_converter<vc::decimal>(',').make_value(c, "12,50", 5) ==
                             vc::converter_status::success &&
                         vc::value_converter<vc::decimal>().make_value(c, "x", 1) ==
                             vc::converter_status::invalid_format,
                     "converter");
             char text[64];
             require(
                 c.to_chars(text, sizeof text, 40, ',') == 43 && c.to_chars(text, 4, 40, ',') == 43,
                 "to_chars");
         });
     }},
    {"decimal", "to_string at a large precision, operator<<", false,
     [] {
         const vc::decimal a(-1234567, -3);
         std::ostringstream out;
         armed([&] {
             require(a.to_string(200, ',').size() > 200, "text");
             out << a;
         });
     }},
    {"decimal", "push error_decimal", true,
     [] {
         stack s;
         armed([&] { s.push(vc::error_decimal::invalid_format, long_text, ','); });
         require(
             s.get_value() == 1 && s.get_argument_range().begin() != s.get_argument_range().end(),
             "arguments");
     }},
    // text formatter
    {"text_formatter", "parser", false,
     [] {
         armed([] {
             require(vc::text_formatter::parser("Olá {0}, total {1: BRL}, {0} e {2}.")
                             .get_arguments()
                             .size() == 4,
                     "placeholders");
         });
     }},
    {"text_formatter", "get_arguments (both), has_arg_escape/args (both)", false,
     [] {
         vc::text_formatter f = vc::text_formatter::parser(long_text + "{0}{1: x}{2}");
         const vc::text_formatter& cf = f;
         armed([&] {
             require(f.get_arguments().size() == 3 && cf.get_arguments().size() == 3, "args");
         });
     }},
    {"text_formatter", "has_arg_escape and has_arg_args, both forms", true,
     [] {
         vc::text_formatter f = vc::text_formatter::parser(long_text + "{0}{1: x}{2}");
         const vc::text_formatter& cf = f;
         armed([&] {
             require(f.has_arg_escape(1) && cf.has_arg_escape(2) && !f.has_arg_escape(3) &&
                         f.has_arg_args(1) && !cf.has_arg_args(0),
                     "queries");
         });
     }},
    {"text_formatter", "replace_arg_escape_impl, bind_text, make_string", false,
     [] {
         vc::text_formatter f = vc::text_formatter::parser("{0} {1: x} {2}");
         armed([&] {
             f.replace_arg_escape_impl("{1: x}", long_text).bind_text(0, long_text);
             require(f.make_string().size() == 2 * long_text.size() + 2, "text");
         });
     }},
    {"text_formatter", "bind of every kind, decimal with precision", false,
     [] {
         vc::text_formatter f =
             vc::text_formatter::parser("{0}{1}{2}{3}{4}{5}{6}{7}{8}{9}{10}{11}");
         const char array[8] = "array";
         armed([&] {
             f.bind(0, long_text).bind(1, std::string_view("view")).bind(2, "c string");
             f.bind(3, array).bind(4, 'c').bind(5, true).bind(6, -42).bind(7,
                                                                           18446744073709551615ULL);
             f.bind(8, 0.5)
                 .bind(9, vorn::core::string_view("core view"))
                 .bind(10, vc::decimal(125, -2));
             f.bind(11, vc::decimal(125, -2), 4, ',');
             require(f.make_string().find("1,2500") != std::string::npos, "bound");
         });
     }},
    {"text_formatter", "constructors, copy, move", false,
     [] {
         vc::text_formatter f = vc::text_formatter::parser(long_text + "{0}{1}");
         f.bind(0, long_text);
         armed([&] {
             vc::text_formatter made, copy(f);
             vc::text_formatter moved(std::move(copy));
             require(text_of(moved) == text_of(f) && text_of(made).empty(), "copies");
         });
     }},
    {"text_formatter", "copy assignment", false,
     [] {
         vc::text_formatter f = vc::text_formatter::parser(long_text + "{0}{1}");
         vc::text_formatter g = vc::text_formatter::parser("{3}");
         g.bind(3, "kept");
         strong(g, [&] { g = f; });
     }},
    {"text_formatter", "move assignment", true,
     [] {
         vc::text_formatter f = vc::text_formatter::parser(long_text + "{0}"), g;
         armed([&] { g = std::move(f); });
         require(text_of(g) == long_text, "moved");
     }},
    {"text_formatter", "argument's members", false,
     [] {
         armed([] {
             vc::argument a;
             a.set_name("12"), a.set_params(long_text), a.set_full_arg("{12: " + long_text + "}");
             a.set_begin(3), a.set_end(9);
             vc::argument b(a), c;
             c = b;
             require(c.get_name() == "12" && c.get_params() == long_text &&
                         c.get_full_arg().size() == long_text.size() + 6 && c.get_begin() == 3 &&
                         c.get_end() == 9,
                     "members");
         });
     }},
    // stopwatch
    {"stopwatch", "start, split, copy", false,
     [] {
         vc::stopwatch w, other;
         armed([&] {
             w.start();
             require(w.split() >= 0, "split");
             vc::stopwatch copy(w);
             other = copy;
             require(other.split() >= 0, "copied instant");
         });
     }},
    {"stopwatch", "move, swap, reset", true,
     [] {
         vc::stopwatch w, other;
         w.start();
         armed([&] {
             vc::stopwatch moved(std::move(w));
             other = std::move(moved);
             swap(w, other);
             require(w.split() >= 0, "moved instant");
             w.reset();
             other.reset();
         });
     }},
};

// Sweeps every k below this bound, then every (count / sampled)-th: the runs stay fast even
// where a scenario makes thousands of allocations.
constexpr std::size_t exhaustive_bound = 200;
constexpr std::size_t sampled = 50;

enum class ending { normal, bad_alloc };

// Runs `body` on a thread of its own and waits for it to end, so that what the library keeps
// for a thread (spare blocks of released status items) has been freed when blocks are counted.
template <class Body>
void on_own_thread(Body body) {
    std::thread(body).join();
}

// Runs the scenario in a child; returns the allocations it made, or fails the test.
// `first_use` is what the counting run left allocated: blocks of statics built on first use
// (the C library's exit-handler list growing, the first thread's own blocks, say), which a
// failing run may leave too.
std::size_t run_once(const scenario& s, bool counting, std::size_t k, bool and_after, ending* seen,
                     long* first_use) {
    const auto outcome = run_in_child([&] {
        current = sweep_run{counting, k, and_after, 0, 0};
        const std::ptrdiff_t live = vorn::test::live_blocks_in_process();
        char result = 'n';
        on_own_thread([&] {
            try {
                s.body();
            } catch (const std::bad_alloc&) {
                result = 'b';
            } catch (...) {
                fail("an exception other than std::bad_alloc");
            }
            vorn::test::stop_failing_allocations();
        });
        const std::ptrdiff_t left = vorn::test::live_blocks_in_process() - live;
        const std::size_t made = current.made;
        if (counting) {
            // A second run sees every static built: it must leave nothing behind.
            const std::ptrdiff_t warm = vorn::test::live_blocks_in_process();
            on_own_thread(s.body);
            require(vorn::test::live_blocks_in_process() == warm,
                    "blocks left without any failure");
        }
        std::fprintf(stderr, "%c %zu %td\n", result, made, left);
    });
    if (!outcome.exited || outcome.exit_status != 0) {
        ADD_FAILURE() << s.family << " / " << s.name << (counting ? " (counting)" : "")
                      << " k=" << k << (and_after ? " and after" : "") << ": "
                      << (outcome.exited ? "exit status " + std::to_string(outcome.exit_status)
                                         : "signal " + std::to_string(outcome.signal))
                      << "\n"
                      << outcome.standard_error;
        return 0;
    }
    char result = 0;
    std::size_t made = 0;
    long left = 0;
    const char* line = outcome.standard_error.c_str();
    if (const char* last = std::strrchr(line, '\n'); last != nullptr && last != line) {
        const char* start = last;
        while (start != line && start[-1] != '\n') {
            --start;
        }
        line = start;
    }
    if (std::sscanf(line, "%c %zu %ld", &result, &made, &left) != 3) {
        ADD_FAILURE() << s.name << ": unreadable child report " << outcome.standard_error;
        return 0;
    }
    *seen = result == 'b' ? ending::bad_alloc : ending::normal;
    if (counting) {
        *first_use = left;
    } else {
        EXPECT_LE(left, *first_use) << s.family << " / " << s.name << " k=" << k
                                    << (and_after ? " and after" : "") << ": blocks leaked";
    }
    return made;
}

TEST(AllocationSweep, EveryOperationUnderEveryFailingAllocation) {
    std::printf("%-16s %-42s %7s %6s  %s\n", "family", "scenario", "allocs", "runs", "outcome");
    for (const scenario& s : scenarios) {
        ending seen = ending::normal;
        long first_use = 0;
        const std::size_t count = run_once(s, true, 0, false, &seen, &first_use);
        ASSERT_EQ(seen, ending::normal) << s.name << " fails without any allocation failure";
        std::size_t runs = 0, threw = 0;
        const std::size_t step = count <= exhaustive_bound ? 1 : count / sampled;
        for (std::size_t k = 0; k < count; k += (k < exhaustive_bound ? 1 : step)) {
            for (bool and_after : {false, true}) {
                ++runs;
                run_once(s, false, k, and_after, &seen, &first_use);
                if (seen == ending::bad_alloc) {
                    ++threw;
                    EXPECT_FALSE(s.nothrow) << s.name << " threw with k=" << k;
                }
            }
        }
        std::printf("%-16s %-42s %7zu %6zu  %s\n", s.family, s.name, count, runs,
                    s.nothrow ? (threw == 0 ? "never threw" : "THREW")
                              : (std::to_string(threw) + " x bad_alloc, rest completed").c_str());
    }
}

// ---------------------------------------------------------------------------------------------
// Pushing and reading back never need the heap.

TEST(NeverThrows, FirstDateTimePushWithTheHeapExhausted) {
    const auto outcome = run_in_child([] {
        const std::string received(64, 'r');
        stack status;
        vorn::test::fail_all_allocations(true);
        try {
            status.push(vc::result::code<vc::error_datetime, 1>(), received);
        } catch (const std::bad_alloc&) {
            fail("push threw std::bad_alloc");
        }
        vorn::test::stop_failing_allocations();
        require(status.get_value() == 1, "pushed code");
        const auto& first = *status.get_argument_range().begin();
        require(std::strcmp(first.get_name(), "out-of-memory") == 0, "placeholder argument");
    });
    EXPECT_TRUE(outcome.exited && outcome.exit_status == 0)
        << "signal " << outcome.signal << ": " << outcome.standard_error;
}

TEST(NeverThrows, EmptyStackArgumentRangeOnAThreadsFirstCallWithTheHeapExhausted) {
    const auto outcome = run_in_child([] {
        std::thread([] {
            stack empty;
            vorn::test::fail_all_allocations(true);
            vc::result::argument_list& list = empty.get_argument_range();
            list.set_argument("a", "b");  // the heap fails: the list closes or stays empty
            vc::result::argument_list& again = empty.get_argument_range();
            vorn::test::stop_failing_allocations();
            require(again.begin() == again.end(), "emptied by the next call");
            again.set_argument("c", "d");
            require(std::strcmp(again.begin()->get_name(), "c") == 0, "written and read back");
        }).join();
    });
    EXPECT_TRUE(outcome.exited && outcome.exit_status == 0)
        << "signal " << outcome.signal << ": " << outcome.standard_error;
}

// When the per-thread key cannot be set (a key past the first 32 needs a heap block on each
// thread), the list must still read empty and must store nothing, since nothing would free it.
TEST(NeverThrows, EmptyStackArgumentRangeWhenItsThreadKeyCannotBeSet) {
    const auto outcome = run_in_child([] {
        pthread_key_t keys[40];
        for (pthread_key_t& k : keys) {
            require(pthread_key_create(&k, nullptr) == 0, "key");
        }
        std::thread([] {
            stack empty;
            vorn::test::fail_all_allocations(true);
            vc::result::argument_list& list = empty.get_argument_range();
            list.set_argument("a", "b");
            const bool stored = list.begin() != list.end();
            vorn::test::stop_failing_allocations();
            require(!stored, "nothing stored without a key");
            vc::result::argument_list& keyed = empty.get_argument_range();
            keyed.set_argument("c", "d");
            require(std::strcmp(keyed.begin()->get_value(), "d") == 0,
                    "keyed once the heap is back");
        }).join();
    });
    EXPECT_TRUE(outcome.exited && outcome.exit_status == 0)
        << "signal " << outcome.signal << ": " << outcome.standard_error;
}

// Run in this process, so that the leak checker of a sanitized build sees what a thread
// leaves behind when it ends with records in its list.
TEST(NeverThrows, RecordsOfTheEmptyStackListAreFreedAtThreadExit) {
    std::thread([] {
        stack empty;
        empty.get_argument_range().set_argument("left", long_text);
        require(empty.get_argument_range().begin() == empty.get_argument_range().end(), "emptied");
        vc::result::argument_list& list = empty.get_argument_range();
        list.set_argument("left", "at exit");
        require(std::strcmp(list.begin()->get_value(), "at exit") == 0, "read back");
    }).join();
}

}  // namespace
