// SPDX-License-Identifier: MIT
// Byte storage: the block-size policy, the byte_array interface, its failures and the strong
// guarantee under real allocation failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <new>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "byte_array/byte_array_access.hpp"
#include "support/allocation_failure.hpp"
#include "vorn/core.hpp"

#if defined(__SANITIZE_ADDRESS__)
// A request of 2^64 - 1 bytes must come back as a null pointer, as it does from glibc, rather
// than stop the program.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}
#endif

namespace vc = vorn::core::v2;
using vc::byte_array;
using vorn::core::detail::byte_array_access;
using vorn::test::allocation_counter;
using vorn::test::allocation_failure_scope;

namespace {

using bytes = std::vector<unsigned char>;

constexpr std::size_t size_max = std::numeric_limits<std::size_t>::max();

const char* const allocate_error = "vorn::core::detail::byte_array_impl::allocate";
const char* const reallocate_error = "vorn::core::detail::byte_array_impl::reallocate";
const char* const grow_error = "vorn::core::detail::byte_array_impl::grow";
const char* const corrupt_header_error =
    "[vornfw]: internal error: ptr->data_offset_ != header_size";

bytes contents(const byte_array& a) {
    return bytes(a.begin(), a.end());
}

bytes iota_bytes(std::size_t n, unsigned char first = 1) {
    bytes out(n);
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = static_cast<unsigned char>(first + i);
    }
    return out;
}

byte_array make(const bytes& b) {
    byte_array a;
    a.assign(b.data(), b.data() + b.size());
    return a;
}

// Everything an operation that fails must leave as it was.
struct snapshot {
    std::size_t size;
    std::size_t capacity;
    const unsigned char* data;
    bytes content;

    explicit snapshot(const byte_array& a)
        : size(a.size()), capacity(a.capacity()), data(a.data()), content(contents(a)) {}
    bool operator==(const snapshot& o) const {
        return size == o.size && capacity == o.capacity && data == o.data && content == o.content;
    }
};

