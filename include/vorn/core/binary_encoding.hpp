// SPDX-License-Identifier: MIT
/// \file
/// vorn/core/binary_encoding.hpp: streaming binary-to-text encoders and decoders, Base64,
/// URL-safe Base64 and hexadecimal.
///
/// An encoder takes bytes in any number of pieces and gives the complete text on finish(); a
/// decoder takes text in any number of pieces and gives the complete bytes. Where the pieces
/// are split never matters. What a decoder accepts depends on its decode_options:
///
/// - standard (the default): Base64 in groups of four alphabet characters, "=" padding
///   required (Base64url: absent, or exactly right), no whitespace; the unused low bits of the
///   last significant character are ignored, so "Zm9=" reads as "Zm8=" ("fo"). Hex: digit
///   pairs, either case.
/// - canonical: as standard, and those unused bits must be zero, so that a byte sequence has
///   exactly one accepted text (up to Base64url's optional padding, and hex's letter case).
/// - forgiving: ASCII whitespace (tab, line feed, form feed, carriage return, space) is
///   skipped anywhere in a Base64 text, and padding is optional but must be right if present
///   (the web platform's forgiving-base64, as `atob` reads); in hex, whitespace is skipped
///   between digit pairs, never inside one. Combines with canonical.
///
/// Anything else is refused, and a refused text decodes to an empty byte_array.
/// error_binary_encoding is the status category a caller pushes to report a refused or
/// incomplete text. An encoder writes one line unless given a line_wrap (MIME, PEM).
///
///   namespace vc = vorn::core::v2;
///   std::string text = vc::binary_encoder::encode(vc::binary_encoding::base64, bytes);
///
///   vc::binary_decoder decoder(vc::binary_encoding::base64);
///   decoder.add_string("Zm9v");
///   decoder.add_string("YmE=");
///   vc::byte_array decoded = decoder.finish();   // "fooba"; empty if the text was refused
///   status.push(vc::error_binary_encoding::refused, vc::binary_encoding::base64url, payload);
///
///   char out[64];                                 // the caller's buffer, never overrun
///   vc::encode_result r = vc::binary_encoder::encode_to(vc::binary_encoding::base64url, "foo",
///                                                       out, sizeof out);
///   std::string pem = vc::binary_encoder::encode(vc::binary_encoding::base64, der,
///                                                vc::line_wrap::pem());
///   vc::byte_array body = vc::binary_decoder::decode(vc::binary_encoding::base64, mime_text,
///                                                    vc::decode_options::forgiving);
#ifndef VORN_CORE_BINARY_ENCODING_HPP
#define VORN_CORE_BINARY_ENCODING_HPP

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

#include "vorn/core/byte_array.hpp"
#include "vorn/core/export.hpp"
#include "vorn/core/result.hpp"

namespace vorn::core::v2 {

/// The text form. Any other value is refused with std::logic_error by the constructors and the
/// one-shot functions below.
enum class binary_encoding : std::uint32_t {
    hex = 0,     ///< two lower-case digits per byte; decoding accepts either case
    base64 = 1,  ///< RFC 4648 section 4: standard alphabet, "=" padding, no line breaks
    /// RFC 4648 section 5: "-" and "_" in place of "+" and "/", which it refuses. Written
    /// without padding; read without padding or with exactly the right padding.
    base64url = 2,
};

/// What the text fed so far is.
enum class decode_status : std::uint32_t {
    complete = 0,    ///< a whole text (the empty one included): finish() gives its bytes
    incomplete = 1,  ///< it ends inside a group; more input can still complete it
    refused = 2,     ///< no continuation can make it valid: finish() gives an empty array
    /// Only from the forms that write into a caller's buffer of a given capacity: the bytes do
    /// not fit, and nothing that counts was written; decode_result::size is the size needed.
    too_small = 3,
};

/// How a decoder reads its text; see the top of this file for what each accepts. canonical
/// and forgiving combine with `|`.
enum class decode_options : std::uint32_t {
    standard = 0,   ///< the default; unused low bits of the last character ignored
    canonical = 1,  ///< Base64: refuses non-zero unused bits; no effect on hex
    forgiving = 2,  ///< skips ASCII whitespace, makes Base64 padding optional
};

/// Both sets of options.
constexpr decode_options operator|(decode_options a, decode_options b) noexcept {
    return static_cast<decode_options>(static_cast<std::uint32_t>(a) |
                                       static_cast<std::uint32_t>(b));
}
/// The options in both sets; compare with decode_options::standard to test for one.
constexpr decode_options operator&(decode_options a, decode_options b) noexcept {
    return static_cast<decode_options>(static_cast<std::uint32_t>(a) &
                                       static_cast<std::uint32_t>(b));
}

/// Line breaks in an encoder's text: after every `length` characters, and after the last
/// line, `end` is written. A length of 0 (the default) writes the text as one line with no end.
/// `end` holds at most 4 characters (longer ends throw std::invalid_argument); an encoder
/// copies it.
struct line_wrap {
    std::size_t length = 0;       ///< characters per line; 0 for no breaks
    std::string_view end = "\n";  ///< written after each line, the last included

