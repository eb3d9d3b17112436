// Every public operation under real allocation failure.
//
// Each scenario runs in a fresh child process (so every lazily built static is first used
// there): once to count the allocations its operation makes, then again failing the k-th of
// them, and failing every one from the k-th on, for every k (sampled past a bound). Each run
// must end normally, report only the documented failure (std::bad_alloc, or nothing at all
// for operations that never throw), keep the strong guarantee where the header promises it,
// and leave no block allocated that it did not leave without failures.
//
// Nothing in this program's own process touches the library before forking, so that the
// children see every static unbuilt.
#include <gtest/gtest.h>

#include <pthread.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>

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
    std::size_t k = 0;
    bool and_after = false;
    std::size_t armed_at = 0;
    std::size_t made = 0;
};
sweep_run current;

void arm() noexcept {
    current.armed_at = vorn::test::allocation_count();
    if (!current.counting) {
        vorn::test::fail_allocation_after(current.k, current.and_after);
    }
}

void disarm() noexcept {
    vorn::test::stop_failing_allocations();
    const std::size_t made = vorn::test::allocation_count() - current.armed_at;
    current.made = made > current.made ? made : current.made;  // the largest armed section
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

// Same size, capacity and bytes: what "left as it was" means for a byte_array.
bool equal(const vc::byte_array& a, const vc::byte_array& b) {
    return a.size() == b.size() && a.capacity() == b.capacity() &&
           (a.size() == 0 || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

// Runs `op` armed; on std::bad_alloc checks that `value` still equals its former self (the
// strong guarantee) and is still usable, then lets the exception go on.
template <class T, class Op>
void strong(T& value, Op op) {
    const T before = value;
    arm();
    try {
        op();
    } catch (const std::bad_alloc&) {
        disarm();
        require(equal(value, before), "strong guarantee: value changed");
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

const scenario scenarios[] = {
    // status
    {"result", "push integral_conversion_error", true,
     [] {
         stack s;
         armed([&] { s.push(vc::integral_conversion_error::overflow, long_text); });
         require(s.get_value() == 1 && s.size() == 1, "pushed item");
     }},
    {"result", "push error_datetime", true,
     [] {
         stack s;
         armed([&] { s.push(vc::error_datetime::invalid_format, long_text); });
         require(
             s.get_value() == 1 && s.get_argument_range().begin() != s.get_argument_range().end(),
             "arguments");
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
         stack s;
         for (int i = 0; i < 3; ++i) {
             s.push(vc::integral_conversion_error::invalid_value, long_text);
         }
         armed([&] { stack copy(s); });
     }},
    {"result", "copy assignment", false,
     [] {
         stack s, t;
         s.push(vc::integral_conversion_error::overflow, long_text);
         t.push(vc::error_datetime::invalid_format, long_text);
         try {
             armed([&] { t = s; });
         } catch (const std::bad_alloc&) {
             require(t.get_category() == vc::error_datetime::instance() && t.size() == 1,
                     "assignment target unchanged");
             throw;
         }
     }},
    {"result", "empty stack's argument range", true,
     [] {
         stack s;
         armed([&] { s.get_argument_range().set_argument("a", long_text); });
         require(s.get_argument_range().begin() == s.get_argument_range().end(), "emptied");
     }},
    {"result", "get_message of every library category", false,
     [] {
         stack s;
         s.push(vc::error_datetime::invalid_format, long_text);
         armed([&] { require(std::strlen(s.get_message()) > 0, "message"); });
     }},
    // error
    {"error", "construct, copy, assign, message", false,
     [] {
         vc::error e;
         armed([&] {
             vc::error made = disk_full{};
             vc::error copy(made);
             e = copy;
             require(e.get_message() == std::string(40, 'd'), "message");
         });
     }},
    // byte_array
    {"byte_array", "append", false,
     [] {
         vc::byte_array a("abc");
         strong(a, [&] { a.append(long_text.data(), long_text.size()); });
     }},
    {"byte_array", "insert in the middle, from itself", false,
     [] {
         vc::byte_array a("abcdef");
         strong(a, [&] { a.insert(a.begin() + 2, a.begin(), a.end()); });
         require(same(a, "ababcdefcdef"), "insert result");
     }},
    {"byte_array", "assign, resize, reserve, copy", false,
     [] {
         vc::byte_array a("xyz");
         strong(a, [&] { a.assign(long_text.c_str()); });
         strong(a, [&] { a.resize(5000, 7); });
         strong(a, [&] { a.reserve(9000); });
         vc::byte_array b;
         strong(b, [&] { b = a; });
     }},
    // binary encodings
    {"binary_encoding", "one-shot encode and decode", false,
     [] {
         armed([] {
             for (auto e : {vc::binary_encoding::base64, vc::binary_encoding::hex}) {
                 const std::string text = vc::binary_encoder::encode(
                     e, reinterpret_cast<const unsigned char*>(long_text.data()), long_text.size());
                 require(vc::binary_decoder::decode(e, text).size() == long_text.size(),
                         "round trip");
             }
         });
     }},
    {"binary_encoding", "streamed encoder and decoder, copies", false,
     [] {
         vc::binary_encoder enc(vc::binary_encoding::base64);
         vc::binary_decoder dec(vc::binary_encoding::base64);
         armed([&] {
             for (std::size_t i = 0; i < long_text.size(); i += 37) {
                 enc.add_data(reinterpret_cast<const unsigned char*>(long_text.data()) + i,
                              std::min<std::size_t>(37, long_text.size() - i));
             }
             const std::string text = enc.finish();
             dec.add_string(text.substr(0, 101));
             dec.add_string(text.substr(101));
             vc::binary_decoder copy(dec);
             require(copy.finish().size() == long_text.size(), "streamed round trip");
             vc::binary_encoder other(vc::binary_encoding::hex);
             other = enc;
         });
     }},
    // calendar: converters never allocate
    {"datetime", "converters write and read", true,
     [] {
         armed([] {
             vc::datetime when;
             const char text[] = "2024-03-10T12:34:56.789-03:00";
             require(vc::value_converter<vc::datetime>().make_value(when, text, sizeof text - 1) ==
                         vc::converter_status::success,
                     "read");
             char out[40];
             std::size_t length = sizeof out;
             vc::chars_converter<vc::datetime>().make_chars(out, length, when);
             vc::date d;
             vc::value_converter<vc::date>().make_value(d, "2024-02-30", 10);
             vc::time t;
             vc::value_converter<vc::time>().make_value(t, "25:61:61", 8);
             length = sizeof out;
             vc::chars_converter<vc::date>().make_chars(out, length, d);
             length = sizeof out;
             vc::chars_converter<vc::time>().make_chars(out, length, t);
         });
     }},
    // numbers and text
    {"decimal", "sum and to_string at a large precision", false,
     [] {
         vc::decimal a(1990, -2), b(15, -1);
         armed([&] {
             vc::decimal c = a + b;
             require(c.to_string(200, ',').size() > 200, "text");
         });
     }},
    {"text_formatter", "parse, query, bind, make_string", false,
     [] {
         armed([] {
             vc::text_formatter f =
                 vc::text_formatter::parser("Olá {0}, total {1: BRL}, {0} e {2}.");
             require(f.get_arguments().size() == 4, "placeholders");
             f.bind(0, long_text).bind(1, 42).replace_arg_escape_impl("{2}", "x");
             require(f.has_arg_escape(1) && f.has_arg_args(1), "queries");
             require(f.make_string().size() > 600, "text");
         });
     }},
    {"text_formatter", "copy assignment", false,
     [] {
         vc::text_formatter f = vc::text_formatter::parser(long_text + "{0}{1}");
         vc::text_formatter g = vc::text_formatter::parser("{3}");
         g.bind(3, "kept");
         try {
             armed([&] { g = f; });
         } catch (const std::bad_alloc&) {
             require(g.make_string() == "kept", "assignment target unchanged");
             throw;
         }
     }},
    {"stopwatch", "start and split", false,
     [] {
         vc::stopwatch w;
         armed([&] {
             w.start();
             require(w.split() >= 0, "split");
         });
     }},
};

// Sweeps every k below this bound, then every (count / sampled)-th: the runs stay fast even
// where a scenario makes thousands of allocations.
constexpr std::size_t exhaustive_bound = 200;
constexpr std::size_t sampled = 50;

enum class ending { normal, bad_alloc };

// Runs the scenario in a child; returns the allocations it made, or fails the test.
// `first_use` is what the counting run left allocated: blocks of statics built on first use
// (the C library's exit-handler list growing, say), which a failing run may leave too.
std::size_t run_once(const scenario& s, bool counting, std::size_t k, bool and_after, ending* seen,
                     long* first_use) {
    const auto outcome = run_in_child([&] {
        current = sweep_run{counting, k, and_after, 0, 0};
        const std::ptrdiff_t live = vorn::test::live_blocks();
        char result = 'n';
        try {
            s.body();
        } catch (const std::bad_alloc&) {
            result = 'b';
        } catch (...) {
            fail("an exception other than std::bad_alloc");
        }
        vorn::test::stop_failing_allocations();
        const std::ptrdiff_t left = vorn::test::live_blocks() - live;
        if (counting) {
            // A second run sees every static built: it must leave nothing behind.
            const std::ptrdiff_t warm = vorn::test::live_blocks();
            s.body();
            require(vorn::test::live_blocks() == warm, "blocks left without any failure");
        }
        std::fprintf(stderr, "%c %zu %td\n", result, current.made, left);
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
