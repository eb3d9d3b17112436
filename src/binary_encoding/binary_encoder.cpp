// SPDX-License-Identifier: MIT
// The encoder front-end: streamed encoding into one growing buffer, and the one-shot forms,
// which keep no state record and write straight into their result or the caller's buffer.
//
// This file is compiled as C++23 so that std::string::resize_and_overwrite (libstdc++ 12
// offers it to C++23 code alone) can size a result without filling it first; the string's
// layout and ABI do not depend on the language mode.
#include <cstddef>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <memory>
#include <stdexcept>
#include <utility>

#include "binary_encoding/state.hpp"
#include "byte_array/byte_array_access.hpp"
#include "vorn/core/binary_encoding.hpp"

namespace vorn::core::v2::detail {

codec_id codec_of(binary_encoding encoding) {
    switch (encoding) {
        case binary_encoding::hex:
            return codec_id::hex;
        case binary_encoding::base64:
            return codec_id::base64;
        case binary_encoding::base64url:
            return codec_id::base64url;
    }
    // Frozen text, as programs and their logs see it, spelling included.
    throw std::logic_error("Codificação binária inválida! Não foi possível obter o algoritimo.");
}

}  // namespace vorn::core::v2::detail

namespace vorn::core::v2 {

static_assert(sizeof(binary_encoder) == sizeof(void*), "binary_encoder is one owning pointer");
// Passed by value to exported functions: its layout is part of the ABI.
static_assert(sizeof(line_wrap) == sizeof(std::size_t) + sizeof(std::string_view) &&
                  offsetof(line_wrap, end) == sizeof(std::size_t),
              "line_wrap is a length and a view of the line end");
static_assert(sizeof(encode_result) == 2 * sizeof(std::size_t),
              "encode_result is a size and a flag");

namespace {

using detail::codec_id;

// The characters the end marking of `pending` (0-2 carried bytes) adds to Base64 or Base64url
// text; hex text has no end marking and never comes here.
std::size_t final_size(codec_id codec, std::size_t pending) noexcept {
    if (pending == 0) {
        return 0;
    }
    return codec == codec_id::base64 ? 4 : pending + 1;
}

// The most input bytes whose text still has a size that fits in size_t. SIZE_MAX is
// 4k + 3: padded Base64 fits k whole groups, unpadded Base64url k groups and 2 more bytes.
std::size_t max_input(codec_id codec) noexcept {
    if (codec == codec_id::hex) {
        return SIZE_MAX / 2;
    }
    return codec == codec_id::base64 ? SIZE_MAX / 4 * 3 : SIZE_MAX / 4 * 3 + 2;
}

std::size_t text_size(codec_id codec, std::size_t size) {
    if (size > max_input(codec)) {
        throw std::length_error("vorn::core::binary_encoding: input too large");
    }
    if (codec == codec_id::hex) {
        return 2 * size;
    }
    return size / 3 * 4 + final_size(codec, size % 3);
}

// Writes the whole text of `size` bytes to `out`; returns its size. The path of an unbroken
// line, without the text writer's staging.
// bench/binary_encoding_bench.cpp: encode_to_buffer/encoding:1/bytes:64
std::size_t encode_whole(codec_id codec, const unsigned char* data, std::size_t size,
                         char* out) noexcept {
    if (codec == codec_id::hex) {
        detail::hex_encode_bytes(data, size, out);
        return 2 * size;
    }
    const std::size_t groups = size / 3;
    detail::base64_encode_groups(codec, data, groups, out);
    return 4 * groups + detail::base64_encode_final(detail::alphabet_of(codec), data + 3 * groups,
                                                    size % 3, out + 4 * groups);
}

// `size` more characters written at the end of `text` by `write(char*)`: one growth at most,
// the new room not filled first where the standard library allows. On an exception `text` is
// unchanged.
template <class Write>
void append_text(std::string& text, std::size_t size, Write write) {
    const std::size_t old_size = text.size();
    if (size > text.max_size() - old_size) {
        throw std::length_error("vorn::core::binary_encoding: text too large");
    }
#if defined(__cpp_lib_string_resize_and_overwrite)
    // The size is returned as computed: the second argument is not the requested size in
    // every library version.
    text.resize_and_overwrite(old_size + size, [&](char* out, std::size_t) noexcept {
        write(out + old_size);
        return old_size + size;
    });
#else
    text.resize(old_size + size);
    write(text.data() + old_size);
#endif
}

// A string of `size` characters written by `write(char*)`, allocated once.
template <class Write>
std::string make_text(std::size_t size, Write write) {
    std::string text;
    append_text(text, size, write);
    return text;
}

// The line breaks `wrap` asks for. Throws std::invalid_argument for an end that is too long.
detail::line_layout layout_of(line_wrap wrap) {
    detail::line_layout layout;
    if (wrap.length == 0) {
        return layout;
    }
    if (wrap.end.size() > detail::line_layout::max_end) {
        throw std::invalid_argument("vorn::core::binary_encoding: line end longer than 4");
    }
    layout.length = wrap.length;
    if (!wrap.end.empty()) {  // an empty view may hold a null pointer
        std::memcpy(layout.end, wrap.end.data(), wrap.end.size());
    }
    layout.end_size = wrap.end.size();
    return layout;
}

// The size of a text of `size` characters once broken into lines; false when it does not fit
// in size_t.
bool wrapped_size(const detail::line_layout& layout, std::size_t size,
                  std::size_t& wrapped) noexcept {
    if (layout.length == 0 || size == 0) {
        wrapped = size;
        return true;
    }
    const std::size_t lines = (size - 1) / layout.length + 1;
    if (layout.end_size != 0 && lines > (SIZE_MAX - size) / layout.end_size) {
        return false;
    }
    wrapped = size + lines * layout.end_size;
    return true;
}

// The exact size of the text of `size` bytes in lines; false when it does not fit in size_t.
bool full_text_size(codec_id codec, const detail::line_layout& layout, std::size_t size,
                    std::size_t& text) noexcept {
    if (size > max_input(codec)) {
        return false;
    }
    const std::size_t plain =
        codec == codec_id::hex ? 2 * size : size / 3 * 4 + final_size(codec, size % 3);
    return wrapped_size(layout, plain, text);
}

std::size_t checked_text_size(codec_id codec, const detail::line_layout& layout, std::size_t size) {
    std::size_t text = 0;
    if (!full_text_size(codec, layout, size, text)) {
        throw std::length_error("vorn::core::binary_encoding: input too large");
    }
    return text;
}

// 16 characters. Written with SSE2 (part of x86-64) where available: the compiler would turn a
// loop of 16-byte memcpy calls back into one call of a run-time size.
inline void copy_16(const char* from, char* to) noexcept {
#if defined(__SSE2__)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
#else
    std::memcpy(to, from, 16);
#endif
}

// Copies `lines` whole lines of `layout.length` characters from `text` to `out`, each followed
// by the line end, and returns where the writing stopped. The fast path of text_writer::put
// for the levels without a line encoder: copies of 16 characters stay inline, where memcpy
// of a run-time size is a call per line.
// bench/binary_encoding_modes_bench.cpp: encode_wrapped_mime, with VORN_CORE_KERNEL_LEVEL=avx2
char* copy_whole_lines(const char* text, std::size_t lines, const detail::line_layout& layout,
                       char* out) noexcept {
    const std::size_t length = layout.length;
    const std::size_t end_size = layout.end_size;
    char end[detail::line_layout::max_end];
    std::memcpy(end, layout.end, sizeof end);
    for (std::size_t line = 0; line < lines; ++line, text += length) {
        if (length >= 16) {
            for (std::size_t i = 0; i + 16 < length; i += 16) {
                copy_16(text + i, out + i);
            }
            copy_16(text + length - 16, out + length - 16);  // the last, overlapping
        } else {
            std::memcpy(out, text, length);
        }
        out += length;
        for (std::size_t i = 0; i < end_size; ++i) {
            out[i] = end[i];
        }
        out += end_size;
    }
    return out;
}

// The text of a stream of bytes fed in runs, written as it goes: straight from the kernels for
// one unbroken line; in lines by the kernels' line encoders where the level has one, else a
// stretch at a time through a staging area in L1 and copied around the line ends. A Base64
// group split between two runs is gathered first.
class text_writer {
  public:
    text_writer(codec_id codec, const detail::line_layout& layout, char* out) noexcept
        : codec_(codec), layout_(layout), out_(out), start_(out) {}

