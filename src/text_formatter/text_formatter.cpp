// SPDX-License-Identifier: MIT
// The text formatter: placeholders found once by the parser, bindings kept in one arena, and
// the text assembled in one pass into a result of the exact length.
//
// This file is compiled as C++23 so that std::string::resize_and_overwrite (libstdc++ 12
// offers it to C++23 code alone) can size the result without filling it first; the string's
// layout and ABI do not depend on the language mode.
#include "vorn/core/text_formatter.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/copy_bytes.hpp"
#include "text_formatter/inline_or_heap.hpp"
#include "text_formatter/placeholder_scanner.hpp"

namespace vorn::core {

static_assert(sizeof(string_view) == 16 && alignof(string_view) == 8,
              "a text view is a pointer and a 64-bit length");

namespace v2 {

static_assert(sizeof(text_formatter) == sizeof(void*), "a text_formatter is one owned pointer");

struct argument::block {
    std::string name;
    std::string params;
    std::string full_arg;
    std::size_t begin = 0;
    std::size_t end = 0;
};

namespace {

using detail::copy_bytes;
using detail::heap_block;
using detail::inline_or_heap;
using detail::uninitialised;

static_assert(sizeof(unsigned long) == sizeof(std::size_t), "offsets are pointer-sized");

// Standard string hashing, usable with views so that lookups need no key string.
struct text_hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept {
        return std::hash<std::string_view>{}(text);
    }
};

// Whether the `size` bytes at a and b are equal; placeholder texts are short, and a plain loop
// beats a call for them.
bool same_bytes(const char* a, const char* b, std::size_t size) noexcept {
    // bench/text_bench.cpp: formatter_vorn_by_text
    if (size > 16) {
        return std::memcmp(a, b, size) == 0;
    }
    for (std::size_t i = 0; i < size; ++i) {
        if (a[i] != b[i]) {
            return false;
        }
    }
    return true;
}

// The value of the digits [digits, digits + size) when they are the decimal form of an
// unsigned long without leading zeros; false otherwise.
bool canonical_number(const char* digits, std::size_t size, unsigned long& value) noexcept {
    constexpr char largest[] = "18446744073709551615";
    constexpr std::size_t largest_size = sizeof largest - 1;
    static_assert(sizeof(unsigned long) == 8, "the largest number has twenty digits");
    if (size > largest_size || (size > 1 && digits[0] == '0') ||
        (size == largest_size && std::memcmp(digits, largest, size) > 0)) {
        return false;
    }
    unsigned long n = 0;
    for (std::size_t i = 0; i < size; ++i) {
        n = n * 10 + static_cast<unsigned long>(digits[i] - '0');
    }
    value = n;
    return true;
}

}  // namespace

// Placeholders of the same text share one binding, a "slot", kept by the first placeholder of
// that text, its "opener". Each opener whose digits are a number links to the next opener of
// the same number, so that binding by number visits each slot once. Texts with few placeholders
// are searched by a scan; larger ones through hash indexes built by the parser, which keep every
// lookup constant.
// bench/text_bench.cpp: formatter_vorn_bind
constexpr std::size_t scan_limit = 16;
constexpr std::size_t none = static_cast<std::size_t>(-1);

// What a typical message needs lives inside the state block itself: so many placeholders, and
// so many bytes shared by the text copy and then the bindings. Larger ones go to the heap.
constexpr std::size_t inline_records = 8;
constexpr std::size_t inline_chars = 192;
// The smallest heap block for bindings.
constexpr std::size_t least_arena = 256;

struct record : detail::placeholder {
    std::size_t opener;      // the first placeholder with the same text (this one for openers)
    std::size_t next_named;  // openers: the next opener of the same number, or none
    unsigned long number;    // the digits' value, when `numbered`
    bool numbered;           // the digits are a number without leading zeros
    // Openers: the binding, `length` bytes at `offset` in the arena, in place for rebindings
    // of up to `capacity` bytes. Unbound is empty, which is what an unbound placeholder becomes.
    std::size_t offset;
    std::size_t length;
    std::size_t capacity;
};

using text_index = std::unordered_map<std::string_view, std::size_t, text_hash, std::equal_to<>>;

// Views into the state's text, present only beyond scan_limit placeholders: the opener of each
// placeholder text, and the first placeholder of each number.
struct hash_indexes {
    text_index by_text;
    std::unordered_map<unsigned long, std::size_t> by_number;
};

// Bindings of texts that are no placeholder of this text: kept, never used.
using unused_bindings = std::unordered_map<std::string, std::string, text_hash, std::equal_to<>>;

// One heap block holds the whole state of a typical message. The text copy, the placeholder
// records and the bindings each move to a heap block of their own when they outgrow it. The
// bindings share one arena: a rebinding that fits overwrites its slot's bytes, a longer one is
// appended and leaves the old bytes dead; the arena is compacted when it must grow and the dead
// bytes outweigh the live ones and the records (each byte dies once, so compaction costs at
// most what was bound), and doubles otherwise.
struct text_formatter::state {
    // The text lies at the start of own_chars when it fits there, and the arena then takes the
    // rest of them; a text too long for them leaves them all to the arena.
    inline_or_heap<char> text{own_chars, inline_chars};
    inline_or_heap<record> records{own_records, inline_records};
    inline_or_heap<char> arena{own_chars, inline_chars};
    std::size_t text_size = 0;
    std::size_t count = 0;
    std::size_t arena_used = 0;  // bytes in use at the start of the arena, dead ones included
    std::size_t arena_dead = 0;
    std::unique_ptr<hash_indexes> hashed;
    std::unique_ptr<unused_bindings> unused;
    record own_records[inline_records];
    char own_chars[inline_chars];

