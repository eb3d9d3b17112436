// SPDX-License-Identifier: MIT
/// \file
/// vorn/core/result.hpp: status reporting that keeps working when memory runs out.
///
/// A fallible operation hands its caller a result::stack instead of throwing. The stack holds
/// status items, newest first; each item names a category (a process-wide singleton that turns
/// codes into messages), an int code and named text arguments. An empty stack means success.
/// Pushing an item never throws: when the heap is exhausted the item comes from a static pool
/// of 64 items, and an argument that cannot be stored is replaced by an "out-of-memory" marker.
///
///   namespace vc = vorn::core::v2;
///   vc::result::stack status;
///   status.push(vc::integral_conversion_error::overflow, "123456789012345678901");
///   if (status.has_failed()) {
///       std::printf("%s: %s\n", status.get_category().get_name(), status.get_message());
///       std::printf("%s\n", status.begin()->get_argument_value("string_value"));
///   }
///
/// A category of one's own, from a table of its codes (see result::described_category):
///
///   struct ledger_error : vc::result::described_category<ledger_error> {
///       static constexpr const char* name = "acme-ledger";
///       static constexpr code<1> bad_amount{"The amount is not a decimal", "received"};
///       static constexpr code<2> bad_line{"The line is malformed", "line", "received"};
///       static constexpr auto codes = list(bad_amount, bad_line);
///   };
///   status.push(ledger_error::bad_line, 42, text);    // attaches line=42, received=text
///
/// Propagation: VORN_RETURN_IF_FAILED(read_amount(text)) returns the stack of a failed call
/// from the enclosing function; VORN_RETURN_IF_FAILED_PUSH(expr, tag, values...) first pushes
/// the caller's own item, with the place of the macro. to_string(status) and operator<< give
/// one line per item; to_error_code() and push(std::error_code) bridge to std::error_code.
///
/// A category can also be written by hand: derive from result::category, give it a static
/// instance() returning a function-local static object, a get_name(), a get_message(int) that
/// ends in show_invalid_value_message_and_exit(code) for unknown codes, and one
/// create(result::stack::item&, result::code<Category, N>, extra...) const per code that
/// attaches the code's details with item.set_argument(name, value).
#ifndef VORN_CORE_RESULT_HPP
#define VORN_CORE_RESULT_HPP

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iosfwd>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <utility>
#if __has_include(<version>)
#include <version>
#endif
#if defined(__cpp_lib_source_location)
#include <source_location>
#endif

#include "vorn/core/export.hpp"

namespace vorn::core::v2 {

namespace detail {

// Types whose values are texts for an argument, taken as a std::string_view without a copy.
template <class T>
inline constexpr bool is_text_v = std::is_convertible_v<const T&, std::string_view>;

// Integer values a push writes as decimal text (not bool, not the character types).
template <class T>
inline constexpr bool is_number_v =
    std::is_same_v<T, short> || std::is_same_v<T, unsigned short> || std::is_same_v<T, int> ||
    std::is_same_v<T, unsigned int> || std::is_same_v<T, long> ||
    std::is_same_v<T, unsigned long> || std::is_same_v<T, long long> ||
    std::is_same_v<T, unsigned long long>;

// The text of one value given to a push: a text as it is, an integer in decimal.
class argument_text {
  public:
    template <class T, std::enable_if_t<is_text_v<T>, int> = 0>
    argument_text(const T& text) noexcept : text_(text) {}  // NOLINT: converts on purpose
    template <class T, std::enable_if_t<is_number_v<T>, int> = 0>
    argument_text(T number) noexcept {  // NOLINT: converts on purpose
        const std::to_chars_result written =
            std::to_chars(digits_, digits_ + sizeof digits_, number);
        text_ = std::string_view(digits_, static_cast<std::size_t>(written.ptr - digits_));
    }
    // The view may point into the object itself.
    argument_text(const argument_text&) = delete;
    argument_text& operator=(const argument_text&) = delete;

    std::string_view view() const noexcept { return text_; }