    // Encodes `n` more bytes; a Base64 group short of its third byte waits for the next.
    void add(const unsigned char* data, std::size_t n) noexcept {
        if (codec_ == codec_id::hex) {
            add_hex(data, n);
            return;
        }
        if (carried_ != 0) {
            const std::size_t take = n < 3 - carried_ ? n : 3 - carried_;
            std::memcpy(carry_ + carried_, data, take);
            carried_ += take;
            data += take;
            n -= take;
            if (carried_ < 3) {
                return;
            }
            char chars[4];
            detail::base64_encode_group(detail::alphabet_of(codec_).chars, carry_, chars);
            write(chars, 4);
            carried_ = 0;
        }
        const std::size_t groups = n / 3;
        add_groups(data, groups);
        data += 3 * groups;
        n -= 3 * groups;
        if (n != 0) {  // `data` may be null for no bytes
            std::memcpy(carry_, data, n);
        }
        carried_ = n;
    }

    // Writes the end marking and the last line's end; returns the size of the whole text.
    std::size_t finish() noexcept {
        if (codec_ != codec_id::hex) {
            char chars[4];
            write(chars, detail::base64_encode_final(detail::alphabet_of(codec_), carry_, carried_,
                                                     chars));
        }
        if (layout_.length != 0 && column_ != 0) {
            end_line();
        }
        return static_cast<std::size_t>(out_ - start_);
    }