void PrintTo(const snapshot& s, std::ostream* os) {
    *os << "{size " << s.size << ", capacity " << s.capacity << "}";
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Block-size policy

TEST(Capacity, FollowsTheBlockSizePolicy) {
    const std::pair<std::size_t, std::size_t> table[] = {{1, 8},
                                                         {8, 8},
                                                         {9, 40},
                                                         {40, 40},
                                                         {41, 104},
                                                         {104, 104},
                                                         {105, 232},
                                                         {232, 232},
                                                         {233, 488},
                                                         {488, 488},
                                                         {489, 1000},
                                                         {1000, 1000},
                                                         {1001, 2024},
                                                         {2024, 2024},
                                                         {2025, 3048},
                                                         {3048, 3048},
                                                         {3049, 4072},
                                                         {1048552, 1048552},
                                                         {1048553, 1049576},
                                                         {1048576, 1049576}};
    for (const auto& [wanted, capacity] : table) {
        EXPECT_EQ(byte_array(wanted).capacity(), capacity) << "construction for " << wanted;
        byte_array reserved{7};
        reserved.reserve(wanted);
        EXPECT_EQ(reserved.capacity(), capacity) << "reserve for " << wanted;
        EXPECT_EQ(reserved.size(), 1U);
        EXPECT_EQ(reserved[0], 7);
    }
}

TEST(Capacity, SingleByteAppendsReallocateOncePerStep) {
    byte_array a;
    std::vector<std::size_t> seen;
    seen.reserve(32);
    allocation_counter calls;
    for (int i = 0; i < 5000; ++i) {
        a.push_back(static_cast<unsigned char>(i));
        if (seen.empty() || seen.back() != a.capacity()) {
            seen.push_back(a.capacity());
        }
    }
    const std::size_t allocations = calls.count();
    EXPECT_EQ(seen, (std::vector<std::size_t>{8, 40, 104, 232, 488, 1000, 2024, 3048, 4072, 5096}));
    EXPECT_EQ(allocations, seen.size()) << "one malloc, then one realloc per capacity step";
    for (int i = 0; i < 5000; ++i) {
        ASSERT_EQ(a[i], static_cast<unsigned char>(i)) << i;
    }
}

TEST(Capacity, ReserveNeverShrinksAndSurvivesClear) {
    byte_array a;
    a.reserve(100);
    EXPECT_EQ(a.capacity(), 104U);
    EXPECT_EQ(a.size(), 0U);
    a.reserve(0);
    a.reserve(10);
    EXPECT_EQ(a.capacity(), 104U);
    a.assign(3, 1);
    a.clear();
    EXPECT_EQ(a.size(), 0U);
    EXPECT_EQ(a.capacity(), 104U);
    a.resize(2);
    EXPECT_EQ(contents(a), (bytes{0, 0}));
    EXPECT_EQ(a.capacity(), 104U);
}

TEST(VectorCapacity, Table) {
    const std::pair<std::size_t, std::size_t> table[] = {{0, 0},
                                                         {1, 1},
                                                         {2, 2},
                                                         {3, 4},
                                                         {5, 8},
                                                         {33, 64},
                                                         {63, 64},
                                                         {64, 128},
                                                         {65, 128},
                                                         {100, 128},
                                                         {127, 128},
                                                         {128, 192},
                                                         {size_max - 64 - 1, size_max - 63},
                                                         {size_max - 63, 0},
                                                         {size_max, 0}};
    for (const auto& [n, expected] : table) {
        EXPECT_EQ(vorn::core::vector_impl::get_new_vector_capacity(n), expected) << n;
    }
}

// ---------------------------------------------------------------------------------------------
// Arrays without a block

TEST(Empty, EmptyArraysOwnNoBlock) {
    const byte_array with_capacity = [] {
        byte_array a;
        a.reserve(100);
        return a;
    }();
    struct maker {
        const char* name;
        std::function<byte_array()> make_one;
        bool allocates_on_the_way;
    };
    const maker makers[] = {
        {"default", [] { return byte_array(); }, false},
        {"zero copies of a value", [] { return byte_array(0, 0x55); }, false},
        {"zero bytes", [] { return byte_array(std::size_t{0}); }, false},
        {"empty list", [] { return byte_array(std::initializer_list<unsigned char>{}); }, false},
        {"empty C string", [] { return byte_array(""); }, false},
        {"copy of an empty array with capacity 104", [&] { return byte_array(with_capacity); },
         false},
        {"moved-from array",
         [] {
             byte_array source(5, 1);
             byte_array taken(std::move(source));
             return source;
         },
         true},
    };
    for (const auto& [name, make_one, allocates_on_the_way] : makers) {
        byte_array a;
        allocation_counter calls;
        a = make_one();
        const std::size_t allocations = calls.count();
        if (!allocates_on_the_way) {
            EXPECT_EQ(allocations, 0U) << name;
        }
        EXPECT_EQ(a.size(), 0U) << name;
        EXPECT_EQ(a.capacity(), 0U) << name;
        EXPECT_TRUE(a.empty()) << name;
        EXPECT_NE(a.data(), nullptr) << name;
        EXPECT_EQ(a.begin(), a.end()) << name;
        EXPECT_EQ(a.rbegin(), a.rend()) << name;
    }
}

TEST(Empty, OperationsThatAddNothingAllocateNothing) {
    byte_array a;
    allocation_counter calls;
    a.clear();
    a.reserve(0);
    a.resize(0);
    a.assign("");
    a.assign(std::size_t{0}, 1);
    a.append("");
    a.append(std::size_t{0}, 1);
    a.append(a);
    a.push_back(1);
    a.insert(a.begin(), "");
    a.erase(a.begin(), a.end());
    a.push_back(1);
    a.pop_back();  // leaves a block of size 0 behind
    EXPECT_EQ(calls.count(), 1U);
    EXPECT_EQ(a.capacity(), 8U);
}

TEST(Empty, AssigningAnEmptyTextKeepsTheBlock) {
    byte_array a("abc");
    const unsigned char* block = a.data();
    a = "";
    EXPECT_EQ(a.size(), 0U);
    EXPECT_EQ(a.capacity(), 8U);
    EXPECT_EQ(a.data(), block);
}

// ---------------------------------------------------------------------------------------------
// Construction, copies and moves

TEST(Construction, EveryFormHoldsItsBytes) {
    EXPECT_EQ(contents(byte_array(3, 0xAB)), (bytes{0xAB, 0xAB, 0xAB}));
    EXPECT_EQ(contents(byte_array(std::size_t{4})), (bytes{0, 0, 0, 0}));
    EXPECT_EQ(contents(byte_array{1, 2, 255}), (bytes{1, 2, 255}));
    EXPECT_EQ(contents(byte_array("h\xC3\xA9!")), (bytes{'h', 0xC3, 0xA9, '!'}));
    EXPECT_EQ(byte_array("abc").capacity(), 8U);
    EXPECT_EQ(byte_array().max_size(), 18446744073709551591ULL);
    EXPECT_EQ(byte_array(5, 1).max_size(), 18446744073709551591ULL);
}

TEST(Construction, CopiesAreSizedByTheSourceSize) {
    byte_array source(5, 9);
    source.reserve(1000);
    const byte_array copy(source);
    EXPECT_EQ(contents(copy), contents(source));
    EXPECT_EQ(copy.capacity(), 8U);
    EXPECT_NE(copy.data(), source.data());
    source[0] = 1;
    EXPECT_EQ(copy[0], 9) << "copies are independent";

    const byte_array big = make(iota_bytes(1001));
    EXPECT_EQ(byte_array(big).capacity(), 2024U);
}

TEST(Construction, CopyAssignmentReusesALargeEnoughBlock) {
    byte_array target(500, 1);
    const unsigned char* block = target.data();
    const byte_array small{4, 5, 6};
    target = small;
    EXPECT_EQ(contents(target), (bytes{4, 5, 6}));
    EXPECT_EQ(target.capacity(), 1000U);
    EXPECT_EQ(target.data(), block);

    const byte_array& self = target;
    target = self;
    EXPECT_EQ(contents(target), (bytes{4, 5, 6}));

    const byte_array large = make(iota_bytes(1200));
    target = large;
    EXPECT_EQ(contents(target), contents(large));
    EXPECT_EQ(target.capacity(), 2024U);
}

TEST(Construction, MovesTakeTheBlockAndLeaveTheSourceWithout) {
    byte_array source{1, 2, 3};
    const unsigned char* block = source.data();
    byte_array moved(std::move(source));
    EXPECT_EQ(moved.data(), block);
    EXPECT_EQ(source.size(), 0U);      // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(source.capacity(), 0U);  // NOLINT(bugprone-use-after-move)

    byte_array target(100, 7);
    target = std::move(moved);
    EXPECT_EQ(target.data(), block);
    EXPECT_EQ(contents(target), (bytes{1, 2, 3}));
    EXPECT_EQ(moved.size(), 0U);      // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(moved.capacity(), 0U);  // NOLINT(bugprone-use-after-move)

    byte_array other{9};
    target.swap(other);
    EXPECT_EQ(contents(target), (bytes{9}));
    EXPECT_EQ(other.data(), block);
}

// ---------------------------------------------------------------------------------------------
// Modifiers

TEST(Modifiers, InsertAndEraseReturnTheDocumentedPositions) {
    struct row {
        const char* name;
        bytes initial;
        std::function<unsigned char*(byte_array&)> op;
        bytes expected;
        std::ptrdiff_t returned_index;
    };
    const row rows[] = {
        {"list at the front",
         {3, 4},
         [](byte_array& a) {
             return a.insert(a.begin(), {1, 2});
         },
         {1, 2, 3, 4},
         0},
        {"nothing",
         {3, 4},
         [](byte_array& a) { return a.insert(a.begin() + 1, std::size_t{0}, 0x77); },
         {3, 4},
         1},
        {"empty range",
         {3, 4},
         [](byte_array& a) { return a.insert(a.end(), a.begin(), a.begin()); },
         {3, 4},
         2},
        {"copies in the middle",
         {1, 2},
         [](byte_array& a) { return a.insert(a.begin() + 1, 3, 9); },
         {1, 9, 9, 9, 2},
         1},
        {"one byte at the end",
         {1, 2},
         [](byte_array& a) { return a.insert(a.end(), 3); },
         {1, 2, 3},
         2},
        {"C string in the middle",
         {'a', 'd'},
         [](byte_array& a) { return a.insert(a.begin() + 1, "bc"); },
         {'a', 'b', 'c', 'd'},
         1},
        {"pointer and length",
         {'a'},
         [](byte_array& a) { return a.insert(a.begin(), "xyz", 2); },
         {'x', 'y', 'a'},
         0},
        {"character range",
         {'a'},
         [](byte_array& a) {
             const char text[] = "qr";
             return a.insert(a.end(), text, text + 2);
         },
         {'a', 'q', 'r'},
         1},
        {"another array",
         {1, 4},
         [](byte_array& a) {
             return a.insert(a.begin() + 1, byte_array{2, 3});
         },
         {1, 2, 3, 4},
         1},
        {"reversed range inserts nothing",
         {1, 2},
         [](byte_array& a) {
             const unsigned char src[] = {5, 6};
             return a.insert(a.begin(), src + 2, src);
         },
         {1, 2},
         0},
        {"erase a middle range",
         {1, 2, 3, 4},
         [](byte_array& a) { return a.erase(a.begin() + 1, a.begin() + 3); },
         {1, 4},
         1},
        {"erase the first byte",
         {1, 2, 3},
         [](byte_array& a) { return a.erase(a.begin()); },
         {2, 3},
         0},
        {"erase the last byte",
         {1, 2, 3},
         [](byte_array& a) { return a.erase(a.end() - 1); },
         {1, 2},
         2},
        {"erase an empty range",
         {1, 2, 3},
         [](byte_array& a) { return a.erase(a.begin() + 2, a.begin() + 2); },
         {1, 2, 3},
         2},
        {"erase everything",
         {1, 2, 3},
         [](byte_array& a) { return a.erase(a.begin(), a.end()); },
         {},
         0},
    };
    for (const row& r : rows) {
        byte_array a = make(r.initial);
        const std::size_t capacity = a.capacity();
        unsigned char* returned = r.op(a);
        EXPECT_EQ(contents(a), r.expected) << r.name;
        EXPECT_EQ(returned - a.begin(), r.returned_index) << r.name;
        EXPECT_GE(a.capacity(), capacity) << r.name;
    }
}

TEST(Modifiers, AssignAppendAndResize) {
    byte_array a;
    a.assign(3, 0x11);
    EXPECT_EQ(contents(a), (bytes{0x11, 0x11, 0x11}));
    a.assign({1, 2});
    EXPECT_EQ(contents(a), (bytes{1, 2}));
    a.assign("hello", 4);
    EXPECT_EQ(contents(a), (bytes{'h', 'e', 'l', 'l'}));
    const char text[] = "xyz";
    a.assign(text + 1, text + 3);
    EXPECT_EQ(contents(a), (bytes{'y', 'z'}));
    a.assign(byte_array{7});
    EXPECT_EQ(contents(a), (bytes{7}));
    a = {8, 9};
    EXPECT_EQ(contents(a), (bytes{8, 9}));

    a.append(2, 0).append({1}).append("ab").append("cde", 1).append(text, text + 1);
    a.append(byte_array{5});
    EXPECT_EQ(contents(a), (bytes{8, 9, 0, 0, 1, 'a', 'b', 'c', 'x', 5}));

    byte_array b{1, 2, 3, 4, 5};
    b.resize(2);
    EXPECT_EQ(contents(b), (bytes{1, 2}));
    EXPECT_EQ(b.capacity(), 8U);
    b.resize(7, 0xAA);
    EXPECT_EQ(contents(b), (bytes{1, 2, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}));
    b.resize(9);
    EXPECT_EQ(contents(b), (bytes{1, 2, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0, 0}));
    EXPECT_EQ(b.capacity(), 40U);
    b.pop_back();
    EXPECT_EQ(b.size(), 8U);
}

TEST(Access, ElementsIteratorsAndAt) {
    byte_array a{10, 20, 30};
    const byte_array& c = a;
    EXPECT_EQ(a.front(), 10);
    EXPECT_EQ(c.back(), 30);
    EXPECT_EQ(a.at(2), 30);
    EXPECT_EQ(c.at(0), 10);
    a.at(1) = 21;
    a[0] = 11;
    a.back() = 31;
    EXPECT_EQ(bytes(c.rbegin(), c.rend()), (bytes{31, 21, 11}));
    EXPECT_EQ(bytes(a.crbegin(), a.crend()), (bytes{31, 21, 11}));
    EXPECT_EQ(c.cend() - c.cbegin(), 3);
    EXPECT_EQ(c.data(), c.begin());

    const std::pair<std::size_t, std::string> misses[] = {
        {3, "The index 3 is not within the range of byte array (size: 3)"},
        {5, "The index 5 is not within the range of byte array (size: 3)"},
        {size_max,
         "The index 18446744073709551615 is not within the range of byte array "
         "(size: 3)"}};
    for (const auto& [index, text] : misses) {
        try {
            a.at(index);
            ADD_FAILURE() << "no exception for " << index;
        } catch (const std::out_of_range& e) {
            EXPECT_EQ(std::string(e.what()), text);
        }
        try {
            c.at(index);
            ADD_FAILURE() << "no exception for " << index << " (const)";
        } catch (const std::out_of_range& e) {
            EXPECT_EQ(std::string(e.what()), text);
        }
    }
    EXPECT_THROW(byte_array().at(0), std::out_of_range);
}

TEST(Modifiers, UninitialisedAppendAndTruncateForLibraryWriters) {
    byte_array a;
    unsigned char* p = byte_array_access::append_uninitialized(a, 0);
    EXPECT_EQ(p, a.data());
    EXPECT_EQ(a.capacity(), 0U) << "nothing asked, nothing allocated";

    p = byte_array_access::append_uninitialized(a, 3);
    std::memcpy(p, "abc", 3);
    EXPECT_EQ(a.capacity(), 8U);
    p = byte_array_access::append_uninitialized(a, 40);
    EXPECT_EQ(p, a.data() + 3);
    std::memset(p, 'x', 40);
    EXPECT_EQ(a.size(), 43U);
    EXPECT_EQ(a.capacity(), 104U);
    byte_array_access::truncate(a, 5);
    EXPECT_EQ(contents(a), (bytes{'a', 'b', 'c', 'x', 'x'}));
    EXPECT_EQ(a.capacity(), 104U);

    byte_array empty;
    byte_array_access::truncate(empty, 0);
    EXPECT_EQ(empty.capacity(), 0U);
}

// ---------------------------------------------------------------------------------------------
// Sources inside the array itself

TEST(SelfReference, InsertingOrAppendingTheArrayIntoItselfActsOnACopyOfTheSource) {
    // Each row names a sub-range [from, to) of the array and where it goes; the expected
    // result is computed from a copy of the source taken first.
    struct row {
        const char* name;
        std::function<void(byte_array&)> op;
        std::function<void(bytes&)> reference;
    };
    const auto insert_copy = [](bytes& v, std::size_t pos, std::size_t from, std::size_t to) {
        const bytes source(v.begin() + from, v.begin() + to);
        v.insert(v.begin() + pos, source.begin(), source.end());
    };
    const row rows[] = {
        {"append itself", [](byte_array& a) { a.append(a); },
         [&](bytes& v) { insert_copy(v, v.size(), 0, v.size()); }},
        {"append its own range", [](byte_array& a) { a.append(a.begin() + 2, a.end() - 1); },
         [&](bytes& v) { insert_copy(v, v.size(), 2, v.size() - 1); }},
        {"append its own characters",
         [](byte_array& a) { a.append(reinterpret_cast<const char*>(a.data()) + 1, 3); },
         [&](bytes& v) { insert_copy(v, v.size(), 1, 4); }},
        {"append its own character range",
         [](byte_array& a) {
             const char* s = reinterpret_cast<const char*>(a.data());
             a.append(s, s + 5);
         },
         [&](bytes& v) { insert_copy(v, v.size(), 0, 5); }},
        {"insert its tail at the front",
         [](byte_array& a) { a.insert(a.begin(), a.begin() + 1, a.end()); },
         [&](bytes& v) { insert_copy(v, 0, 1, v.size()); }},
        {"insert itself in the middle", [](byte_array& a) { a.insert(a.begin() + 3, a); },
         [&](bytes& v) { insert_copy(v, 3, 0, v.size()); }},
        {"insert a range straddling the position",
         [](byte_array& a) { a.insert(a.begin() + 3, a.begin() + 1, a.begin() + 6); },
         [&](bytes& v) { insert_copy(v, 3, 1, 6); }},
        {"insert a range ending at the position",
         [](byte_array& a) { a.insert(a.begin() + 4, a.begin() + 1, a.begin() + 4); },
         [&](bytes& v) { insert_copy(v, 4, 1, 4); }},
        {"insert a range starting at the position",
         [](byte_array& a) { a.insert(a.begin() + 2, a.begin() + 2, a.begin() + 7); },
         [&](bytes& v) { insert_copy(v, 2, 2, 7); }},
        {"insert its head at the end",
         [](byte_array& a) { a.insert(a.end(), a.begin(), a.begin() + 2); },
         [&](bytes& v) { insert_copy(v, v.size(), 0, 2); }},
        {"insert its own characters",
         [](byte_array& a) {
             a.insert(a.begin() + 1, reinterpret_cast<const char*>(a.data()) + 5, 3);
         },
         [&](bytes& v) { insert_copy(v, 1, 5, 8); }},
        {"assign its own tail", [](byte_array& a) { a.assign(a.begin() + 3, a.end()); },
         [](bytes& v) { v.erase(v.begin(), v.begin() + 3); }},
        {"assign itself", [](byte_array& a) { a.assign(a); }, [](bytes&) {}},
    };
    // With spare capacity the bytes stay in place; with a full block (8 of 8, 1000 of 1000)
    // the growth may move them before the source is read.
    for (const std::size_t initial_size : {8, 1000}) {
        for (const bool spare : {true, false}) {
            for (const row& r : rows) {
                bytes expected = iota_bytes(initial_size);
                byte_array a = make(expected);
                if (spare) {
                    a.reserve(4 * initial_size);
                }
                ASSERT_EQ(a.capacity() == initial_size, !spare);
                r.op(a);
                r.reference(expected);
                EXPECT_EQ(contents(a), expected)
                    << r.name << ", size " << initial_size << (spare ? ", spare" : ", full");
            }
        }
    }
}

TEST(SelfReference, AppendingAnEmbeddedCString) {
    byte_array a{'x', 'y', 0, 'z'};
    a.append(reinterpret_cast<const char*>(a.data()));
    EXPECT_EQ(contents(a), (bytes{'x', 'y', 0, 'z', 'x', 'y'}));
    byte_array b{'p', 'q', 0};
    b.insert(b.begin(), reinterpret_cast<const char*>(b.data()));
    EXPECT_EQ(contents(b), (bytes{'p', 'q', 'p', 'q', 0}));
}

// ---------------------------------------------------------------------------------------------
// Length errors and the damaged header

TEST(Failures, OversizedRequestsThrowTheLengthErrorOfTheirStep) {
    struct row {
        const char* name;
        bool with_block;
        std::function<void(byte_array&)> op;
        const char* text;
    };
    const row rows[] = {
        {"reserve past max_size, no block", false, [](byte_array& a) { a.reserve(size_max - 23); },
         allocate_error},
        {"reserve past max_size", true, [](byte_array& a) { a.reserve(size_max - 23); },
         reallocate_error},
        {"reserve 2^64 - 1", true, [](byte_array& a) { a.reserve(size_max); }, reallocate_error},
        {"assign copies, no block", false, [](byte_array& a) { a.assign(size_max, 1); },
         allocate_error},
        {"assign copies", true, [](byte_array& a) { a.assign(size_max - 23, 1); },
         reallocate_error},
        {"assign pointer and length", true, [](byte_array& a) { a.assign("x", size_max); },
         reallocate_error},
        {"resize up, no block", false, [](byte_array& a) { a.resize(size_max); }, allocate_error},
        {"resize up", true, [](byte_array& a) { a.resize(size_max); }, reallocate_error},
        {"append to exactly 2^64 - 1", true, [](byte_array& a) { a.append(size_max - 3, 0); },
         reallocate_error},
        {"append copies, no block", false, [](byte_array& a) { a.append(size_max, 0); },
         allocate_error},
        {"append copies past 2^64 - 1", true, [](byte_array& a) { a.append(size_max - 2, 0); },
         grow_error},
        {"append pointer and length past 2^64 - 1", true,
         [](byte_array& a) { a.append("x", size_max); }, grow_error},
        {"insert copies past 2^64 - 1", true,
         [](byte_array& a) { a.insert(a.begin() + 1, size_max, 0); }, grow_error},
        {"uninitialised append past 2^64 - 1", true,
         [](byte_array& a) { byte_array_access::append_uninitialized(a, size_max - 2); },
         grow_error},
        {"uninitialised append to exactly 2^64 - 1", true,
         [](byte_array& a) { byte_array_access::append_uninitialized(a, size_max - 3); },
         reallocate_error},
        {"uninitialised append, no block", false,
         [](byte_array& a) { byte_array_access::append_uninitialized(a, size_max); },
         allocate_error},
        {"insert pointer and length past 2^64 - 1", true,
         [](byte_array& a) { a.insert(a.begin(), "x", size_max - 1); }, grow_error},
    };
    for (const row& r : rows) {
        byte_array a = r.with_block ? byte_array{1, 2, 3} : byte_array();
        const snapshot before(a);
        try {
            r.op(a);
            ADD_FAILURE() << r.name << ": no exception";
        } catch (const std::length_error& e) {
            EXPECT_STREQ(e.what(), r.text) << r.name;
        }
        EXPECT_EQ(snapshot(a), before) << r.name;
    }
    try {
        byte_array a(size_max);
        ADD_FAILURE() << "no exception for a 2^64 - 1 byte construction";
    } catch (const std::length_error& e) {
        EXPECT_STREQ(e.what(), allocate_error);
    }
}

TEST(Failures, TheLargestLegalSizeReachesTheAllocator) {
    // 2^64 - 25 bytes pass the size checks; the allocator then refuses 2^64 - 1 bytes.
    for (const bool with_block : {false, true}) {
        byte_array a = with_block ? byte_array{1, 2, 3} : byte_array();
        const snapshot before(a);
        EXPECT_THROW(a.reserve(a.max_size()), std::bad_alloc) << with_block;
        EXPECT_EQ(snapshot(a), before) << with_block;
    }
}

TEST(Failures, ADamagedHeaderIsReportedBeforeItIsTrusted) {
    for (const std::uint64_t damaged : {std::uint64_t{0}, std::uint64_t{23}, std::uint64_t{25},
                                        std::uint64_t{48}, ~std::uint64_t{0}}) {
        const std::vector<std::pair<const char*, std::function<void(byte_array&)>>> ops = {
            {"reserve within capacity", [](byte_array& a) { a.reserve(1); }},
            {"reserve beyond capacity", [](byte_array& a) { a.reserve(5000); }},
            {"clear", [](byte_array& a) { a.clear(); }},
            {"resize down", [](byte_array& a) { a.resize(1); }},
            {"assign", [](byte_array& a) { a.assign(3, 0); }},
            {"push_back into a full block", [](byte_array& a) { a.push_back(0); }},
            {"append beyond capacity", [](byte_array& a) { a.append(100, 0); }},
        };
        for (const auto& [name, op] : ops) {
            byte_array a = make(iota_bytes(8));
            vorn::core::detail::byte_array_impl* header = byte_array_access::header(a);
            header->data_offset_ = damaged;
            const snapshot before(a);
            try {
                op(a);
                ADD_FAILURE() << name << ": no exception for offset " << damaged;
            } catch (const std::logic_error& e) {
                EXPECT_STREQ(e.what(), corrupt_header_error) << name;
            }
            EXPECT_EQ(snapshot(a), before) << name;
            EXPECT_EQ(byte_array_access::header(a), header) << name;
            header->data_offset_ = 24;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Allocation failure

TEST(OutOfMemory, EveryGrowingOperationKeepsTheArrayAsItWas) {
    // Every operation needs a block, or a larger one than the 8-of-8 bytes the full array has.
    const byte_array nine = make(iota_bytes(9, 100));
    const char* const nine_chars = "abcdefghi";
    const unsigned char nine_bytes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    struct row {
        const char* name;
        std::function<void(byte_array&)> op;
        bool grows_an_empty_array;
    };
    const row rows[] = {
        {"push_back", [](byte_array& a) { a.push_back(1); }, true},
        {"append copies", [](byte_array& a) { a.append(1, 1); }, true},
        {"append array", [&](byte_array& a) { a.append(nine); }, true},
        {"append list", [](byte_array& a) { a.append({1}); }, true},
        {"append byte range", [&](byte_array& a) { a.append(nine_bytes, nine_bytes + 1); }, true},
        {"append character range", [&](byte_array& a) { a.append(nine_chars, nine_chars + 1); },
         true},
        {"append pointer and length", [&](byte_array& a) { a.append(nine_chars, 1); }, true},
        {"append C string", [&](byte_array& a) { a.append(nine_chars); }, true},
        {"append itself", [](byte_array& a) { a.append(a); }, false},
        {"insert copies", [](byte_array& a) { a.insert(a.begin() + a.size() / 2, 2, 1); }, true},
        {"insert one", [](byte_array& a) { a.insert(a.begin(), 1); }, true},
        {"insert byte range",
         [&](byte_array& a) {
             a.insert(a.begin() + (a.empty() ? 0 : 1), nine_bytes, nine_bytes + 2);
         },
         true},
        {"insert array", [&](byte_array& a) { a.insert(a.end(), nine); }, true},
        {"insert list",
         [](byte_array& a) {
             a.insert(a.begin(), {1, 2});
         },
         true},
        {"insert character range",
         [&](byte_array& a) { a.insert(a.begin(), nine_chars, nine_chars + 3); }, true},
        {"insert pointer and length", [&](byte_array& a) { a.insert(a.end(), nine_chars, 3); },
         true},
        {"insert C string", [&](byte_array& a) { a.insert(a.begin(), nine_chars); }, true},
        {"insert its own bytes", [](byte_array& a) { a.insert(a.begin() + 2, a.begin(), a.end()); },
         false},
        {"uninitialised append",
         [](byte_array& a) { byte_array_access::append_uninitialized(a, 1); }, true},
        {"resize", [](byte_array& a) { a.resize(9); }, true},
        {"resize with a value", [](byte_array& a) { a.resize(20, 3); }, true},
        {"reserve", [](byte_array& a) { a.reserve(9); }, true},
        {"assign copies", [](byte_array& a) { a.assign(9, 1); }, true},
        {"assign byte range", [&](byte_array& a) { a.assign(nine_bytes, nine_bytes + 9); }, true},
        {"assign array", [&](byte_array& a) { a.assign(nine); }, true},
        {"assign list",
         [](byte_array& a) {
             a.assign({1, 2, 3, 4, 5, 6, 7, 8, 9});
         },
         true},
        {"assign character range", [&](byte_array& a) { a.assign(nine_chars, nine_chars + 9); },
         true},
        {"assign pointer and length", [&](byte_array& a) { a.assign(nine_chars, 9); }, true},
        {"assign C string", [&](byte_array& a) { a.assign(nine_chars); }, true},
        {"copy assignment", [&](byte_array& a) { a = nine; }, true},
        {"list assignment", [](byte_array& a) { a = {1, 2, 3, 4, 5, 6, 7, 8, 9}; }, true},
        {"C string assignment", [&](byte_array& a) { a = nine_chars; }, true},
    };
    for (const bool with_block : {false, true}) {
        for (const row& r : rows) {
            if (!with_block && !r.grows_an_empty_array) {
                continue;
            }
            byte_array a = with_block ? make(iota_bytes(8)) : byte_array();
            ASSERT_EQ(a.capacity(), with_block ? 8U : 0U);
            const snapshot before(a);
            {
                allocation_failure_scope failing;
                EXPECT_THROW(r.op(a), std::bad_alloc) << r.name << (with_block ? "" : ", no block");
            }
            EXPECT_EQ(snapshot(a), before) << r.name << (with_block ? "" : ", no block");
            r.op(a);  // and it works once memory is back
            EXPECT_GT(a.capacity(), 8U * with_block) << r.name;
        }
    }
}

TEST(OutOfMemory, ConstructorsThrowAndLeaveNothingBehind) {
    const byte_array source{1, 2, 3};
    allocation_failure_scope failing;
    EXPECT_THROW(byte_array(3, 1), std::bad_alloc);
    EXPECT_THROW(byte_array(std::size_t{3}), std::bad_alloc);
    EXPECT_THROW((byte_array{1, 2}), std::bad_alloc);
    EXPECT_THROW(byte_array("abc"), std::bad_alloc);
    EXPECT_THROW(byte_array{source}, std::bad_alloc);
}

TEST(OutOfMemory, OperationsThatNeedNoRoomStillWork) {
    byte_array a = make(iota_bytes(8));
    byte_array other{1, 2};
    const byte_array empty_with_block = [] {
        byte_array e;
        e.reserve(50);
        return e;
    }();
    std::size_t copy_capacity = 1;
    {
        allocation_failure_scope failing;
        a.erase(a.begin(), a.begin() + 2);
        a.pop_back();
        a.resize(4);
        a.push_back(9);
        a.append({8, 7});
        a.insert(a.begin(), 6);
        a.assign(a.begin() + 1, a.end());
        other.swap(a);
        a = other;
        a.reserve(8);
        other.clear();
        other = std::move(a);
        copy_capacity = byte_array(empty_with_block).capacity();
    }
    EXPECT_EQ(contents(other), (bytes{3, 4, 5, 6, 9, 8, 7}));
    EXPECT_EQ(other.capacity(), 8U);
    EXPECT_EQ(a.capacity(), 0U);
    EXPECT_EQ(copy_capacity, 0U);
}

// ---------------------------------------------------------------------------------------------
// Against std::vector

TEST(Model, RandomOperationsAgreeWithStdVector) {
    std::mt19937_64 rng(20240611);
    const auto below = [&](std::size_t n) {
        return n == 0 ? 0 : static_cast<std::size_t>(rng() % n);
    };
    byte_array a;
    bytes model;
    const bytes external = iota_bytes(3000, 7);
    std::size_t largest = 0;
    for (int step = 0; step < 20000; ++step) {
        const std::size_t capacity = a.capacity();
        const std::size_t pos = below(model.size() + 1);
        const std::size_t n = rng() % 8 == 0 ? below(1500) : below(20);
        const auto value = static_cast<unsigned char>(rng());
        const int op = static_cast<int>(below(11));
        std::size_t from = below(model.size() + 1);
        std::size_t to = from + below(model.size() - from + 1);
        switch (op) {
            case 0:
                a.push_back(value);
                model.push_back(value);
                break;
            case 1:
                a.append(external.data(), external.data() + n);
                model.insert(model.end(), external.begin(), external.begin() + n);
                break;
            case 2:
                a.insert(a.begin() + pos, n, value);
                model.insert(model.begin() + pos, n, value);
                break;
            case 3: {
                a.insert(a.begin() + pos, a.begin() + from, a.begin() + to);
                const bytes source(model.begin() + from, model.begin() + to);
                model.insert(model.begin() + pos, source.begin(), source.end());
                break;
            }
            case 4:
                a.erase(a.begin() + from, a.begin() + to);
                model.erase(model.begin() + from, model.begin() + to);
                break;
            case 5:
                a.resize(pos + n, value);
                model.resize(pos + n, value);
                break;
            case 6:
                a.assign(a.begin() + from, a.begin() + to);
                model = bytes(model.begin() + from, model.begin() + to);
                break;
            case 7:
                if (!model.empty()) {
                    a.pop_back();
                    model.pop_back();
                }
                break;
            case 8:
                a.reserve(n);
                break;
            case 9:
                if (model.size() > 20000) {
                    a.clear();
                    model.clear();
                } else {
                    a.append(a);
                    model.insert(model.end(), model.begin(), model.end());
                }
                break;
            default: {
                byte_array copy(a);
                ASSERT_EQ(contents(copy), model) << "copy at step " << step;
                ASSERT_LE(copy.capacity(), a.capacity());
                a = std::move(copy);
                a.reserve(capacity);
                break;
            }
        }
        ASSERT_EQ(a.size(), model.size()) << "step " << step << ", operation " << op;
        ASSERT_TRUE(std::equal(model.begin(), model.end(), a.begin()))
            << "step " << step << ", operation " << op;
        ASSERT_GE(a.capacity(), capacity) << "step " << step << ", operation " << op;
        ASSERT_GE(a.capacity(), a.size());
        largest = std::max(largest, model.size());
    }
    EXPECT_GT(largest, 10000U) << "the walk should reach the 1 KiB growth steps";
}

namespace {

// Comparisons order like std::vector<unsigned char> (bytes as unsigned), against arrays and
// against text; the pointer-and-length constructors, view() and std::hash agree.
TEST(Comparison, AgreesWithStdVectorAndText) {
    const std::vector<std::string> texts = {
        "", "a", "ab", "abc", "abd", "b", std::string("a\0", 2), "\x7f", "\x80", "\xff"};
    for (const std::string& x : texts) {
        const vorn::core::v2::byte_array a(x.data(), x.size());
        const std::vector<unsigned char> va(x.begin(), x.end());
        EXPECT_EQ(a.view(), x);
        EXPECT_EQ(std::hash<vorn::core::v2::byte_array>()(a), std::hash<std::string_view>()(x));
        for (const std::string& y : texts) {
            const vorn::core::v2::byte_array b(reinterpret_cast<const unsigned char*>(y.data()),
                                               y.size());
            const std::vector<unsigned char> vb(y.begin(), y.end());
            const std::string_view ty = y;
            EXPECT_EQ(a == b, va == vb);
            EXPECT_EQ(a != b, va != vb);
            EXPECT_EQ(a < b, va < vb) << x << ' ' << y;
            EXPECT_EQ(a <= b, va <= vb);
            EXPECT_EQ(a > b, va > vb);
            EXPECT_EQ(a >= b, va >= vb);
            EXPECT_EQ(a == ty, va == vb);
            EXPECT_EQ(ty != a, va != vb);
            EXPECT_EQ(a < y, va < vb);
            EXPECT_EQ(ty <= a, vb <= va);
            EXPECT_EQ(a > ty, va > vb);
            EXPECT_EQ(y >= a, vb >= va);
        }
    }
    // Literals compare as their characters; the count-and-value constructor keeps its meaning.
    const vorn::core::v2::byte_array abc("abc");
    EXPECT_TRUE(abc == "abc" && "abd" > abc && abc != "ab");
    EXPECT_EQ(vorn::core::v2::byte_array(0, 5).size(), 0u);
    EXPECT_EQ(vorn::core::v2::byte_array(3, 'x'), "xxx");
    EXPECT_EQ(vorn::core::v2::byte_array(static_cast<const char*>(nullptr), 0).capacity(), 0u);
}

}  // namespace