  private:
    std::string_view text_;
    char digits_[24] = {};
};
}  // namespace detail

namespace result {

// Frozen by the exported interface: result_access and codes_must_be_nonzero_distinct_and_named
// are named in the library's symbols, so they stay here rather than in vorn::core::v2::detail.
namespace detail {
struct result_access;
}  // namespace detail

/// One argument to attach: a name and a value, read where they are when they are stored.
struct named_text {
    std::string_view name;   ///< the argument's name
    std::string_view value;  ///< the argument's value
};

/// Where a push was made: the file as the compiler names it and the line. current(), as a
/// default argument, gives the place of the call that uses it; result::here() is that call.
class source_location {
  public:
#if defined(__cpp_lib_source_location)
    /// The place of the call that evaluates this default argument.
    static constexpr source_location current(
        std::source_location where = std::source_location::current()) noexcept {
        return source_location(where.file_name(), where.line());
    }
#else
    /// The place of the call that evaluates these default arguments.
    static constexpr source_location current(const char* file = __builtin_FILE(),
                                             int line = __builtin_LINE()) noexcept {
        return source_location(file, static_cast<std::uint_least32_t>(line));
    }
#endif
    /// A place given by hand; `file` is not null and outlives the object.
    constexpr source_location(const char* file, std::uint_least32_t line) noexcept
        : file_(file), line_(line) {}

    /// The file name, as the compiler wrote it (often a full path).
    constexpr const char* file_name() const noexcept {
        return file_;
    }
    /// The line, counted from 1.
    constexpr std::uint_least32_t line() const noexcept {
        return line_;
    }

  private:
    const char* file_;
    std::uint_least32_t line_;
};

/// The place of the call to here(): status.push(result::here(), tag, values...).
constexpr source_location here(source_location where = source_location::current()) noexcept {
    return where;
}

/// The polymorphic base of every status category. Categories are singletons compared by
/// identity: two distinct category objects are never equal, whatever their names.
class VORN_CORE_API category {
  public:
    virtual ~category();

    /// The category's fixed name; static lifetime.
    virtual const char* get_name() const = 0;
    /// The fixed message of `code`; static lifetime. For a code the category does not define,
    /// implementations call show_invalid_value_message_and_exit(code), which ends the process.
    virtual const char* get_message(int code) const = 0;

    /// True exactly when `other` is this very object.
    bool operator==(const category& other) const noexcept;
    /// True exactly when `other` is another object.
    bool operator!=(const category& other) const noexcept;

    /// Writes "Invalid status code value: 0xXXXXXXXX (name)" and a newline to standard error,
    /// where XXXXXXXX is the code as 8 upper-case hex digits and name is get_name() cut to 28
    /// characters, then ends the process with exit status 1.
    // Kept for compatibility: the original way a category ends the process on an unknown code.
    [[noreturn]] void show_invalid_value_message_and_exit(int code) const;

    category(const category&) = delete;
    category& operator=(const category&) = delete;

  protected:
    constexpr category() noexcept = default;
};

/// A tag naming code N of Category, so that a category can offer one create() per code.
template <class Category, int N>
struct code {
    static constexpr int value = N;  ///< The code, N.
};

/// One stored argument: a name and a value, both NUL-terminated, held inline in a 256-byte
/// record. Together they keep at most 253 bytes: a name is cut to 253 bytes, a value to what
/// the name leaves. A record that could not be stored reads as the out-of-memory placeholder.
class VORN_CORE_API argument {
  public:
    /// The stored name, or "out-of-memory" for the placeholder.
    const char* get_name() const noexcept;
    /// The stored value, or the out-of-memory message for the placeholder.
    const char* get_value() const noexcept;

    /// Copies the whole record.
    argument(const argument&) noexcept = default;
    argument& operator=(const argument&) = delete;
    ~argument() = default;

  private:
    friend struct detail::result_access;
    argument() noexcept = default;
    constexpr explicit argument(unsigned char value_offset) noexcept
        : value_offset_(value_offset), text_{} {}

    // Frozen layout: exactly 256 bytes, as argument lists are arrays of these records.
    unsigned char value_offset_;  ///< name length + 1, or 255 for the out-of-memory mark
    char text_[255];              ///< name, NUL, value, NUL
};

/// The named arguments of one status item, in insertion order; names need not be unique.
/// Adding never throws. When memory runs out the list closes: its last record then reads as
/// the out-of-memory placeholder and later additions are ignored.
class VORN_CORE_API argument_list {
  public:
    template <class Record>
    class basic_iterator;
    using iterator = basic_iterator<argument>;              ///< Iterator over the records.
    using const_iterator = basic_iterator<const argument>;  ///< Read-only iterator.