  private:
    static constexpr std::size_t staged_bytes = 4096;

    void add_hex(const unsigned char* data, std::size_t n) noexcept {
        if (layout_.length == 0) {
            detail::hex_encode_bytes(data, n, out_);
            out_ += 2 * n;
            return;
        }
        for (std::size_t take = 0; n != 0; data += take, n -= take) {
            take = n < staged_bytes / 2 ? n : staged_bytes / 2;
            detail::hex_encode_bytes(data, take, staged_);
            put(staged_, 2 * take);
        }
    }

    void add_groups(const unsigned char* data, std::size_t groups) noexcept {
        if (layout_.length == 0) {
            detail::base64_encode_groups(codec_, data, groups, out_);
            out_ += 4 * groups;
            return;
        }
        const detail::base64_line_encoder encode_lines =
            detail::active_kernels_of(codec_).encode_lines;
        if (encode_lines != nullptr) {
            out_ += encode_lines(data, groups, out_, layout_, column_);
            return;
        }
        for (std::size_t step = 0; groups != 0; data += 3 * step, groups -= step) {
            step = groups < staged_bytes / 4 ? groups : staged_bytes / 4;
            detail::base64_encode_groups(codec_, data, step, staged_);
            put(staged_, 4 * step);
        }
    }

    void write(const char* text, std::size_t n) noexcept {
        if (layout_.length == 0) {
            std::memcpy(out_, text, n);
            out_ += n;
        } else {
            put(text, n);
        }
    }

    // Writes `n` characters in lines.
    void put(const char* text, std::size_t n) noexcept {
        const std::size_t room = layout_.length - column_;
        if (n < room) {
            std::memcpy(out_, text, n);
            out_ += n;
            column_ += n;
            return;
        }
        // The current line completed, whole lines, then the start of the next.
        std::memcpy(out_, text, room);
        out_ += room;
        end_line();
        text += room;
        n -= room;
        const std::size_t lines = n / layout_.length;
        out_ = copy_whole_lines(text, lines, layout_, out_);
        text += lines * layout_.length;
        n -= lines * layout_.length;
        std::memcpy(out_, text, n);
        out_ += n;
        column_ = n;
    }
    void end_line() noexcept {
        std::memcpy(out_, layout_.end, layout_.end_size);
        out_ += layout_.end_size;
        column_ = 0;
    }