    // User-provided, so that no form of initialisation zeroes the buffers first.
    state() noexcept {}

    // The hash indexes view this object's own text, so a copy builds its own; bindings are
    // copied compacted.
    state(const state& other) : state() {
        set_text(other.text.data(), other.text_size);
        reserve_records(other.count);
        std::memcpy(records.data(), other.records.data(), other.count * sizeof(record));
        count = other.count;
        const std::size_t live = live_bytes();
        if (live > arena.capacity()) {
            arena.adopt(uninitialised<char>(live), live);
        }
        arena_used = compact_bindings(other.arena.data(), arena.data());
        if (other.unused) {
            unused = std::make_unique<unused_bindings>(*other.unused);
        }
        if (count > scan_limit) {
            index_by_hash();
        }
    }
    state& operator=(const state&) = delete;

    // Empty text, no placeholders, no bindings; every heap block released.
    void reset() noexcept {
        text.lend(own_chars, inline_chars);
        text_size = 0;
        records.lend(own_records, inline_records);
        count = 0;
        arena.lend(own_chars, inline_chars);
        arena_used = 0;
        arena_dead = 0;
        hashed.reset();
        unused.reset();
    }

    // Copies the text into an empty state: beside the bindings when it leaves them room.
    void set_text(const char* from, std::size_t size) {
        if (size > inline_chars) {
            text.adopt(uninitialised<char>(size), size);
        } else {
            arena.lend(own_chars + size, inline_chars - size);
        }
        copy_bytes(text.data(), from, size);
        text_size = size;
    }

    void reserve_records(std::size_t wanted) {
        if (wanted > records.capacity()) {
            records.grow(wanted, count);
        }
    }

    void add_record(const detail::placeholder& found) {
        if (count == records.capacity()) {
            records.grow(2 * records.capacity(), count);
        }
        record& r = records[count];
        r.begin = found.begin;
        r.end = found.end;
        r.name_length = found.name_length;
        r.opener = count;
        r.next_named = none;
        r.numbered = canonical_number(text.data() + found.begin + 1, found.name_length, r.number);
        r.offset = 0;
        r.length = 0;
        r.capacity = 0;
        ++count;
    }

    std::string_view full_arg(const detail::placeholder& p) const noexcept {
        return std::string_view(text.data() + p.begin, p.end - p.begin);
    }

    bool same_text(const record& a, const record& b) const noexcept {
        return a.end - a.begin == b.end - b.begin &&
               same_bytes(text.data() + a.begin, text.data() + b.begin, a.end - a.begin);
    }

