#include "vorn/core/text_formatter.hpp"

#include <charconv>
#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "text_formatter/placeholder_scanner.hpp"

namespace vorn::core {

static_assert(sizeof(string_view) == 16 && alignof(string_view) == 8,
              "a text view is a pointer and a 64-bit length");

namespace v2 {

struct argument::block {
    std::string name;
    std::string params;
    std::string full_arg;
    std::size_t begin = 0;
    std::size_t end = 0;
};

namespace {

static_assert(sizeof(unsigned long) == sizeof(std::size_t), "offsets are pointer-sized");

// Standard string hashing, usable with views so that lookups need no key string.
struct text_hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept {
        return std::hash<std::string_view>{}(text);
    }
};

// Copies `size` bytes to `out` and returns the end of the copy.
char* copy_bytes(char* out, const char* from, std::size_t size) noexcept {
    if (size != 0) {
        std::memcpy(out, from, size);
    }
    return out + size;
}

}  // namespace

// Placeholders of the same text share one binding, a "slot". Each placeholder that opens a
// slot (the first of its text) links to the next slot opener with the same digits, so that
// binding by number visits each slot once. Texts with few placeholders are searched by a scan;
// larger ones through hash indexes built by the parser, which keep every lookup constant.
constexpr std::size_t scan_limit = 16;
constexpr std::size_t none = static_cast<std::size_t>(-1);

struct record : detail::placeholder {
    std::size_t slot;
    std::size_t next_named;  // the next slot opener with the same digits, or none
    bool opens_slot;
};

using text_index = std::unordered_map<std::string_view, std::size_t, text_hash, std::equal_to<>>;

struct text_formatter::state {
    std::string text;
    // In order of appearance, as offsets into `text`; get_arguments() writes them out as
    // argument values.
    std::vector<record> arguments;
    std::size_t slot_count = 0;
    // One replacement per slot, empty until the first binding; an unbound slot is empty text,
    // which is what an unbound placeholder becomes.
    std::vector<std::string> bindings;
    // Bindings of texts that are no placeholder of this text: kept, never used.
    std::unordered_map<std::string, std::string, text_hash, std::equal_to<>> unused;
    // Views into `text`, present only beyond scan_limit placeholders: the opener of each
    // placeholder text and the first opener of each digit run.
    text_index by_text;
    text_index by_name;

    state() = default;
    // The indexes view this object's own text, so a copy builds its own.
    state(const state& other)
        : text(other.text),
          arguments(other.arguments),
          slot_count(other.slot_count),
          bindings(other.bindings),
          unused(other.unused) {
        if (arguments.size() > scan_limit) {
            index();
        }
    }
    state& operator=(const state&) = delete;

    void clear() noexcept {
        text.clear();
        arguments.clear();
        slot_count = 0;
        bindings.clear();
        unused.clear();
        by_text.clear();
        by_name.clear();
    }

    std::string_view full_arg(const detail::placeholder& p) const noexcept {
        return std::string_view(text).substr(p.begin, p.end - p.begin);
    }
    std::string_view name(const detail::placeholder& p) const noexcept {
        return std::string_view(text).substr(p.begin + 1, p.name_length);
    }

    static std::size_t find(const text_index& in, std::string_view key) noexcept {
        const auto found = in.find(key);
        return found == in.end() ? none : found->second;
    }

    // The slot opener among the first `count` placeholders whose text is `key`, or none.
    std::size_t opener_of_text(std::string_view key, std::size_t count) const noexcept {
        if (arguments.size() > scan_limit) {
            return find(by_text, key);
        }
        for (std::size_t i = 0; i < count; ++i) {
            if (arguments[i].opens_slot && full_arg(arguments[i]) == key) {
                return i;
            }
        }
        return none;
    }

    // The first placeholder (always a slot opener) whose digits are `wanted`, or none.
    std::size_t first_named(std::string_view wanted) const noexcept {
        if (arguments.size() > scan_limit) {
            return find(by_name, wanted);
        }
        const char* const chars = text.data();
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            const record& p = arguments[i];
            // Names are short: a plain loop beats a call to memcmp.
            if (p.name_length == wanted.size()) {
                std::size_t k = 0;
                while (k < wanted.size() && chars[p.begin + 1 + k] == wanted[k]) {
                    ++k;
                }
                if (k == wanted.size()) {
                    return i;
                }
            }
        }
        return none;
    }

