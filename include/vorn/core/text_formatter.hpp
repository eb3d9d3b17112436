// SPDX-License-Identifier: MIT
/// \file
/// vorn/core/text_formatter.hpp: numbered placeholders in a text, filled by the caller.
///
/// text_formatter::parser finds every placeholder "{N}" or "{N: parameters}" of a text (N one
/// or more ASCII digits, the colon followed by exactly one space). The caller binds a
/// replacement to each placeholder and make_string() gives the text with every placeholder
/// replaced; an unbound placeholder disappears. The formatter never interprets N or the
/// parameters: get_arguments(), has_arg_escape() and has_arg_args() report them.
///
///   namespace vc = vorn::core::v2;
///   vc::text_formatter f = vc::text_formatter::parser("Olá {0}, você tem {1} mensagens.");
///   f.bind(0, "Ana").bind(1, 3);
///   std::string text = f.make_string();  // "Olá Ana, você tem 3 mensagens."
///
/// There is no escape for literal braces: text that does not form a placeholder stays as it is.
#ifndef VORN_CORE_TEXT_FORMATTER_HPP
#define VORN_CORE_TEXT_FORMATTER_HPP

#include <charconv>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "vorn/core/decimal.hpp"
#include "vorn/core/export.hpp"

namespace vorn::core {

/// A view of read-only characters: a pointer and a length. The characters need not end in a
/// NUL and may contain any byte. The viewed text must outlive the view.
class string_view {
  public:
    constexpr string_view() noexcept : data_(""), size_(0) {}
    /// The `size` characters at `data`.
    constexpr string_view(const char* data, std::size_t size) noexcept : data_(data), size_(size) {}
    /// The characters up to the terminating NUL.
    ///@{
    constexpr string_view(const char* text) noexcept
        : data_(text), size_(std::char_traits<char>::length(text)) {}
    string_view(const std::string& text) noexcept : data_(text.data()), size_(text.size()) {}
    constexpr string_view(std::string_view text) noexcept
        : data_(text.data()), size_(text.size()) {}
    ///@}

    /// The first viewed character, and the number of characters.
    ///@{
    constexpr const char* data() const noexcept { return data_; }
    constexpr std::size_t size() const noexcept { return size_; }
    ///@}

  private:
    const char* data_;
    std::size_t size_;
};

namespace v2 {

/// One placeholder as found in a text: its digits (`name`, as written, leading zeros kept), its
/// parameter text (`params`, empty when there is none), its whole text (`full_arg`) and its
/// byte offsets [begin, end) in the text. A plain value; moving an argument copies it.
class VORN_CORE_API argument {
  public:
    /// Empty texts, offsets 0. May throw std::bad_alloc, like the copy.
    argument();
    /// Copies every field; the copies are independent.
    ///@{
    argument(const argument& other);
    argument& operator=(const argument& other);
    ///@}
    ~argument();

    /// Replace one field; the texts are copied and may throw std::bad_alloc.
    ///@{
    void set_name(const std::string& name);
    void set_params(const std::string& params);
    void set_full_arg(const std::string& full_arg);
    void set_begin(const unsigned long& begin) noexcept;
    void set_end(const unsigned long& end) noexcept;
    ///@}

    /// The fields as last set.
    ///@{
    std::string get_name() const;
    std::string get_params() const;
    std::string get_full_arg() const;
    unsigned long get_begin() const noexcept;
    unsigned long get_end() const noexcept;
    ///@}

  private:
    friend class text_formatter;
    struct block;
    // Frozen layout: the handle is this one pointer, compiled into every caller.
    block* block_;
};

/// A text with its placeholders and the replacements bound to them. Copies are independent.
/// Not synchronised: make_string() records empty bindings, so even it needs external locking
/// when one formatter is shared between threads.
class VORN_CORE_API text_formatter {
  public:
    /// Empty text, no placeholders, no replacements. May throw std::bad_alloc, like every
    /// constructor and copy.
    ///@{
    text_formatter();
    text_formatter(const text_formatter& other);
    ///@}
    /// Takes the source's text, placeholders and replacements; the source is left empty and
    /// usable.
    text_formatter(text_formatter&& other);
    /// Self-assignment changes nothing; on std::bad_alloc this object is unchanged.
    text_formatter& operator=(const text_formatter& other);
    /// Releases this object's contents and takes the source's; the source is left empty.
    /// Moving an object into itself leaves it unchanged.
    text_formatter& operator=(text_formatter&& other) noexcept;
    ~text_formatter();

    /// Copies `text` and finds its placeholders, left to right, in time linear in its length.
    /// A placeholder is "{", digits, then either "}" or ": ", a run of characters other than
    /// "{" and the last "}" before the next "{" (or the end): "{0: a}b} {1}" holds "{0: a}b}"
    /// and "{1}"; "{0:x}", "{0 }" and "{0: a {1}"'s first part stay literal text.
    static text_formatter parser(core::string_view text);

    /// Copies of the placeholders in order of appearance; changing them changes nothing here.
    ///@{
    // Frozen pair: the non-const form is the original signature; the const one was added.
    std::vector<argument> get_arguments();
    std::vector<argument> get_arguments() const;
    ///@}