    argument_list() noexcept : count_(0), records_(nullptr) {}
    /// Takes the source's records; the source is left empty.
    argument_list(argument_list&& other) noexcept;
    /// Releases this list's records and takes the source's; the source is left empty.
    argument_list& operator=(argument_list&& other) noexcept;
    argument_list(const argument_list&) = delete;
    argument_list& operator=(const argument_list&) = delete;
    ~argument_list();

    /// Exchanges the records of the two lists; constant time.
    void swap(argument_list& other) noexcept;

    /// Appends (name, value), cut to the record's limits. Performs exactly one malloc or
    /// realloc; on failure the list closes as described above. Never throws.
    void set_argument(const std::string& name, const std::string& value) noexcept;
    /// The same from texts read in place (string views, C strings, literals): no temporary
    /// string is made. A C string is not null.
    ///@{
    void set_argument(std::string_view name, std::string_view value) noexcept;
    template <class Name, class Value,
              class = std::enable_if_t<v2::detail::is_text_v<Name> && v2::detail::is_text_v<Value>>>
    void set_argument(const Name& name, const Value& value) noexcept {
        set_argument(std::string_view(name), std::string_view(value));
    }
    ///@}
    /// Appends `count` arguments in order, each cut as by set_argument, with one allocation
    /// (none when a block released by this thread can be reused). If it fails, the list
    /// closes as when one addition fails: nothing of these arguments is stored.
    ///@{
    void set_arguments(const named_text* arguments, std::size_t count) noexcept;
    void set_arguments(std::initializer_list<named_text> arguments) noexcept {
        set_arguments(arguments.begin(), arguments.size());
    }
    ///@}

    /// Iteration in insertion order.
    ///@{
    iterator begin() noexcept;
    iterator end() noexcept;
    const_iterator begin() const noexcept;
    const_iterator end() const noexcept;
    const_iterator cbegin() const noexcept;
    const_iterator cend() const noexcept;
    ///@}

  private:
    friend struct detail::result_access;
    std::uint64_t count_;
    argument* records_;
};

/// Forward iterator over the records of a list. A default-constructed iterator is null; for an
/// empty list begin() and end() are both null.
template <class Record>
class argument_list::basic_iterator {
  public:
    /// The standard iterator types.
    ///@{
    using iterator_category = std::forward_iterator_tag;
    using value_type = argument;
    using difference_type = std::ptrdiff_t;
    using pointer = Record*;
    using reference = Record&;
    ///@}

    basic_iterator() noexcept = default;
    /// An iterator referring to `record`.
    explicit basic_iterator(Record* record) noexcept : record_(record) {}
    /// A const_iterator can be made from an iterator.
    template <class Other, class = std::enable_if_t<std::is_convertible_v<Other*, Record*>>>
    basic_iterator(const basic_iterator<Other>& other) noexcept : record_(&*other) {}

    /// The record referred to.
    ///@{
    reference operator*() const noexcept { return *record_; }
    pointer operator->() const noexcept { return record_; }
    ///@}
    /// Steps to the next record.
    ///@{
    basic_iterator& operator++() noexcept {
        ++record_;
        return *this;
    }
    basic_iterator operator++(int) noexcept {
        basic_iterator old = *this;
        ++record_;
        return old;
    }
    ///@}
    /// Exchanges the positions of the two iterators.
    void swap(basic_iterator& other) noexcept { std::swap(record_, other.record_); }

    friend bool operator==(const basic_iterator& a, const basic_iterator& b) noexcept {
        return a.record_ == b.record_;
    }
    friend bool operator!=(const basic_iterator& a, const basic_iterator& b) noexcept {
        return a.record_ != b.record_;
    }

  private:
    Record* record_ = nullptr;
};

/// An ordered collection of status items, newest first; the queries answer from the newest
/// item, and an empty stack reports success ("Success", code 0, not failed). Moves and swap are
/// constant time and never throw; a moved-from stack is empty.
class VORN_CORE_API stack {
    /// The two links shared by items and by the stack itself, which is the sentinel of its
    /// circular list: `next` is the stack's first (newest) item, `previous` its last (oldest).
    struct links {
        links* next;
        links* previous;
    };