    /// MIME (RFC 2045): lines of 76 characters ended by CR LF.
    static constexpr line_wrap mime() noexcept { return {76, "\r\n"}; }
    /// PEM (RFC 7468): lines of 64 characters ended by LF.
    static constexpr line_wrap pem() noexcept { return {64, "\n"}; }
};

/// "hex", "base64" or "base64url"; "invalid" for any other value.
constexpr const char* to_string(binary_encoding encoding) noexcept {
    switch (encoding) {
        case binary_encoding::hex:
            return "hex";
        case binary_encoding::base64:
            return "base64";
        case binary_encoding::base64url:
            return "base64url";
    }
    return "invalid";
}

/// "complete", "incomplete", "refused" or "too_small"; "invalid" for any other value.
constexpr const char* to_string(decode_status status) noexcept {
    switch (status) {
        case decode_status::complete:
            return "complete";
        case decode_status::incomplete:
            return "incomplete";
        case decode_status::refused:
            return "refused";
        case decode_status::too_small:
            return "too_small";
    }
    return "invalid";
}

/// Writes to_string(value), honouring the stream's width and fill like a string.
///@{
VORN_CORE_API std::ostream& operator<<(std::ostream& out, binary_encoding value);
VORN_CORE_API std::ostream& operator<<(std::ostream& out, decode_status value);
///@}

/// What encoding into a caller's buffer of a given capacity did.
struct encode_result {
    std::size_t size;  ///< characters written; when too_small, the characters the text needs
    bool too_small;    ///< the text does not fit: nothing that counts was written
};

/// What decoding into a caller's buffer wrote.
struct decode_result {
    /// Bytes written; 0 unless status is complete, except for too_small, where it is the
    /// number of bytes the (valid) text decodes to.
    std::size_t size;
    decode_status status;  ///< incomplete, refused and too_small write nothing that counts
    /// True unless status is complete, that is whenever nothing usable was written.
    bool refused() const noexcept { return status != decode_status::complete; }
};

namespace detail {
struct binary_encoder_impl;
struct binary_decoder_impl;
}  // namespace detail

/// Turns bytes into text, fed in any number of pieces.
class VORN_CORE_API binary_encoder {
  public:
    /// An encoder with no input yet. Throws std::logic_error for an invalid `encoding`, and
    /// std::bad_alloc.
    explicit binary_encoder(binary_encoding encoding);
    /// An encoder whose text is broken into lines as `wrap` says. Throws like the above, and
    /// std::invalid_argument for a line end longer than 4 characters.
    binary_encoder(binary_encoding encoding, line_wrap wrap);
    /// An independent copy: continuing either stream does not affect the other.
    binary_encoder(const binary_encoder& other);
    ~binary_encoder();
    /// Makes this encoder an independent copy of `other`. On an exception it is unchanged.
    binary_encoder& operator=(const binary_encoder& other);