    // The opener of the placeholders whose text is `key`, or none.
    std::size_t opener_of_text(std::string_view key) const noexcept {
        if (hashed) {
            const auto found = hashed->by_text.find(key);
            return found == hashed->by_text.end() ? none : found->second;
        }
        for (std::size_t i = 0; i < count; ++i) {
            const record& r = records[i];
            if (r.opener == i && r.end - r.begin == key.size() &&
                same_bytes(text.data() + r.begin, key.data(), key.size())) {
                return i;
            }
        }
        return none;
    }

    // The first placeholder (always an opener) numbered n, or none.
    std::size_t first_numbered(unsigned long n) const noexcept {
        if (hashed) {
            const auto found = hashed->by_number.find(n);
            return found == hashed->by_number.end() ? none : found->second;
        }
        for (std::size_t i = 0; i < count; ++i) {
            if (records[i].numbered && records[i].number == n) {
                return i;
            }
        }
        return none;
    }

    // Assigns the openers and the links between openers of equal numbers. A few placeholders
    // are linked by comparing each with the earlier ones, which needs no allocation; beyond
    // scan_limit, through hash indexes, so that every step is a constant-time lookup.
    void index() {
        // bench/text_bench.cpp: formatter_vorn_bind
        if (count <= scan_limit) {
            index_by_scan();
        } else {
            index_by_hash();
        }
    }

    void index_by_scan() noexcept {
        for (std::size_t i = 0; i < count; ++i) {
            record& r = records[i];
            r.next_named = none;
            // One pass over the earlier openers: one of the same text makes this placeholder
            // share its slot; otherwise the last one of the same number links to it.
            std::size_t same = none;
            std::size_t previous = none;
            for (std::size_t j = 0; j < i; ++j) {
                const record& earlier = records[j];
                // Placeholders of the same text have the same number, or are both unnumbered.
                if (earlier.opener != j || earlier.numbered != r.numbered ||
                    (r.numbered && earlier.number != r.number)) {
                    continue;
                }
                if (same_text(earlier, r)) {
                    same = j;
                    break;
                }
                previous = j;
            }
            r.opener = same == none ? i : same;
            if (same == none && previous != none && r.numbered) {
                records[previous].next_named = i;
            }
        }
    }

    void index_by_hash() {
        auto built = std::make_unique<hash_indexes>();
        std::unordered_map<unsigned long, std::size_t> last_numbered;
        built->by_text.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            record& r = records[i];
            r.next_named = none;
            const auto [same, inserted] = built->by_text.try_emplace(full_arg(r), i);
            r.opener = same->second;
            if (!inserted || !r.numbered) {
                continue;
            }
            const auto [tail, first] = last_numbered.try_emplace(r.number, i);
            if (first) {
                built->by_number.emplace(r.number, i);
            } else {
                records[tail->second].next_named = i;
                tail->second = i;
            }
        }
        hashed = std::move(built);
    }

    // The bytes bound to the slots, dead ones left out.
    std::size_t live_bytes() const noexcept {
        std::size_t live = 0;
        for (std::size_t i = 0; i < count; ++i) {
            live += records[i].opener == i ? records[i].length : 0;
        }
        return live;
    }

    // Copies each slot's binding from the arena at `from` to the next bytes at `to`, and makes
    // the slot just as large; returns the bytes copied.
    std::size_t compact_bindings(const char* from, char* to) noexcept {
        std::size_t used = 0;
        for (std::size_t i = 0; i < count; ++i) {
            record& r = records[i];
            if (r.opener == i) {
                copy_bytes(to + used, from + r.offset, r.length);
                r.offset = used;
                r.capacity = r.length;
                used += r.length;
            }
        }
        return used;
    }

