#include "vorn/core/text_formatter.hpp"

#include <charconv>
#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "text/placeholder_scanner.hpp"

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

struct text_formatter::state {
    std::string text;
    // In order of appearance, as offsets into `text`; get_arguments() writes them out as
    // argument values.
    std::vector<detail::placeholder> arguments;
    std::unordered_map<std::string, std::string, text_hash, std::equal_to<>> replacements;

    void clear() noexcept {
        text.clear();
        arguments.clear();
        replacements.clear();
    }

    std::string_view full_arg(const detail::placeholder& p) const noexcept {
        return std::string_view(text).substr(p.begin, p.end - p.begin);
    }
    std::string_view name(const detail::placeholder& p) const noexcept {
        return std::string_view(text).substr(p.begin + 1, p.name_length);
    }

    // The first placeholder whose digits are n in decimal, or null.
    const detail::placeholder* first_numbered(unsigned long n) const noexcept {
        char digits[24];
        const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, n);
        const std::string_view wanted(digits, static_cast<std::size_t>(written.ptr - digits));
        const char* const chars = text.data();
        for (const detail::placeholder& p : arguments) {
            // Names are short: a plain loop beats a call to memcmp.
            if (p.name_length == wanted.size()) {
                std::size_t i = 0;
                while (i < wanted.size() && chars[p.begin + 1 + i] == wanted[i]) {
                    ++i;
                }
                if (i == wanted.size()) {
                    return &p;
                }
            }
        }
        return nullptr;
    }
};

static_assert(sizeof(argument) == sizeof(void*) && sizeof(text_formatter) == sizeof(void*),
              "arguments and formatters are one owned pointer");

// ---------------------------------------------------------------------------------------------
// argument

argument::argument() : block_(new block) {}

argument::argument(const argument& other) : block_(new block(*other.block_)) {}

argument& argument::operator=(const argument& other) {
    *block_ = *other.block_;
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
        s.arguments.push_back(found);
        from = found.end;
    } while (detail::find_placeholder(s.text.data(), s.text.size(), from, found));
    return result;
}

std::vector<argument> text_formatter::get_arguments() {
    const state& s = *state_;
    std::vector<argument> copies;
    copies.reserve(s.arguments.size());
    const char* const text = s.text.data();
    for (const detail::placeholder& p : s.arguments) {
        *copies.emplace_back().block_ = argument::block{
            std::string(text + p.begin + 1, p.name_length),
            p.params_length() == 0 ? std::string()
                                   : std::string(text + p.params_begin(), p.params_length()),
            std::string(text + p.begin, p.end - p.begin), p.begin, p.end};
    }
    return copies;
}

bool text_formatter::has_arg_escape(unsigned long n) noexcept {
    return state_->first_numbered(n) != nullptr;
}

bool text_formatter::has_arg_args(unsigned long n) noexcept {
    const detail::placeholder* first = state_->first_numbered(n);
    return first != nullptr && first->params_length() != 0;
}

text_formatter& text_formatter::replace_arg_escape_impl(const std::string& placeholder,
                                                        const std::string& replacement) {
    state_->replacements.insert_or_assign(placeholder, replacement);
    return *this;
}

std::string text_formatter::make_string() {
    state& s = *state_;
    const std::size_t count = s.arguments.size();

    // The binding of each placeholder, found once; a placeholder text without one receives an
    // empty binding. Pointers to mapped values survive later insertions.
    constexpr std::size_t local_count = 16;
    const std::string* local[local_count];
    std::unique_ptr<const std::string*[]> allocated;
    const std::string** bound = local;
    if (count > local_count) {
        allocated.reset(new const std::string*[count]);
        bound = allocated.get();
    }
    std::size_t length = s.text.size();
    for (std::size_t i = 0; i < count; ++i) {
        const detail::placeholder& p = s.arguments[i];
        const std::string_view key = s.full_arg(p);
        auto entry = s.replacements.find(key);
        if (entry == s.replacements.end()) {
            entry = s.replacements.emplace(std::string(key), std::string()).first;
        }
        bound[i] = &entry->second;
        length = length - (p.end - p.begin) + entry->second.size();
    }

    // Placeholders never overlap and come in order, so the text is assembled front to back;
    // replacements are copied as they are and never scanned again.
    std::string result(length, '\0');
    char* out = result.data();
    const char* const text = s.text.data();
    std::size_t copied = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const detail::placeholder& p = s.arguments[i];
        out = copy_bytes(out, text + copied, p.begin - copied);
        out = copy_bytes(out, bound[i]->data(), bound[i]->size());
        copied = p.end;
    }
    copy_bytes(out, text + copied, s.text.size() - copied);
    return result;
}

}  // namespace v2
}  // namespace vorn::core