    /// Feeds `size` bytes (none when size is 0). Throws std::bad_alloc or std::length_error;
    /// the encoder may then only be destroyed or assigned.
    ///@{
    void add_data(const unsigned char* data, std::size_t size);
    void add_data(const byte_array& data);
    ///@}
    /// Feeds the characters of `data` as bytes (a std::string, a string literal); no copy is
    /// made. A C string is read up to its NUL and never converted to a byte_array.
    ///@{
    void add_data(std::string_view data);
    void add_data(const char* data) { add_data(std::string_view(data)); }
    ///@}

    /// The complete text of everything fed since construction. Changes nothing: it may be
    /// called again, and feeding may go on, a later finish() covering all of it.
    std::string finish() const;

    /// The text of `size` bytes, in one call.
    ///@{
    static std::string encode(binary_encoding encoding, const unsigned char* data,
                              std::size_t size);
    static std::string encode(binary_encoding encoding, const byte_array& data);
    static std::string encode(binary_encoding encoding, std::string_view data);
    static std::string encode(binary_encoding encoding, const char* data) {
        return encode(encoding, std::string_view(data));
    }
    ///@}
    /// The text of `size` bytes in lines as `wrap` says, in one call; the same text as an
    /// encoder built with `wrap` gives. Throws std::invalid_argument for a line end longer than
    /// 4 characters.
    ///@{
    static std::string encode(binary_encoding encoding, const unsigned char* data, std::size_t size,
                              line_wrap wrap);
    static std::string encode(binary_encoding encoding, std::string_view data, line_wrap wrap) {
        return encode(encoding, reinterpret_cast<const unsigned char*>(data.data()), data.size(),
                      wrap);
    }
    ///@}
    /// Appends the text of `size` bytes (in lines as `wrap` says) to `to`, growing it at most
    /// once and writing each character once. On an exception `to` is unchanged.
    ///@{
    static void encode_append(binary_encoding encoding, const unsigned char* data, std::size_t size,
                              std::string& to, line_wrap wrap = {});
    static void encode_append(binary_encoding encoding, std::string_view data, std::string& to,
                              line_wrap wrap = {}) {
        encode_append(encoding, reinterpret_cast<const unsigned char*>(data.data()), data.size(),
                      to, wrap);
    }
    ///@}

    /// The exact size of the text of `size` bytes. Throws std::length_error when it does not
    /// fit in size_t, std::logic_error for an invalid `encoding`.
    static std::size_t encoded_size(binary_encoding encoding, std::size_t size);
    /// The same for the text in lines as `wrap` says, line ends included.
    static std::size_t encoded_size(binary_encoding encoding, std::size_t size, line_wrap wrap);
    /// Writes the text of `size` bytes to `out`, which must hold encoded_size(encoding, size)
    /// characters (no terminator is added), and returns that size. Never allocates. The
    /// forms below that take the buffer's capacity check it for you.
    ///@{
    static std::size_t encode_to(binary_encoding encoding, const unsigned char* data,
                                 std::size_t size, char* out);
    static std::size_t encode_to(binary_encoding encoding, std::string_view data, char* out) {
        return encode_to(encoding, reinterpret_cast<const unsigned char*>(data.data()), data.size(),
                         out);
    }
    ///@}
    /// Writes the text of `size` bytes (in lines as `wrap` says) to `out`, which holds
    /// `capacity` characters, when it fits; otherwise writes nothing and reports too_small with
    /// the size needed. Never writes past `capacity`, adds no terminator, never allocates.
    /// Throws std::invalid_argument for a line end longer than 4 characters.
    ///@{
    static encode_result encode_to(binary_encoding encoding, const unsigned char* data,
                                   std::size_t size, char* out, std::size_t capacity,
                                   line_wrap wrap = {});
    static encode_result encode_to(binary_encoding encoding, std::string_view data, char* out,
                                   std::size_t capacity, line_wrap wrap = {}) {
        return encode_to(encoding, reinterpret_cast<const unsigned char*>(data.data()), data.size(),
                         out, capacity, wrap);
    }
    ///@}