  public:
    class item;
    template <class Item>
    class basic_iterator;
    using iterator = basic_iterator<item>;              ///< Iterator over the items.
    using const_iterator = basic_iterator<const item>;  ///< Read-only iterator.

    stack() noexcept : head_{&head_, &head_} {}
    /// Copies every item and argument in order. Throws std::bad_alloc only if a temporary copy
    /// of an argument text cannot be made; then nothing is left allocated.
    stack(const stack& other);
    /// Takes the source's items; the source is left empty.
    stack(stack&& other) noexcept;
    /// Replaces this stack's items with copies of the source's, as the copy constructor does.
    stack& operator=(const stack& other);
    /// Releases this stack's items and takes the source's; the source is left empty.
    stack& operator=(stack&& other) noexcept;
    ~stack();

    /// Exchanges the items of the two stacks; constant time.
    void swap(stack& other) noexcept;

    /// Adds a new newest item with the given category and code, marked as failed, and returns
    /// it. Never throws: the item comes from the heap (a block of an item this thread released
    /// serves first; a thread keeps a few until it ends), or from a 64-item static pool when
    /// the heap is exhausted. If the pool is exhausted too, the process ends with a message.
    item& push_item(const category& c, int value) noexcept;

    /// Pushes an item for code N of Category and passes it, with `extra`, to the category's
    /// create() for that code: push(integral_conversion_error::overflow, text).
    template <class Category, int N, class... Extra>
    item& push(code<Category, N> tag, Extra&&... extra);
    /// The same, then records `where` on the item (argument "source-location", see
    /// item::set_location): push(result::here(), tag, values...).
    template <class Category, int N, class... Extra>
    item& push(const source_location& where, code<Category, N> tag, Extra&&... extra);

    /// Pushes the errno value `value` under error_errno, with the argument "errno-name" (the
    /// value's symbolic name, such as ENOENT) when the C library knows one. Never throws.
    item& push_errno(int value) noexcept;
    /// Pushes a std::error_code. One made by to_error_code() gives back the item's category
    /// and code (not its arguments); one of std::generic_category() or std::system_category()
    /// is pushed as push_errno(value); any other is pushed under error_std_code with its value
    /// and the arguments "error-category" (the category's name) and "error-message". Never
    /// throws: a message that cannot be made is left out.
    item& push(const std::error_code& code) noexcept;
    /// Pushes e.code() as above, then the argument "what" with e.what().
    item& push(const std::system_error& e) noexcept;

    /// Removes and releases every item, newest first.
    void reset() noexcept;

    /// The number of items; 0 when empty. Walks the items: linear in their number.
    std::size_t size() const noexcept;

    /// Iteration from the newest item to the oldest.
    ///@{
    iterator begin() noexcept;
    iterator end() noexcept;
    const_iterator begin() const noexcept;
    const_iterator end() const noexcept;
    const_iterator cbegin() const noexcept;
    const_iterator cend() const noexcept;
    ///@}

    /// Queries on the newest item, or on the shared success item when the stack is empty.
    ///@{
    int get_value() const noexcept;
    bool has_failed() const noexcept;
    const char* get_message() const;
    const category& get_category() const noexcept;
    ///@}
    /// On an empty stack the non-const form returns an empty list private to the calling
    /// thread: anything written to it is dropped by the next call and reaches no stack.
    ///@{
    argument_list& get_argument_range() noexcept;
    const argument_list& get_argument_range() const noexcept;
    ///@}

    /// Compares the newest items only (same code, same category object); two empty stacks are
    /// equal, an empty and a non-empty stack are not.
    ///@{
    bool operator==(const stack& other) const noexcept;
    bool operator!=(const stack& other) const noexcept;
    ///@}