    /// True when some placeholder's digits are exactly n in decimal without leading zeros
    /// ("{07}" does not count for 7).
    ///@{
    // Frozen pair: the non-const form is the original signature; the const one was added.
    bool has_arg_escape(unsigned long n) noexcept;
    bool has_arg_escape(unsigned long n) const noexcept;
    ///@}
    /// True when the first placeholder numbered n (as for has_arg_escape) has non-empty
    /// parameters; later placeholders with the same number are not consulted.
    ///@{
    // Frozen pair: the non-const form is the original signature; the const one was added.
    bool has_arg_args(unsigned long n) noexcept;
    bool has_arg_args(unsigned long n) const noexcept;
    ///@}

    /// Binds `replacement` to every placeholder whose whole text is exactly `placeholder`
    /// ("{0}" and "{0: x}" are bound independently); binding again replaces the previous one.
    // Kept for compatibility: the original way to bind by placeholder text.
    text_formatter& replace_arg_escape_impl(const std::string& placeholder,
                                            const std::string& replacement);

    /// The text with every placeholder replaced by its binding, inserted literally and never
    /// scanned again; a placeholder without one is removed and receives an empty binding.
    std::string make_string();

    /// Binds the text of `value` to every placeholder numbered n (as for has_arg_escape),
    /// whatever its parameters. Texts (std::string, std::string_view, C strings, char) are
    /// bound as they are, bool as "true"/"false", integers and floating-point numbers as
    /// std::to_chars writes them (shortest form), a decimal as to_string(2, '.'), a date, time
    /// or datetime as chars_converter's make_chars writes it (an empty text for a value
    /// without one, a year beyond the writer's range).
    template <class T>
    text_formatter& bind(unsigned long n, const T& value);

    /// Binds a copy of `replacement` to every placeholder numbered n (as for has_arg_escape),
    /// exactly as replace_arg_escape_impl of each one's whole text would. Binding every
    /// placeholder of a text this way costs time linear in the text plus the bound texts.
    text_formatter& bind_text(unsigned long n, std::string_view replacement);

    /// Binds value.to_string(precision, separator) to every placeholder numbered n.
    text_formatter& bind(unsigned long n, const decimal& value, unsigned int precision,
                         char separator);

  private:
    struct state;
    // Frozen layout: the handle is this one pointer, compiled into every caller.
    state* state_;
};

namespace detail {

template <class T>
struct unsupported_bind_type : std::false_type {};

/// The integer types std::to_chars writes; character types other than char are left out.
template <class T>
inline constexpr bool is_bound_as_number =
    std::is_same_v<T, signed char> || std::is_same_v<T, unsigned char> ||
    std::is_same_v<T, short> || std::is_same_v<T, unsigned short> || std::is_same_v<T, int> ||
    std::is_same_v<T, unsigned int> || std::is_same_v<T, long> ||
    std::is_same_v<T, unsigned long> || std::is_same_v<T, long long> ||
    std::is_same_v<T, unsigned long long> || std::is_floating_point_v<T>;

/// Binds the text of `value` through f.bind_text, writing numbers into a local buffer.
template <class T>
text_formatter& bind_value(text_formatter& f, unsigned long n, const T& value) {
    if constexpr (std::is_same_v<T, decimal>) {
        return f.bind(n, value, 2, '.');
    } else if constexpr (std::is_same_v<T, date> || std::is_same_v<T, time> ||
                         std::is_same_v<T, datetime>) {
        char text[32];
        std::size_t length = sizeof text;
        if (chars_converter<T>().make_chars(text, length, value) != converter_status::success) {
            length = 0;  // no text form: an empty binding
        }
        return f.bind_text(n, std::string_view(text, length));
    } else if constexpr (std::is_same_v<T, bool>) {
        return f.bind_text(n, value ? std::string_view("true") : std::string_view("false"));
    } else if constexpr (std::is_same_v<T, char>) {
        return f.bind_text(n, std::string_view(&value, 1));
    } else if constexpr (std::is_same_v<T, const char*> || std::is_same_v<T, char*>) {
        return f.bind_text(n, value == nullptr ? std::string_view() : std::string_view(value));
    } else if constexpr (std::is_array_v<T>) {
        static_assert(std::is_same_v<std::remove_cv_t<std::remove_extent_t<T>>, char>,
                      "bind accepts arrays of char only");
        // Up to the first NUL, never past the array.
        std::size_t length = 0;
        while (length < std::extent_v<T> && value[length] != '\0') {
            ++length;
        }
        return f.bind_text(n, std::string_view(value, length));
    } else if constexpr (std::is_same_v<T, core::string_view>) {
        return f.bind_text(n, std::string_view(value.data(), value.size()));
    } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        return f.bind_text(n, std::string_view(value));
    } else if constexpr (is_bound_as_number<T>) {
        char digits[64];
        const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, value);
        return f.bind_text(
            n, std::string_view(digits, static_cast<std::size_t>(written.ptr - digits)));
    } else {
        static_assert(unsupported_bind_type<T>::value,
                      "bind accepts texts, bool, char, integers, floating-point numbers, "
                      "decimal, date, time and datetime");
        return f;
    }
}

}  // namespace detail

template <class T>
text_formatter& text_formatter::bind(unsigned long n, const T& value) {
    return detail::bind_value(*this, n, value);
}

}  // namespace v2
}  // namespace vorn::core

#endif  // VORN_CORE_TEXT_FORMATTER_HPP