    /// The size finish() would return now, and its text written to `out` (which holds that
    /// many characters) without allocating; returns the size written. Both change nothing.
    ///@{
    std::size_t finished_size() const noexcept;
    std::size_t finish_to(char* out) const noexcept;
    ///@}
    /// finish() written to `out`, which holds `capacity` characters, when it fits; otherwise
    /// nothing is written and too_small reports the size needed. Changes nothing.
    encode_result finish_to(char* out, std::size_t capacity) const noexcept;
    /// Appends finish() to `to`, growing it at most once. On an exception `to` is unchanged.
    void finish_append(std::string& to) const;

  private:
    // Frozen layout: the handle is this one pointer, compiled into every caller.
    detail::binary_encoder_impl* impl_;
};

/// Turns text back into bytes, fed in any number of pieces.
class VORN_CORE_API binary_decoder {
  public:
    /// A decoder with no input yet. Throws std::logic_error for an invalid `encoding`, and
    /// std::bad_alloc.
    explicit binary_decoder(binary_encoding encoding);
    /// A decoder that reads its text as `options` say (see the top of this file). Throws like
    /// the above.
    binary_decoder(binary_encoding encoding, decode_options options);
    /// An independent copy: continuing either stream does not affect the other.
    binary_decoder(const binary_decoder& other);
    ~binary_decoder();
    /// Makes this decoder an independent copy of `other`. On an exception it is unchanged.
    binary_decoder& operator=(const binary_decoder& other);

    /// Feeds `size` characters (none when size is 0). A character that can never be part of a
    /// valid text refuses the whole stream for good, whatever is fed later. Throws
    /// std::bad_alloc or std::length_error; the decoder may then only be destroyed or assigned.
    ///@{
    void add_string(const char* text, std::size_t size);
    void add_string(const std::string& text);
    ///@}
    /// `text` is NUL-terminated and not null.
    ///@{
    void add_string(const char* text);
    void add_string(std::string_view text);
    ///@}

    /// What the text fed so far is; see decode_status. A refused stream stays refused.
    decode_status get_status() const noexcept;
    /// get_status() compared with one status.
    ///@{
    bool is_complete() const noexcept { return get_status() == decode_status::complete; }
    bool is_incomplete() const noexcept { return get_status() == decode_status::incomplete; }
    bool is_refused() const noexcept { return get_status() == decode_status::refused; }
    ///@}

    /// The bytes of everything fed since construction, or an empty array when the text is
    /// refused. A text that merely ends early (a Base64 group short of four characters, an
    /// unpaired hex digit) gives an empty array now, and feeding the rest completes it.
    /// Changes nothing: it may be called again, and feeding may go on.
    byte_array finish() const;

    /// The bytes of `text`, or an empty array when it is refused, in one call.
    ///@{
    static byte_array decode(binary_encoding encoding, const char* text, std::size_t size);
    static byte_array decode(binary_encoding encoding, const std::string& text);
    ///@}
    /// `text` is NUL-terminated and not null.
    ///@{
    static byte_array decode(binary_encoding encoding, const char* text);
    static byte_array decode(binary_encoding encoding, std::string_view text);
    ///@}
    /// As decode, and `status` tells whether the text was complete, incomplete or refused
    /// (the array is empty unless it was complete).
    static byte_array decode(binary_encoding encoding, std::string_view text,
                             decode_status& status);
    /// The same, reading `text` as `options` say.
    ///@{
    static byte_array decode(binary_encoding encoding, std::string_view text,
                             decode_options options);
    static byte_array decode(binary_encoding encoding, std::string_view text,
                             decode_options options, decode_status& status);
    ///@}
    /// Appends the bytes of `text` (read as `options` say) to `to`, growing it at most once
    /// and without filling the new room first, and returns the text's status. Unless it is
    /// complete, `to` keeps its size and bytes (its capacity may have grown). Throws
    /// std::bad_alloc or std::length_error with `to` unchanged.
    static decode_status decode_append(binary_encoding encoding, std::string_view text,
                                       byte_array& to,
                                       decode_options options = decode_options::standard);

