// SPDX-License-Identifier: MIT
// Binary-to-text decoding options and line-wrapped encoding: what reading a text as canonical
// or forgiving costs next to the standard reading, what decoding a MIME body (76-column lines
// ended by CR LF) costs next to the same bytes as one unbroken line, and what writing lines
// (MIME, PEM) costs next to writing one line. Every figure writes into a buffer that already
// exists, so none of them allocates except the streamed decoder, which keeps what it is fed.
//
// Throughput is counted in payload bytes (the bytes encoded, or the bytes a text decodes to)
// for every figure, whatever the text's length, so that a wrapped and an unwrapped figure, or
// ours and OpenSSL's, compare like with like. "allocs/op" counts the heap blocks one operation
// takes.
//
// The peer is OpenSSL's streaming interface (EVP_DecodeUpdate, EVP_EncodeUpdate), the one
// OpenSSL offers for line-broken text: it reads lines ended by LF or CR LF and writes 64-column
// lines ended by LF, as PEM does. Its context is allocated once outside the timed loop and
// initialised again for each operation, the cheapest way to use it.
//
// The line-broken texts are built here from the unbroken one, and every figure checks its
// result once before it is timed (the bytes decoded equal the payload, the text written equals
// the expected one), reporting an error instead of a figure when it is wrong.
//
// The kernels are the widest this processor has; run with VORN_CORE_KERNEL_LEVEL=avx2 (or
// scalar) to measure the narrower ones.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "support/allocation_counter.hpp"
#include "support/random_bytes.hpp"
#include "vorn/core/binary_encoding.hpp"

#if defined(VORN_BENCH_HAVE_OPENSSL)
#include <openssl/evp.h>
#endif

namespace vc = vorn::core::v2;