  private:
    friend struct detail::result_access;
    // Frozen layout: the two sentinel links; stacks live in callers' frames.
    links head_;
};

/// One status entry. Items are made only by push_item() and by copying a stack, and are owned
/// by their stack.
class VORN_CORE_API stack::item : private stack::links {
  public:
    /// The item's code.
    int get_value() const noexcept { return value_; }
    /// True for an item marked as failed; push_item() marks every item so.
    bool has_failed() const noexcept { return failed_; }
    /// The item's category object.
    const category& get_category() const noexcept { return *category_; }
    /// The category's message for this item's code; ends the process for an undefined code.
    const char* get_message() const;

    /// Appends one argument (see argument_list::set_argument). Never throws.
    void set_argument(const std::string& name, const std::string& value) noexcept;
    /// The same from texts read in place (see argument_list::set_argument).
    ///@{
    void set_argument(std::string_view name, std::string_view value) noexcept;
    template <class Name, class Value,
              class = std::enable_if_t<v2::detail::is_text_v<Name> && v2::detail::is_text_v<Value>>>
    void set_argument(const Name& name, const Value& value) noexcept {
        set_argument(std::string_view(name), std::string_view(value));
    }
    ///@}
    /// Appends several arguments with one allocation (see argument_list::set_arguments).
    ///@{
    void set_arguments(const named_text* arguments, std::size_t count) noexcept;
    void set_arguments(std::initializer_list<named_text> arguments) noexcept {
        set_arguments(arguments.begin(), arguments.size());
    }
    ///@}
    /// Appends the argument "source-location" with the text "file:line"; a text longer than a
    /// record holds keeps its end (the file's own name and the line). Without an argument,
    /// records the place of the call. Returns this item. Never throws.
    item& set_location(source_location where = source_location::current()) noexcept;

    /// The value of the first argument, in insertion order, named exactly `name`; "" if none.
    /// A name holding a NUL matches nothing.
    ///@{
    const char* get_argument_value(const std::string& name) const noexcept;
    const char* get_argument_value(std::string_view name) const noexcept;
    const char* get_argument_value(const char* name) const noexcept {
        return get_argument_value(std::string_view(name));
    }
    ///@}

    /// The item's arguments, in insertion order.
    ///@{
    argument_list& get_argument_range() noexcept { return arguments_; }
    const argument_list& get_argument_range() const noexcept { return arguments_; }
    ///@}

    /// Equal when the codes are equal and the categories are the same object.
    ///@{
    bool operator==(const item& other) const noexcept;
    bool operator!=(const item& other) const noexcept;
    ///@}

    item(const item&) = delete;
    item& operator=(const item&) = delete;

  private:
    friend class stack;
    template <class>
    friend class stack::basic_iterator;
    friend struct detail::result_access;
    item() noexcept = default;
    ~item() = default;

    // Frozen layout: 48 bytes with the links, as the exported interface records it.
    std::int32_t value_;
    bool failed_;
    const category* category_;
    argument_list arguments_;
};

/// Iterator over the items of a stack, newest to oldest. A default-constructed iterator is
/// null; begin() and end() of an empty stack are both null, and end() of a non-empty stack
/// refers to the stack itself.
template <class Item>
class stack::basic_iterator {
    using link_type = std::conditional_t<std::is_const_v<Item>, const links, links>;

  public:
    /// The standard iterator types.
    ///@{
    using iterator_category = std::forward_iterator_tag;
    using value_type = item;
    using difference_type = std::ptrdiff_t;
    using pointer = Item*;
    using reference = Item&;
    ///@}

    basic_iterator() noexcept = default;
    /// An iterator referring to the item `it`.
    explicit basic_iterator(Item* it) noexcept : node_(it) {}
    /// A const_iterator can be made from an iterator.
    template <class Other, class = std::enable_if_t<std::is_convertible_v<Other*, Item*>>>
    basic_iterator(const basic_iterator<Other>& other) noexcept : node_(other.node_) {}

    /// The item referred to.
    ///@{
    reference operator*() const noexcept { return static_cast<Item&>(*node_); }
    pointer operator->() const noexcept { return static_cast<Item*>(node_); }
    ///@}
    /// Steps to the next older item.
    ///@{
    basic_iterator& operator++() noexcept {
        node_ = node_->next;
        return *this;
    }
    basic_iterator operator++(int) noexcept {
        basic_iterator old = *this;
        node_ = node_->next;
        return old;
    }
    ///@}
    /// Exchanges the positions of the two iterators.
    void swap(basic_iterator& other) noexcept { std::swap(node_, other.node_); }