    std::size_t first_numbered(unsigned long n) const noexcept {
        char digits[24];
        const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, n);
        return first_named(
            std::string_view(digits, static_cast<std::size_t>(written.ptr - digits)));
    }

    // Assigns the slots and the links between openers of equal digits; builds the hash indexes
    // for long lists first, so that every step is a constant-time lookup.
    void index() {
        const bool hashed = arguments.size() > scan_limit;
        text_index last_named;
        if (hashed) {
            by_text.clear();
            by_name.clear();
            by_text.reserve(arguments.size());
        }
        slot_count = 0;
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            record& r = arguments[i];
            const std::string_view key = full_arg(r);
            const std::size_t same = hashed ? find(by_text, key) : opener_of_text(key, i);
            r.next_named = none;
            if (same != none) {
                r.slot = arguments[same].slot;
                r.opens_slot = false;
                continue;
            }
            r.slot = slot_count++;
            r.opens_slot = true;
            const std::string_view digits = name(r);
            std::size_t previous = none;
            if (hashed) {
                by_text.emplace(key, i);
                const auto [tail, inserted] = last_named.try_emplace(digits, i);
                if (inserted) {
                    by_name.emplace(digits, i);
                } else {
                    previous = tail->second;
                    tail->second = i;
                }
            } else {
                for (std::size_t j = i; j-- > 0;) {
                    if (arguments[j].opens_slot && name(arguments[j]) == digits) {
                        previous = j;
                        break;
                    }
                }
            }
            if (previous != none) {
                arguments[previous].next_named = i;
            }
        }
    }

    std::string& binding(std::size_t slot) {
        if (bindings.empty()) {
            bindings.resize(slot_count);
        }
        return bindings[slot];
    }
};

static_assert(sizeof(argument) == sizeof(void*) && sizeof(text_formatter) == sizeof(void*),
              "arguments and formatters are one owned pointer");

// ---------------------------------------------------------------------------------------------
// argument

argument::argument() : block_(new block) {}

argument::argument(const argument& other) : block_(new block(*other.block_)) {}

argument& argument::operator=(const argument& other) {
    if (this != &other) {
        *block_ = *other.block_;
    }
    return *this;
}

argument::~argument() {
    delete block_;
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

text_formatter::text_formatter() : state_(new state) {}

text_formatter::text_formatter(const text_formatter& other) : state_(new state(*other.state_)) {}

// The source is left empty and usable, which takes a fresh state for it: this allocates and may
// throw std::bad_alloc, so it cannot be noexcept.
// NOLINTNEXTLINE(performance-noexcept-move-constructor)
text_formatter::text_formatter(text_formatter&& other) : state_(new state) {
    std::swap(state_, other.state_);
}

text_formatter& text_formatter::operator=(const text_formatter& other) {
    if (this != &other) {
        state* const copy = new state(*other.state_);
        delete state_;
        state_ = copy;
    }
    return *this;
}

text_formatter& text_formatter::operator=(text_formatter&& other) noexcept {
    if (this != &other) {
        std::swap(state_, other.state_);
        other.state_->clear();
    }
    return *this;
}

text_formatter::~text_formatter() {
    delete state_;
}

text_formatter text_formatter::parser(core::string_view text) {
    text_formatter result;
    state& s = *result.state_;
    if (text.size() != 0) {
        s.text.assign(text.data(), text.size());
    }
    detail::placeholder found;
    std::size_t from = 0;
    if (!detail::find_placeholder(s.text.data(), s.text.size(), from, found)) {
        return result;
    }
    // Typical messages hold a few placeholders: one allocation instead of a growth sequence.
    s.arguments.reserve(4);
    do {
        s.arguments.push_back(record{found, 0, none, false});
        from = found.end;
    } while (detail::find_placeholder(s.text.data(), s.text.size(), from, found));
    s.index();
    return result;
}

std::vector<argument> text_formatter::get_arguments() {
    return static_cast<const text_formatter&>(*this).get_arguments();
}

std::vector<argument> text_formatter::get_arguments() const {
    const state& s = *state_;
    std::vector<argument> copies;
    copies.reserve(s.arguments.size());
    const char* const text = s.text.data();
    for (const record& p : s.arguments) {
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
    return first != none && state_->arguments[first].params_length() != 0;
}

text_formatter& text_formatter::replace_arg_escape_impl(const std::string& placeholder,
                                                        const std::string& replacement) {
    state& s = *state_;
    const std::size_t opener = s.opener_of_text(placeholder, s.arguments.size());
    if (opener == none) {
        s.unused.insert_or_assign(placeholder, replacement);
    } else {
        s.binding(s.arguments[opener].slot).assign(replacement);
    }
    return *this;
}

text_formatter& text_formatter::bind_text(unsigned long n, std::string_view replacement) {
    state& s = *state_;
    for (std::size_t i = s.first_numbered(n); i != none; i = s.arguments[i].next_named) {
        s.binding(s.arguments[i].slot).assign(replacement.data(), replacement.size());
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
    const bool any_bound = !s.bindings.empty();
    std::size_t length = s.text.size();
    for (const record& p : s.arguments) {
        length = length - (p.end - p.begin) + (any_bound ? s.bindings[p.slot].size() : 0);
    }

    // Placeholders never overlap and come in order, so the text is assembled front to back;
    // replacements are copied as they are and never scanned again.
    std::string result(length, '\0');
    char* out = result.data();
    const char* const text = s.text.data();
    std::size_t copied = 0;
    for (const record& p : s.arguments) {
        out = copy_bytes(out, text + copied, p.begin - copied);
        if (any_bound) {
            const std::string& bound = s.bindings[p.slot];
            out = copy_bytes(out, bound.data(), bound.size());
        }
        copied = p.end;
    }
    copy_bytes(out, text + copied, s.text.size() - copied);
    return result;
}

}  // namespace v2
}  // namespace vorn::core