    codec_id codec_;
    const detail::line_layout& layout_;
    char* out_;
    char* start_;
    std::size_t column_ = 0;
    unsigned char carry_[3] = {};
    std::size_t carried_ = 0;
    char staged_[staged_bytes];
};

// Writes the whole text of `size` bytes to `out`, in lines as `layout` says; returns its size.
std::size_t encode_whole(codec_id codec, const detail::line_layout& layout,
                         const unsigned char* data, std::size_t size, char* out) noexcept {
    if (layout.length == 0) {
        return encode_whole(codec, data, size, out);
    }
    text_writer text(codec, layout, out);
    text.add(data, size);
    return text.finish();
}

}  // namespace

binary_encoder::binary_encoder(binary_encoding encoding) : impl_(nullptr) {
    const codec_id codec = detail::codec_of(encoding);
    impl_ = new detail::binary_encoder_impl;
    impl_->codec = codec;
}

binary_encoder::binary_encoder(binary_encoding encoding, line_wrap wrap)
    : binary_encoder(encoding) {
    impl_->lines = layout_of(wrap);
}

binary_encoder::binary_encoder(const binary_encoder& other)
    : impl_(new detail::binary_encoder_impl(*other.impl_)) {}

binary_encoder::~binary_encoder() {
    delete impl_;
}

binary_encoder& binary_encoder::operator=(const binary_encoder& other) {
    if (this != &other) {
        // The whole state copied first, so that a failing allocation leaves this encoder as it
        // was; the old state goes with the copy.
        binary_encoder copy(other);
        std::swap(impl_, copy.impl_);
    }
    return *this;
}

void binary_encoder::add_data(const unsigned char* data, std::size_t size) {
    // The input is kept, not its text: it is smaller, it is copied in one move per piece
    // whatever the piece size, and finish() encodes all of it in one run of the widest
    // kernels, straight into its result.
    detail::byte_chain& input = impl_->input;
    if (size > max_input(impl_->codec) - input.size()) {
        throw std::length_error("vorn::core::binary_encoding: input too large");
    }
    detail::copy_bytes(input.room(size), data, size);
    input.commit(size);
}

void binary_encoder::add_data(const byte_array& data) {
    add_data(data.data(), data.size());
}

void binary_encoder::add_data(std::string_view data) {
    add_data(reinterpret_cast<const unsigned char*>(data.data()), data.size());
}

std::size_t binary_encoder::finished_size() const noexcept {
    // add_data keeps the input within max_input; with line ends the size may still not fit,
    // and is then given as SIZE_MAX, which no buffer holds.
    // With 64-bit sizes no input held in memory comes near that: its text fits.
    std::size_t size = 0;
    const bool fits = full_text_size(impl_->codec, impl_->lines, impl_->input.size(), size);
    return fits ? size : SIZE_MAX;  // GCOVR_EXCL_BR_LINE: 64-bit sizes, see above
}

std::size_t binary_encoder::finish_to(char* out) const noexcept {
    const detail::byte_chain& input = impl_->input;
    const codec_id codec = impl_->codec;
    if (const unsigned char* const data = input.inline_data()) {
        return encode_whole(codec, impl_->lines, data, input.size(), out);
    }
    text_writer text(codec, impl_->lines, out);
    input.for_each_run([&text](const unsigned char* bytes, std::size_t n) { text.add(bytes, n); });
    return text.finish();
}

encode_result binary_encoder::finish_to(char* out, std::size_t capacity) const noexcept {
    const std::size_t size = finished_size();
    if (size > capacity) {
        return {size, true};
    }
    return {finish_to(out), false};
}

std::string binary_encoder::finish() const {
    return make_text(finished_size(), [this](char* out) { finish_to(out); });
}

void binary_encoder::finish_append(std::string& to) const {
    append_text(to, finished_size(), [this](char* out) { finish_to(out); });
}

std::string binary_encoder::encode(binary_encoding encoding, const unsigned char* data,
                                   std::size_t size) {
    const codec_id codec = detail::codec_of(encoding);
    return make_text(text_size(codec, size),
                     [&](char* out) { encode_whole(codec, data, size, out); });
}

std::string binary_encoder::encode(binary_encoding encoding, const byte_array& data) {
    return encode(encoding, data.data(), data.size());
}

std::string binary_encoder::encode(binary_encoding encoding, std::string_view data) {
    return encode(encoding, reinterpret_cast<const unsigned char*>(data.data()), data.size());
}

std::string binary_encoder::encode(binary_encoding encoding, const unsigned char* data,
                                   std::size_t size, line_wrap wrap) {
    const codec_id codec = detail::codec_of(encoding);
    const detail::line_layout layout = layout_of(wrap);
    return make_text(checked_text_size(codec, layout, size),
                     [&](char* out) { encode_whole(codec, layout, data, size, out); });
}

void binary_encoder::encode_append(binary_encoding encoding, const unsigned char* data,
                                   std::size_t size, std::string& to, line_wrap wrap) {
    const codec_id codec = detail::codec_of(encoding);
    const detail::line_layout layout = layout_of(wrap);
    append_text(to, checked_text_size(codec, layout, size),
                [&](char* out) { encode_whole(codec, layout, data, size, out); });
}

std::size_t binary_encoder::encoded_size(binary_encoding encoding, std::size_t size) {
    return text_size(detail::codec_of(encoding), size);
}

std::size_t binary_encoder::encoded_size(binary_encoding encoding, std::size_t size,
                                         line_wrap wrap) {
    return checked_text_size(detail::codec_of(encoding), layout_of(wrap), size);
}

std::size_t binary_encoder::encode_to(binary_encoding encoding, const unsigned char* data,
                                      std::size_t size, char* out) {
    return encode_whole(detail::codec_of(encoding), data, size, out);
}

encode_result binary_encoder::encode_to(binary_encoding encoding, const unsigned char* data,
                                        std::size_t size, char* out, std::size_t capacity,
                                        line_wrap wrap) {
    const codec_id codec = detail::codec_of(encoding);
    const detail::line_layout layout = layout_of(wrap);
    std::size_t needed = 0;
    if (!full_text_size(codec, layout, size, needed)) {
        return {SIZE_MAX, true};  // no buffer holds it
    }
    if (needed > capacity) {
        return {needed, true};
    }
    return {encode_whole(codec, layout, data, size, out), false};
}

}  // namespace vorn::core::v2