    friend bool operator==(const basic_iterator& a, const basic_iterator& b) noexcept {
        return a.node_ == b.node_;
    }
    friend bool operator!=(const basic_iterator& a, const basic_iterator& b) noexcept {
        return a.node_ != b.node_;
    }

  private:
    friend class stack;
    template <class>
    friend class basic_iterator;
    explicit basic_iterator(link_type* node) noexcept : node_(node) {}

    link_type* node_ = nullptr;
};

inline argument_list::const_iterator argument_list::cbegin() const noexcept {
    return begin();
}
inline argument_list::const_iterator argument_list::cend() const noexcept {
    return end();
}
inline stack::const_iterator stack::cbegin() const noexcept {
    return begin();
}
inline stack::const_iterator stack::cend() const noexcept {
    return end();
}

template <class Category, int N, class... Extra>
stack::item& stack::push(code<Category, N> tag, Extra&&... extra) {
    const Category& c = Category::instance();
    item& pushed = push_item(c, N);
    c.create(pushed, tag, std::forward<Extra>(extra)...);
    return pushed;
}

template <class Category, int N, class... Extra>
stack::item& stack::push(const source_location& where, code<Category, N> tag, Extra&&... extra) {
    return push(tag, std::forward<Extra>(extra)...).set_location(where);
}

/// Same as a.swap(b).
inline void swap(stack& a, stack& b) noexcept {
    a.swap(b);
}
/// Same as a.swap(b).
inline void swap(argument_list& a, argument_list& b) noexcept {
    a.swap(b);
}

/// The items of `status`, newest first, one line each: the category's name, a blank, the code,
/// ": ", the message, then "; name=value" for each argument in order. Lines are separated by
/// "\n", with none after the last; an empty stack gives "Success". Names, messages and values
/// are written as stored, without quoting or escaping (a value holding a line break breaks
/// its line). Throws std::bad_alloc; a code its category does not define ends the process.
VORN_CORE_API std::string to_string(const stack& status);
/// Writes to_string(status) to `out`.
VORN_CORE_API std::ostream& operator<<(std::ostream& out, const stack& status);

/// The newest item of `status` as a std::error_code: the item's code under a
/// std::error_category whose name() is the name of the item's category and whose message() is
/// that category's message for the code (a code the category does not define ends the
/// process there, as get_message() does). There is one such std::error_category per status
/// category, for the life of the process, so codes compare as their items do; stack::push()
/// of the result gives back the category and the code. The code of an error_errno item also
/// compares equal to the std::errc of its value. An empty stack gives std::error_code()
/// (success). Throws std::bad_alloc only when more than 128 categories have been converted
/// and the heap is exhausted.
VORN_CORE_API std::error_code to_error_code(const stack& status);

// ---------------------------------------------------------------------------------------------
// Categories described by a table of their codes

/// What a described category says of one code.
struct code_description {
    /// The most argument names a code can have.
    static constexpr std::size_t max_arguments = 6;

    int value;                                  ///< the code
    const char* message;                        ///< its message, a text with static lifetime
    const char* argument_names[max_arguments];  ///< the names of the values a push attaches
    std::size_t argument_count;                 ///< how many names are used
};

/// Code N of Category with its message and the names of the values that a push attaches, in
/// order: static constexpr code<3> bad_amount{"The amount is not a decimal", "received"};
/// It is a result::code<Category, N>, so status.push(Category::bad_amount, value) pushes it.
template <class Category, int N>
struct described_code : code<Category, N> {
    /// `message` and the names are texts with static lifetime (string literals).
    template <class... Names>
    constexpr described_code(const char* message, Names... argument_names) noexcept
        : description{N, message, {static_cast<const char*>(argument_names)...}, sizeof...(Names)} {
        static_assert(sizeof...(Names) <= code_description::max_arguments,
                      "a described code has at most code_description::max_arguments names");
    }

    code_description description;  ///< the code, its message and its argument names
};

/// The codes of a described category, made by described_category::list().
template <std::size_t Count>
struct code_table {
    code_description entries[Count];  ///< one per code, in the order listed