    // Makes room for `size` more bytes at the end of the arena; on std::bad_alloc nothing has
    // changed.
    void grow_arena(std::size_t size) {
        const bool compact = arena_dead > arena_used - arena_dead + count;
        const std::size_t keep = compact ? live_bytes() : arena_used;
        // Both terms are sizes of blocks in memory: the sum cannot wrap.
        const std::size_t capacity = std::max(2 * (keep + size), least_arena);
        heap_block<char> grown = uninitialised<char>(capacity);
        if (compact) {
            arena_used = compact_bindings(arena.data(), grown.get());
            arena_dead = 0;
        } else {
            copy_bytes(grown.get(), arena.data(), arena_used);
        }
        arena.adopt(std::move(grown), capacity);
    }

    // Binds a copy of [from, from + size) to the slot of `opener`; on std::bad_alloc nothing has
    // changed.
    void bind(record& opener, const char* from, std::size_t size) {
        if (size > opener.capacity) {
            if (arena.capacity() - arena_used < size) {
                grow_arena(size);
            }
            arena_dead += opener.capacity;
            opener.offset = arena_used;
            opener.capacity = size;
            arena_used += size;
        }
        copy_bytes(arena.data() + opener.offset, from, size);
        opener.length = size;
    }
};

static_assert(std::is_trivial_v<record>, "records are copied as bytes, and born uninitialised");
// ---------------------------------------------------------------------------------------------
// argument

argument::argument() : block_(new block) {}

// GCOVR_EXCL_BR_START: the new-expression's cleanup tests a flag the compiler always sets
argument::argument(const argument& other) : block_(new block(*other.block_)) {}
// GCOVR_EXCL_BR_STOP

argument& argument::operator=(const argument& other) {
    if (this != &other) {
        *block_ = *other.block_;
    }
    return *this;
}

argument::~argument() {
    delete block_;  // GCOVR_EXCL_BR_LINE: never null, the test is delete's own
}

void argument::set_name(const std::string& name) {
    block_->name = name;
}

void argument::set_params(const std::string& params) {
    block_->params = params;
}

void argument::set_full_arg(const std::string& full_arg) {
    block_->full_arg = full_arg;
}

void argument::set_begin(const unsigned long& begin) noexcept {
    block_->begin = begin;
}

void argument::set_end(const unsigned long& end) noexcept {
    block_->end = end;
}

std::string argument::get_name() const {
    return block_->name;
}

std::string argument::get_params() const {
    return block_->params;
}

std::string argument::get_full_arg() const {
    return block_->full_arg;
}

unsigned long argument::get_begin() const noexcept {
    return block_->begin;
}

unsigned long argument::get_end() const noexcept {
    return block_->end;
}

// ---------------------------------------------------------------------------------------------
// text_formatter

text_formatter::text_formatter() : state_(new state) {
    // Within the sizes that the allocator keeps ready in per-thread caches.
    static_assert(sizeof(state) <= 1024, "one small heap block");
}

// GCOVR_EXCL_BR_START: the new-expression's cleanup tests a flag the compiler always sets
text_formatter::text_formatter(const text_formatter& other) : state_(new state(*other.state_)) {}
// GCOVR_EXCL_BR_STOP

// The source is left empty and usable, which takes a fresh state for it: this allocates and may
// throw std::bad_alloc, so it cannot be noexcept.
// NOLINTNEXTLINE(performance-noexcept-move-constructor)
text_formatter::text_formatter(text_formatter&& other) : state_(new state) {
    std::swap(state_, other.state_);
}

text_formatter& text_formatter::operator=(const text_formatter& other) {
    if (this != &other) {
        // GCOVR_EXCL_BR_START: the new-expression's cleanup tests a flag the compiler always sets
        state* const copy = new state(*other.state_);
        // GCOVR_EXCL_BR_STOP
        delete state_;  // GCOVR_EXCL_BR_LINE: never null, the test is delete's own
        state_ = copy;
    }
    return *this;
}

text_formatter& text_formatter::operator=(text_formatter&& other) noexcept {
    if (this != &other) {
        std::swap(state_, other.state_);
        other.state_->reset();
    }
    return *this;
}

text_formatter::~text_formatter() {
    delete state_;  // GCOVR_EXCL_BR_LINE: never null, the test is delete's own
}