namespace {

constexpr std::size_t one_mib = std::size_t{1} << 20;
constexpr std::size_t piece = 4096;  // the streamed pieces, in characters

std::vector<unsigned char> random_data(std::size_t n) {
    return vorn::bench::random_bytes(n);
}

vc::binary_encoding encoding_of(const benchmark::State& state) {
    return static_cast<vc::binary_encoding>(state.range(0));
}

std::size_t payload_size(const benchmark::State& state) {
    return static_cast<std::size_t>(state.range(1));
}

#if defined(VORN_BENCH_HAVE_OPENSSL)
// The peer's figures take the payload size alone: it only knows Base64.
std::size_t peer_payload_size(const benchmark::State& state) {
    return static_cast<std::size_t>(state.range(0));
}
#endif

// `text` broken into lines as `wrap` says: `wrap.end` after every `wrap.length` characters and
// after the last line.
std::string wrap_lines(std::string_view text, vc::line_wrap wrap) {
    std::string lines;
    for (std::size_t at = 0; at < text.size(); at += wrap.length) {
        lines.append(text.substr(at, wrap.length));
        lines.append(wrap.end);
    }
    return lines;
}

std::string plain_text(vc::binary_encoding e, const std::vector<unsigned char>& data) {
    return vc::binary_encoder::encode(e, data.data(), data.size());
}

std::string mime_text(const std::vector<unsigned char>& data) {
    return wrap_lines(plain_text(vc::binary_encoding::base64, data), vc::line_wrap::mime());
}

// Room for the bytes of `text`, sized from the text alone as a caller who does not know the
// payload's size would size it.
std::vector<unsigned char> room_for(vc::binary_encoding e, const std::string& text) {
    return std::vector<unsigned char>(vc::binary_decoder::decoded_size_bound(e, text.size()));
}

// Whether `result` holds exactly `data`, checked once before timing; reports an error on
// `state` when it does not.
bool decoded_right(benchmark::State& state, vc::decode_result result,
                   const std::vector<unsigned char>& bytes,
                   const std::vector<unsigned char>& data) {
    if (result.status != vc::decode_status::complete) {
        state.SkipWithError(
            (std::string("decoding gave status ") + vc::to_string(result.status)).c_str());
        return false;
    }
    if (result.size != data.size() || std::memcmp(bytes.data(), data.data(), data.size()) != 0) {
        state.SkipWithError(("decoding gave " + std::to_string(result.size) +
                             " bytes that differ from the " + std::to_string(data.size()) +
                             " bytes encoded")
                                .c_str());
        return false;
    }
    return true;
}

// decode_to of `text` as `options` say into a buffer sized from the text.
void decode_into_buffer(benchmark::State& state, vc::binary_encoding e, const std::string& text,
                        const std::vector<unsigned char>& data, vc::decode_options options) {
    std::vector<unsigned char> bytes = room_for(e, text);
    if (!decoded_right(state,
                       vc::binary_decoder::decode_to(e, text, bytes.data(), bytes.size(), options),
                       bytes, data)) {
        return;
    }
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            vc::binary_decoder::decode_to(e, text, bytes.data(), bytes.size(), options).size);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

// The unbroken text of the payload, read as standard and as canonical: both check the same
// characters, canonical also the unused bits of the last one.
void decode_default(benchmark::State& state) {
    const std::vector<unsigned char> data = random_data(payload_size(state));
    decode_into_buffer(state, encoding_of(state), plain_text(encoding_of(state), data), data,
                       vc::decode_options::standard);
}

void decode_canonical(benchmark::State& state) {
    const std::vector<unsigned char> data = random_data(payload_size(state));
    decode_into_buffer(state, encoding_of(state), plain_text(encoding_of(state), data), data,
                       vc::decode_options::canonical);
}

// The baseline of the line-broken figures below: the standard reading of the unbroken Base64
// text, at each payload size they are measured at.
void decode_strict_plain(benchmark::State& state) {
    const std::vector<unsigned char> data = random_data(payload_size(state));
    decode_into_buffer(state, vc::binary_encoding::base64,
                       plain_text(vc::binary_encoding::base64, data), data,
                       vc::decode_options::standard);
}

// The forgiving reading of a text with no whitespace in it: what looking for whitespace costs
// when there is none.
void decode_forgiving_plain(benchmark::State& state) {
    const std::vector<unsigned char> data = random_data(payload_size(state));
    decode_into_buffer(state, encoding_of(state), plain_text(encoding_of(state), data), data,
                       vc::decode_options::forgiving);
}

// The forgiving reading of the same payload as a MIME body: a CR LF after every 76 characters.
void decode_forgiving_mime(benchmark::State& state) {
    const std::vector<unsigned char> data = random_data(payload_size(state));
    decode_into_buffer(state, vc::binary_encoding::base64, mime_text(data), data,
                       vc::decode_options::forgiving);
}

// The MIME body fed to a forgiving decoder in pieces of 4096 characters, as it arrives from a
// socket or a file, and its bytes written into a buffer that already exists. The decoder is
// made for each body, and keeps the bytes as they grow.
void decode_forgiving_mime_streamed(benchmark::State& state) {
    const std::vector<unsigned char> data = random_data(payload_size(state));
    const std::string text = mime_text(data);
    std::vector<unsigned char> bytes = room_for(vc::binary_encoding::base64, text);
    const auto decode = [&] {
        vc::binary_decoder decoder(vc::binary_encoding::base64, vc::decode_options::forgiving);
        for (std::size_t at = 0; at < text.size(); at += piece) {
            decoder.add_string(text.data() + at, std::min(piece, text.size() - at));
        }
        return decoder.finish_to(bytes.data(), bytes.size());
    };
    if (!decoded_right(state, decode(), bytes, data)) {
        return;
    }
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(decode().size);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

// Whether `text` (`size` characters written) is exactly `expected`, checked once before timing;
// reports an error on `state` when it is not.
bool encoded_right(benchmark::State& state, std::string_view text, const std::string& expected) {
    if (text != expected) {
        state.SkipWithError(("encoding wrote " + std::to_string(text.size()) +
                             " characters that differ from the " + std::to_string(expected.size()) +
                             " expected")
                                .c_str());
        return false;
    }
    return true;
}

// encode_to of the payload in lines as `wrap` says (one line when its length is 0) into a
// buffer of exactly the text's size.
void encode_into_buffer(benchmark::State& state, vc::line_wrap wrap) {
    const vc::binary_encoding e = encoding_of(state);
    const std::vector<unsigned char> data = random_data(payload_size(state));
    const std::string expected =
        wrap.length == 0 ? plain_text(e, data) : wrap_lines(plain_text(e, data), wrap);
    std::vector<char> text(vc::binary_encoder::encoded_size(e, data.size(), wrap));
    const vc::encode_result first =
        vc::binary_encoder::encode_to(e, data.data(), data.size(), text.data(), text.size(), wrap);
    if (first.too_small) {
        state.SkipWithError(("encoding needs " + std::to_string(first.size) +
                             " characters, more than encoded_size's " + std::to_string(text.size()))
                                .c_str());
        return;
    }
    if (!encoded_right(state, std::string_view(text.data(), first.size), expected)) {
        return;
    }
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(vc::binary_encoder::encode_to(e, data.data(), data.size(),
                                                               text.data(), text.size(), wrap)
                                     .size);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void encode_unwrapped(benchmark::State& state) {
    encode_into_buffer(state, vc::line_wrap{});
}

void encode_wrapped_mime(benchmark::State& state) {
    encode_into_buffer(state, vc::line_wrap::mime());
}

void encode_wrapped_pem(benchmark::State& state) {
    encode_into_buffer(state, vc::line_wrap::pem());
}

#if defined(VORN_BENCH_HAVE_OPENSSL)
// OpenSSL's decoder on the MIME body, in one EVP_DecodeUpdate call and EVP_DecodeFinal, into a
// buffer sized from the text. Returns the bytes written, or -1 when it refused the text.
int openssl_decode_text(EVP_ENCODE_CTX* ctx, const std::string& text,
                        std::vector<unsigned char>& bytes) {
    int written = 0;
    int tail = 0;
    EVP_DecodeInit(ctx);
    if (EVP_DecodeUpdate(ctx, bytes.data(), &written,
                         reinterpret_cast<const unsigned char*>(text.data()),
                         static_cast<int>(text.size())) < 0 ||
        EVP_DecodeFinal(ctx, bytes.data() + written, &tail) < 0) {
        return -1;
    }
    return written + tail;
}

void openssl_decode_update_mime(benchmark::State& state) {
    const std::vector<unsigned char> data = random_data(peer_payload_size(state));
    const std::string text = mime_text(data);
    std::vector<unsigned char> bytes(
        std::max(vc::binary_decoder::decoded_size_bound(vc::binary_encoding::base64, text.size()),
                 static_cast<std::size_t>(EVP_DECODE_LENGTH(text.size()))));
    EVP_ENCODE_CTX* ctx = EVP_ENCODE_CTX_new();
    if (ctx == nullptr) {
        state.SkipWithError("EVP_ENCODE_CTX_new failed");
        return;
    }
    const int first = openssl_decode_text(ctx, text, bytes);
    if (first < 0) {
        EVP_ENCODE_CTX_free(ctx);
        state.SkipWithError("EVP_DecodeUpdate refused the MIME text");
        return;
    }
    if (!decoded_right(
            state, vc::decode_result{static_cast<std::size_t>(first), vc::decode_status::complete},
            bytes, data)) {
        EVP_ENCODE_CTX_free(ctx);
        return;
    }
    {
        bench::allocation_scope allocations(state);
        for (auto _ : state) {
            benchmark::DoNotOptimize(openssl_decode_text(ctx, text, bytes));
            benchmark::ClobberMemory();
        }
    }
    EVP_ENCODE_CTX_free(ctx);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

// OpenSSL's encoder, which writes 64-column lines ended by LF (the PEM layout), in one
// EVP_EncodeUpdate call and EVP_EncodeFinal, into a buffer of the size its documentation asks
// for (it also writes a terminating NUL). Returns the characters written.
int openssl_encode_text(EVP_ENCODE_CTX* ctx, const std::vector<unsigned char>& data,
                        std::vector<unsigned char>& text) {
    int written = 0;
    int tail = 0;
    EVP_EncodeInit(ctx);
    if (EVP_EncodeUpdate(ctx, text.data(), &written, data.data(), static_cast<int>(data.size())) !=
        1) {
        return -1;
    }
    EVP_EncodeFinal(ctx, text.data() + written, &tail);
    return written + tail;
}

void openssl_encode_update_pem(benchmark::State& state) {
    const std::vector<unsigned char> data = random_data(peer_payload_size(state));
    const std::string expected =
        wrap_lines(plain_text(vc::binary_encoding::base64, data), vc::line_wrap::pem());
    std::vector<unsigned char> text(static_cast<std::size_t>(EVP_ENCODE_LENGTH(data.size())));
    EVP_ENCODE_CTX* ctx = EVP_ENCODE_CTX_new();
    if (ctx == nullptr) {
        state.SkipWithError("EVP_ENCODE_CTX_new failed");
        return;
    }
    const int first = openssl_encode_text(ctx, data, text);
    if (first < 0) {
        EVP_ENCODE_CTX_free(ctx);
        state.SkipWithError("EVP_EncodeUpdate failed");
        return;
    }
    if (!encoded_right(state,
                       std::string_view(reinterpret_cast<const char*>(text.data()),
                                        static_cast<std::size_t>(first)),
                       expected)) {
        EVP_ENCODE_CTX_free(ctx);
        return;
    }
    {
        bench::allocation_scope allocations(state);
        for (auto _ : state) {
            benchmark::DoNotOptimize(openssl_encode_text(ctx, data, text));
            benchmark::ClobberMemory();
        }
    }
    EVP_ENCODE_CTX_free(ctx);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
#endif

constexpr int base64 = 1;
constexpr int base64url = 2;

// 1 MiB in both Base64 alphabets.
void large_both_alphabets(benchmark::internal::Benchmark* b) {
    b->Args({base64, one_mib})->Args({base64url, one_mib});
}

// Base64 at 1 MiB, and at 64 and 1024 bytes, where the fixed costs show.
void base64_sizes(benchmark::internal::Benchmark* b) {
    for (std::int64_t n :
         {static_cast<std::int64_t>(one_mib), std::int64_t{64}, std::int64_t{1024}}) {
        b->Args({base64, n});
    }
}

#if defined(VORN_BENCH_HAVE_OPENSSL)
// The peer's sizes: 1 MiB, and 64 and 1024 bytes.
void peer_sizes(benchmark::internal::Benchmark* b) {
    for (std::int64_t n :
         {static_cast<std::int64_t>(one_mib), std::int64_t{64}, std::int64_t{1024}}) {
        b->Arg(n);
    }
}
#endif

}  // namespace

// The decoding options on the unbroken text.
BENCHMARK(decode_default)->Apply(large_both_alphabets)->ArgNames({"encoding", "bytes"});
BENCHMARK(decode_canonical)->Apply(large_both_alphabets)->ArgNames({"encoding", "bytes"});
BENCHMARK(decode_forgiving_plain)->Apply(large_both_alphabets)->ArgNames({"encoding", "bytes"});
// A MIME body against the same bytes as one line.
BENCHMARK(decode_strict_plain)->Apply(base64_sizes)->ArgNames({"encoding", "bytes"});
BENCHMARK(decode_forgiving_mime)->Apply(base64_sizes)->ArgNames({"encoding", "bytes"});
BENCHMARK(decode_forgiving_mime_streamed)->Args({base64, one_mib})->ArgNames({"encoding", "bytes"});
// Writing lines against writing one line.
BENCHMARK(encode_unwrapped)->Apply(base64_sizes)->ArgNames({"encoding", "bytes"});
BENCHMARK(encode_wrapped_mime)->Apply(base64_sizes)->ArgNames({"encoding", "bytes"});
BENCHMARK(encode_wrapped_pem)->Apply(base64_sizes)->ArgNames({"encoding", "bytes"});
#if defined(VORN_BENCH_HAVE_OPENSSL)
BENCHMARK(openssl_decode_update_mime)->Apply(peer_sizes)->ArgName("bytes");
BENCHMARK(openssl_encode_update_pem)->Apply(peer_sizes)->ArgName("bytes");
#else
// Reported once, so that a missing peer is visible in the output without failing the run.
[[maybe_unused]] static const int openssl_missing = [] {
    std::fputs("OpenSSL not found (libssl-dev): its line-broken Base64 figures are skipped\n",
               stderr);
    return 0;
}();
#endif