    /// The place of `value` in entries, or Count when the category does not define it.
    constexpr std::size_t index_of(int value) const noexcept {
        std::size_t at = 0;
        while (at < Count && entries[at].value != value) {
            ++at;
        }
        return at;
    }
    /// The description of `value`, or null when the category does not define it.
    constexpr const code_description* find(int value) const noexcept {
        const std::size_t at = index_of(value);
        return at < Count ? &entries[at] : nullptr;
    }
};

namespace detail {
// Reached only while a code list is checked at compile time: a list with a code 0, a code
// given twice or a null text does not compile.
VORN_CORE_API void codes_must_be_nonzero_distinct_and_named();
}  // namespace detail

/// The base of a category described by a table: derive Derived from
/// described_category<Derived> and give it, publicly, a `static constexpr const char* name`
/// and one `static constexpr code<N> constant{message, argument names...}` per code, then
/// `static constexpr auto codes = list(constant, ...)` naming each once. Derived is then an
/// ordinary category: one object reached by instance(), compared by identity; get_name() is
/// `name`; get_message() gives a listed code's message and ends the process for any other
/// code, as every category does; create() attaches one value per argument name, texts as they
/// are and integers in decimal, with one allocation. Codes are nonzero and distinct, checked
/// at compile time, as are the number of values a push gives and the code being listed.
template <class Derived>
class described_category : public category {
  public:
    /// The type of the constant for code N of this category.
    template <int N>
    using code = described_code<Derived, N>;

    /// The one object of the category.
    static Derived& instance() noexcept {
        static Derived the_category;
        return the_category;
    }

    /// Derived::name.
    const char* get_name() const override { return Derived::name; }
    /// The message of a listed code; any other code ends the process (see category).
    const char* get_message(int value) const override {
        if (const code_description* d = Derived::codes.find(value)) {
            return d->message;
        }
        show_invalid_value_message_and_exit(value);
    }

    /// Attaches `values` to `item` under the code's argument names, in order: texts (strings,
    /// string views, C strings) as they are, integers in decimal. Called by stack::push().
    template <int N, class... Values>
    void create(stack::item& item, result::code<Derived, N>,
                const Values&... values) const noexcept {
        // Indexes rather than pointers: comparing addresses is not a constant expression under
        // every compiler's sanitizers.
        constexpr std::size_t count = std::size(Derived::codes.entries);
        constexpr std::size_t at = Derived::codes.index_of(N);
        static_assert(at < count, "the code is not in the category's list of codes");
        static_assert(at == count || Derived::codes.entries[at].argument_count == sizeof...(Values),
                      "a push gives one value for each argument name of its code");
        if constexpr (sizeof...(Values) != 0) {
            const code_description& d = Derived::codes.entries[at];
            const v2::detail::argument_text texts[] = {values...};
            named_text arguments[sizeof...(Values)];
            for (std::size_t i = 0; i < sizeof...(Values); ++i) {
                arguments[i] = named_text{d.argument_names[i], texts[i].view()};
            }
            item.set_arguments(arguments, sizeof...(Values));
        }
    }

  protected:
    constexpr described_category() noexcept = default;

    /// The table of the category's codes, from their constants; checked at compile time.
    template <int... N>
    static constexpr code_table<sizeof...(N)> list(const code<N>&... codes) noexcept {
        code_table<sizeof...(N)> table{{codes.description...}};
        for (std::size_t i = 0; i < sizeof...(N); ++i) {
            const code_description& d = table.entries[i];
            bool named = d.value != 0 && d.message != nullptr;
            for (std::size_t a = 0; a < d.argument_count; ++a) {
                named = named && d.argument_names[a] != nullptr;
            }
            for (std::size_t j = 0; j < i; ++j) {
                named = named && table.entries[j].value != d.value;
            }
            if (!named) {
                detail::codes_must_be_nonzero_distinct_and_named();
            }
        }
        return table;
    }
};

}  // namespace result

/// Failures of converting text to an integer. Codes: 1 `overflow` ("The string value is too big
/// for the target type"), 2 `invalid_value` ("The string value is not a number"); create()
/// attaches the text as argument "string_value".
class VORN_CORE_API integral_conversion_error : public result::category {
  public:
    static const result::code<integral_conversion_error, 1> overflow;       ///< Code 1.
    static const result::code<integral_conversion_error, 2> invalid_value;  ///< Code 2.