text_formatter text_formatter::parser(core::string_view text) {
    text_formatter result;
    state& s = *result.state_;
    s.set_text(text.data(), text.size());
    detail::placeholder found;
    std::size_t from = 0;
    while (detail::find_placeholder(s.text.data(), s.text_size, from, found)) {
        s.add_record(found);
        from = found.end;
    }
    s.index();
    return result;
}

std::vector<argument> text_formatter::get_arguments() {
    return static_cast<const text_formatter&>(*this).get_arguments();
}

std::vector<argument> text_formatter::get_arguments() const {
    const state& s = *state_;
    std::vector<argument> copies;
    copies.reserve(s.count);
    const char* const text = s.text.data();
    for (std::size_t i = 0; i < s.count; ++i) {
        const record& p = s.records[i];
        *copies.emplace_back().block_ = argument::block{
            std::string(text + p.begin + 1, p.name_length),
            p.params_length() == 0 ? std::string()
                                   : std::string(text + p.params_begin(), p.params_length()),
            std::string(text + p.begin, p.end - p.begin), p.begin, p.end};
    }
    return copies;
}

bool text_formatter::has_arg_escape(unsigned long n) noexcept {
    return state_->first_numbered(n) != none;
}

bool text_formatter::has_arg_escape(unsigned long n) const noexcept {
    return state_->first_numbered(n) != none;
}

bool text_formatter::has_arg_args(unsigned long n) noexcept {
    return static_cast<const text_formatter&>(*this).has_arg_args(n);
}

bool text_formatter::has_arg_args(unsigned long n) const noexcept {
    const std::size_t first = state_->first_numbered(n);
    return first != none && state_->records[first].params_length() != 0;
}

text_formatter& text_formatter::replace_arg_escape_impl(const std::string& placeholder,
                                                        const std::string& replacement) {
    state& s = *state_;
    const std::size_t opener = s.opener_of_text(placeholder);
    if (opener != none) {
        s.bind(s.records[opener], replacement.data(), replacement.size());
        return *this;
    }
    if (!s.unused) {
        s.unused = std::make_unique<unused_bindings>();
    }
    s.unused->insert_or_assign(placeholder, replacement);
    return *this;
}

text_formatter& text_formatter::bind_text(unsigned long n, std::string_view replacement) {
    state& s = *state_;
    for (std::size_t i = s.first_numbered(n); i != none; i = s.records[i].next_named) {
        s.bind(s.records[i], replacement.data(), replacement.size());
    }
    return *this;
}

text_formatter& text_formatter::bind(unsigned long n, const decimal& value, unsigned int precision,
                                     char separator) {
    if (!has_arg_escape(n)) {
        return *this;
    }
    return bind_text(n, value.to_string(precision, separator));
}

std::string text_formatter::make_string() {
    const state& s = *state_;
    // Unsigned arithmetic: the sum may pass through wrapped values but ends exact.
    std::size_t length = s.text_size;
    for (std::size_t i = 0; i < s.count; ++i) {
        const record& p = s.records[i];
        length += s.records[p.opener].length - (p.end - p.begin);
    }

    // Placeholders never overlap and come in order, so the text is assembled front to back;
    // replacements are copied as they are and never scanned again.
    const auto assemble = [&s](char* out) noexcept {
        const char* const text = s.text.data();
        const char* const arena = s.arena.data();
        std::size_t copied = 0;
        for (std::size_t i = 0; i < s.count; ++i) {
            const record& p = s.records[i];
            const record& bound = s.records[p.opener];
            out = copy_bytes(out, text + copied, p.begin - copied);
            out = copy_bytes(out, arena + bound.offset, bound.length);
            copied = p.end;
        }
        copy_bytes(out, text + copied, s.text_size - copied);
    };
    std::string result;
#if defined(__cpp_lib_string_resize_and_overwrite)
    // The length is returned as captured: the second argument is not the requested size in
    // every library version.
    result.resize_and_overwrite(length, [&](char* out, std::size_t) noexcept {
        assemble(out);
        return length;
    });
#else
    result.resize(length);
    assemble(result.data());
#endif
    return result;
}

}  // namespace v2
}  // namespace vorn::core