    /// At least the number of bytes a text of `size` characters decodes to: exact for a
    /// valid hex or unpadded Base64url text, at most 2 more for a padded Base64 one. Throws
    /// std::logic_error for an invalid `encoding`.
    static std::size_t decoded_size_bound(binary_encoding encoding, std::size_t size);
    /// Decodes `text` into `out`, which must hold decoded_size_bound(encoding, text size)
    /// bytes, without allocating. Returns the bytes written and the text's status; an
    /// incomplete or refused text writes nothing that counts (out may hold scratch bytes). The
    /// form below that takes the buffer's capacity checks it for you.
    ///@{
    static decode_result decode_to(binary_encoding encoding, const char* text, std::size_t size,
                                   unsigned char* out);
    static decode_result decode_to(binary_encoding encoding, std::string_view text,
                                   unsigned char* out) {
        return decode_to(encoding, text.data(), text.size(), out);
    }
    ///@}
    /// Decodes `text` (read as `options` say) into `out`, which holds `capacity` bytes, never
    /// writing past them, without allocating. A complete text whose bytes do not fit gives
    /// too_small with the size needed; a refused or incomplete one gives its status, whatever
    /// the capacity. Only a complete result counts: `out` may otherwise hold scratch bytes.
    static decode_result decode_to(binary_encoding encoding, std::string_view text,
                                   unsigned char* out, std::size_t capacity,
                                   decode_options options = decode_options::standard);

    /// The number of bytes finish() would return now, and those bytes written to `out` (which
    /// holds that many) without allocating; returns the size and the status. Change nothing.
    ///@{
    std::size_t finished_size() const noexcept;
    decode_result finish_to(unsigned char* out) const noexcept;
    ///@}
    /// finish() written to `out`, which holds `capacity` bytes, when it fits; otherwise nothing
    /// is written and too_small reports the size needed. Incomplete and refused streams give
    /// their status. Changes nothing.
    decode_result finish_to(unsigned char* out, std::size_t capacity) const noexcept;
    /// Appends finish() to `to` and returns the stream's status, as decode_append does.
    decode_status finish_append(byte_array& to) const;

  private:
    // Frozen layout: the handle is this one pointer, compiled into every caller.
    detail::binary_decoder_impl* impl_;
};

/// The status category for a text that a decoder refused or that ends inside a group. Codes:
/// 1 `refused` ("The text is not valid in its binary encoding"), 2 `incomplete` ("The text
/// ends inside a group"); create() attaches the arguments "encoding" and "received-value".
class VORN_CORE_API error_binary_encoding : public result::category {
  public:
    /// The one object of this category.
    static error_binary_encoding& instance();
    /// Code 1, for status.push(error_binary_encoding::refused, encoding, received).
    static const result::code<error_binary_encoding, 1> refused;
    /// Code 2, for status.push(error_binary_encoding::incomplete, encoding, received).
    static const result::code<error_binary_encoding, 2> incomplete;

    ~error_binary_encoding() override;
    /// "vorn-core-error-binary-encoding"
    const char* get_name() const override;
    const char* get_message(int code) const override;

    /// Attaches "encoding" ("hex", "base64" or "base64url"; "invalid" for any other value) and
    /// then "received-value" (`received`, kept up to 239 bytes) to `item`, with one allocation.
    ///@{
    void create(result::stack::item& item, result::code<error_binary_encoding, 1>,
                binary_encoding encoding, std::string_view received) const noexcept;
    void create(result::stack::item& item, result::code<error_binary_encoding, 2>,
                binary_encoding encoding, std::string_view received) const noexcept;
    ///@}

    /// Pushes `refused` or `incomplete` on `status` as `outcome` says and returns the new item;
    /// for a complete text, too_small (a fault of the buffer, not of the text) or any other
    /// outcome pushes nothing and returns null.
    static result::stack::item* report(result::stack& status, decode_status outcome,
                                       binary_encoding encoding,
                                       std::string_view received) noexcept;

  private:
    constexpr error_binary_encoding() noexcept = default;
};

}  // namespace vorn::core::v2

#endif  // VORN_CORE_BINARY_ENCODING_HPP