    /// The one object of this category.
    static integral_conversion_error& instance();

    ~integral_conversion_error() override;
    /// "vorn-core-integralconversionerror"
    const char* get_name() const override;
    const char* get_message(int code) const override;

    /// Attaches `text` to `item` as argument "string_value"; called by stack::push().
    ///@{
    void create(result::stack::item& item, result::code<integral_conversion_error, 1>,
                const std::string& text) const;
    void create(result::stack::item& item, result::code<integral_conversion_error, 2>,
                const std::string& text) const;
    ///@}
    /// The same for a text read in place (a string view, a C string): no copy is made.
    template <int N, class Text,
              class = std::enable_if_t<(N == 1 || N == 2) && v2::detail::is_text_v<Text>>>
    void create(result::stack::item& item, result::code<integral_conversion_error, N>,
                const Text& text) const noexcept {
        item.set_arguments({{"string_value", std::string_view(text)}});
    }

  private:
    constexpr integral_conversion_error() noexcept = default;
};

/// Bad input handed to a converter. Codes: 1 "Parâmetro do converter com valor inválido",
/// 2 "Argumento de conversão inválidos"; create() attaches nothing.
class VORN_CORE_API converter_result_category : public result::category {
  public:
    /// The one object of this category.
    static converter_result_category& instance();

    ~converter_result_category() override;
    /// "vornbase-core-converter_result_category"
    const char* get_name() const override;
    const char* get_message(int code) const override;

    /// Attaches nothing; called by stack::push().
    ///@{
    void create(result::stack::item& item, result::code<converter_result_category, 1>) const;
    void create(result::stack::item& item, result::code<converter_result_category, 2>) const;
    ///@}

  private:
    constexpr converter_result_category() noexcept = default;
};

/// errno values as status codes, pushed by result::stack::push_errno(). Each code reads as the
/// C library's fixed text for it ("No such file or directory" for ENOENT), 0 as "Success" and
/// a value the C library has no text for as "Unknown error": every code is defined.
class VORN_CORE_API error_errno : public result::category {
  public:
    /// The one object of this category.
    static error_errno& instance();

    ~error_errno() override;
    /// "vorn-core-error-errno"
    const char* get_name() const override;
    const char* get_message(int code) const override;

  private:
    constexpr error_errno() noexcept = default;
};

/// A std::error_code of a category foreign to this library, pushed by result::stack::push():
/// the item's code is the error_code's value, its arguments "error-category" and
/// "error-message" say what it was. Every code reads "An error reported through a
/// std::error_code".
class VORN_CORE_API error_std_code : public result::category {
  public:
    /// The one object of this category.
    static error_std_code& instance();

    ~error_std_code() override;
    /// "vorn-core-error-std-code"
    const char* get_name() const override;
    const char* get_message(int code) const override;

  private:
    constexpr error_std_code() noexcept = default;
};

}  // namespace vorn::core::v2

/// Evaluates `expression`, which gives a result::stack, and if it has failed returns it from
/// the enclosing function, moved (an lvalue operand is moved from). Use it as a statement.
#define VORN_RETURN_IF_FAILED(expression)            \
    do {                                             \
        auto&& vorn_result_status_ = (expression);   \
        if (vorn_result_status_.has_failed()) {      \
            return ::std::move(vorn_result_status_); \
        }                                            \
    } while (false)

/// As VORN_RETURN_IF_FAILED, but before returning pushes the caller's own item on top, with
/// the place of the macro: VORN_RETURN_IF_FAILED_PUSH(read(line), my_errors::bad_line, n)
/// is status.push(result::here(), my_errors::bad_line, n) on the failed stack.
#define VORN_RETURN_IF_FAILED_PUSH(expression, ...)                                        \
    do {                                                                                   \
        auto&& vorn_result_status_ = (expression);                                         \
        if (vorn_result_status_.has_failed()) {                                            \
            vorn_result_status_.push(::vorn::core::v2::result::source_location::current(), \
                                     __VA_ARGS__);                                         \
            return ::std::move(vorn_result_status_);                                       \
        }                                                                                  \
    } while (false)

#endif  // VORN_CORE_RESULT_HPP
