// SPDX-License-Identifier: MIT
// Binary-to-text encodings: one-shot and streamed (4 KiB pieces) encoding and decoding of
// 1 MiB, streamed in 5-byte pieces, and small inputs, against memcpy of the output size (the
// limit), OpenSSL's EVP_EncodeBlock / EVP_DecodeBlock and a plain table loop for hex, each
// peer writing into a new std::string or std::vector of the right size. Throughput is counted
// in input bytes; "allocs/op" counts the heap blocks one operation takes.
//
// The streamed figures include what streaming costs by nature: the stream grows without
// knowing its final size (copies as it doubles; the encoder keeps its input, the decoder its
// bytes), and finish() builds a new result while the stream stays usable. A 50-byte record
// round trip in 5-byte and 7-character pieces shows the everyday case, and an out-of-line
// call per 5-byte piece that only copies it shows the floor of feeding 1 MiB that way. The one-shot
// functions do neither. With glibc's default settings, the megabyte-sized blocks these loops free
// are handed back to the kernel on most iterations and faulted in again on the next, which can
// dominate the streamed figures on machines with slow page faults; run with
//   GLIBC_TUNABLES=glibc.malloc.trim_threshold=268435456:glibc.malloc.mmap_threshold=33554432
// to measure them on a warm heap, as in a long-running process.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
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
constexpr std::size_t piece = 4096;  // the streamed pieces

std::vector<unsigned char> random_data(std::size_t n) {
    return vorn::bench::random_bytes(n);
}

vc::binary_encoding encoding_of(const benchmark::State& state) {
    return static_cast<vc::binary_encoding>(state.range(0));
}

std::size_t input_size(const benchmark::State& state) {
    return static_cast<std::size_t>(state.range(1));
}

std::string text_of(vc::binary_encoding e, std::size_t n) {
    const std::vector<unsigned char> data = random_data(n);
    return vc::binary_encoder::encode(e, data.data(), data.size());
}

void encode_one_shot(benchmark::State& state) {
    const std::vector<unsigned char> data = random_data(input_size(state));
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        std::string text = vc::binary_encoder::encode(encoding_of(state), data.data(), data.size());
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void decode_one_shot(benchmark::State& state) {
    const std::string text = text_of(encoding_of(state), input_size(state));
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        vc::byte_array bytes = vc::binary_decoder::decode(encoding_of(state), text);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// Into a caller's buffer of the right size: no allocation at all.
void encode_to_buffer(benchmark::State& state) {
    const std::vector<unsigned char> data = random_data(input_size(state));
    std::vector<char> text(vc::binary_encoder::encoded_size(encoding_of(state), data.size()));
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(vc::binary_encoder::encode_to(encoding_of(state), data.data(),
                                                               data.size(), text.data()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void decode_to_buffer(benchmark::State& state) {
    const std::string text = text_of(encoding_of(state), input_size(state));
    std::vector<unsigned char> bytes(
        vc::binary_decoder::decoded_size_bound(encoding_of(state), text.size()));
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            vc::binary_decoder::decode_to(encoding_of(state), text, bytes.data()).size);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// Encoding through an encoder in pieces of `step` bytes; finish() returns a copy of the text,
// which the one-shot functions avoid.
void encode_in_pieces(benchmark::State& state, std::size_t step) {
    const std::vector<unsigned char> data = random_data(input_size(state));
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        vc::binary_encoder encoder(encoding_of(state));
        for (std::size_t at = 0; at < data.size(); at += step) {
            encoder.add_data(data.data() + at, std::min(step, data.size() - at));
        }
        std::string text = encoder.finish();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void decode_in_pieces(benchmark::State& state, std::size_t step) {
    const std::string text = text_of(encoding_of(state), input_size(state));
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        vc::binary_decoder decoder(encoding_of(state));
        for (std::size_t at = 0; at < text.size(); at += step) {
            decoder.add_string(text.data() + at, std::min(step, text.size() - at));
        }
        vc::byte_array bytes = decoder.finish();
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// The floor of feeding 1 MiB in 5-byte pieces: an out-of-line call per piece that only
// appends the piece to a buffer that already has room, with no state to check.
struct piece_sink {
    unsigned char* at;
};

__attribute__((noinline)) void append_piece(piece_sink& sink, const unsigned char* data,
                                            std::size_t size) {
    std::memcpy(sink.at, data, size);
    sink.at += size;
}

void call_per_piece_floor(benchmark::State& state) {
    const std::vector<unsigned char> data = random_data(one_mib);
    std::vector<unsigned char> target(one_mib);
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        piece_sink sink{target.data()};
        for (std::size_t at = 0; at < data.size(); at += 5) {
            append_piece(sink, data.data() + at, std::min<std::size_t>(5, data.size() - at));
        }
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

// The limit: copying as many bytes as the operation writes, into a buffer that already
// exists. range(0) is the output size, range(1) the input size the figure is counted in.
void memcpy_output(benchmark::State& state) {
    const auto out_size = static_cast<std::size_t>(state.range(0));
    const std::vector<unsigned char> source = random_data(out_size);
    std::vector<unsigned char> target(out_size);
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), out_size);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * state.range(1)));
}

#if defined(VORN_BENCH_HAVE_OPENSSL)
// OpenSSL into a buffer that already exists: the peer of the caller-buffer functions.
void openssl_encode(benchmark::State& state) {
    const std::vector<unsigned char> data = random_data(static_cast<std::size_t>(state.range(0)));
    std::vector<unsigned char> text((data.size() + 2) / 3 * 4 + 1);
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            EVP_EncodeBlock(text.data(), data.data(), static_cast<int>(data.size())));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void openssl_decode(benchmark::State& state) {
    const std::string text =
        text_of(vc::binary_encoding::base64, static_cast<std::size_t>(state.range(0)));
    std::vector<unsigned char> bytes(text.size() / 4 * 3);
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
                            static_cast<int>(text.size())));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// OpenSSL into a new std::string of the right size: the peer of the one-shot encode. The
// string is sized for the text and its terminator, which EVP_EncodeBlock writes as well.
void openssl_encode_to_string(benchmark::State& state) {
    const std::vector<unsigned char> data = random_data(static_cast<std::size_t>(state.range(0)));
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        std::string text((data.size() + 2) / 3 * 4, '\0');
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), data.data(),
                        static_cast<int>(data.size()));
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

// OpenSSL into a new std::vector of the right size: the peer of the one-shot decode.
// EVP_DecodeBlock writes three bytes per group, padding included, and does not check the
// padding; the vector is trimmed by the "=" count as a caller must.
void openssl_decode_to_vector(benchmark::State& state) {
    const std::string text =
        text_of(vc::binary_encoding::base64, static_cast<std::size_t>(state.range(0)));
    const std::size_t pads =
        text.size() >= 2 ? (text[text.size() - 1] == '=') + (text[text.size() - 2] == '=') : 0;
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        std::vector<unsigned char> bytes(text.size() / 4 * 3);
        const int n =
            EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
                            static_cast<int>(text.size()));
        bytes.resize(n < 0 ? 0 : static_cast<std::size_t>(n) - pads);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
#endif

// Hex the way a C++ developer writes it without a library: a table loop into a new
// std::string of the right size, and back into a new std::vector.
void table_loop_hex_encode(benchmark::State& state) {
    static const char digits[] = "0123456789abcdef";
    const std::vector<unsigned char> data = random_data(static_cast<std::size_t>(state.range(0)));
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        std::string text(2 * data.size(), '\0');
        for (std::size_t i = 0; i < data.size(); ++i) {
            text[2 * i] = digits[data[i] >> 4];
            text[2 * i + 1] = digits[data[i] & 0x0F];
        }
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void table_loop_hex_decode(benchmark::State& state) {
    static const auto values = [] {
        std::array<signed char, 256> v{};
        v.fill(-1);
        for (int i = 0; i < 10; ++i) {
            v['0' + i] = static_cast<signed char>(i);
        }
        for (int i = 0; i < 6; ++i) {
            v['a' + i] = v['A' + i] = static_cast<signed char>(10 + i);
        }
        return v;
    }();
    const std::string text =
        text_of(vc::binary_encoding::hex, static_cast<std::size_t>(state.range(0)));
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        std::vector<unsigned char> bytes(text.size() / 2);
        int bad = 0;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const int high = values[static_cast<unsigned char>(text[2 * i])];
            const int low = values[static_cast<unsigned char>(text[2 * i + 1])];
            bad |= high | low;
            bytes[i] = static_cast<unsigned char>((high << 4) | low);
        }
        if (bad < 0) {
            bytes.clear();
        }
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// The everyday case: a short record encoded in 5-byte pieces and decoded back in 7-character
// pieces, one encoder and one decoder per record.
constexpr std::size_t record_size = 50;
constexpr std::size_t record_encode_piece = 5;
constexpr std::size_t record_decode_piece = 7;

void record_round_trip(benchmark::State& state) {
    const std::vector<unsigned char> record = random_data(record_size);
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        vc::binary_encoder encoder(vc::binary_encoding::base64);
        for (std::size_t at = 0; at < record.size(); at += record_encode_piece) {
            encoder.add_data(record.data() + at, std::min(record_encode_piece, record.size() - at));
        }
        const std::string text = encoder.finish();
        vc::binary_decoder decoder(vc::binary_encoding::base64);
        for (std::size_t at = 0; at < text.size(); at += record_decode_piece) {
            decoder.add_string(text.data() + at, std::min(record_decode_piece, text.size() - at));
        }
        vc::byte_array bytes = decoder.finish();
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * record.size()));
}

#if defined(VORN_BENCH_HAVE_OPENSSL)
// The same with OpenSSL's streaming interface: one context for both directions, the text in a
// std::string sized for the worst case (EVP_EncodeUpdate breaks lines every 64 characters,
// removed afterwards), the bytes in a std::vector.
void openssl_record_round_trip(benchmark::State& state) {
    const std::vector<unsigned char> record = random_data(record_size);
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        EVP_ENCODE_CTX* ctx = EVP_ENCODE_CTX_new();
        std::string text(4 * ((record.size() + 2) / 3) + record.size() / 48 + 66, '\0');
        auto* out = reinterpret_cast<unsigned char*>(text.data());
        int total = 0;
        EVP_EncodeInit(ctx);
        for (std::size_t at = 0; at < record.size(); at += record_encode_piece) {
            int written = 0;
            EVP_EncodeUpdate(ctx, out + total, &written, record.data() + at,
                             static_cast<int>(std::min(record_encode_piece, record.size() - at)));
            total += written;
        }
        int written = 0;
        EVP_EncodeFinal(ctx, out + total, &written);
        total += written;
        text.resize(static_cast<std::size_t>(std::remove(text.begin(), text.begin() + total, '\n') -
                                             text.begin()));
        std::vector<unsigned char> bytes(3 * (text.size() / 4) + 3);
        int decoded = 0;
        EVP_DecodeInit(ctx);
        for (std::size_t at = 0; at < text.size(); at += record_decode_piece) {
            int n = 0;
            EVP_DecodeUpdate(ctx, bytes.data() + decoded, &n,
                             reinterpret_cast<const unsigned char*>(text.data() + at),
                             static_cast<int>(std::min(record_decode_piece, text.size() - at)));
            decoded += n;
        }
        int n = 0;
        EVP_DecodeFinal(ctx, bytes.data() + decoded, &n);
        EVP_ENCODE_CTX_free(ctx);
        bytes.resize(static_cast<std::size_t>(decoded + n));
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * record.size()));
}
#endif

constexpr int hex = 0;
constexpr int base64 = 1;

// Output sizes of encoding n bytes.
constexpr std::int64_t base64_size(std::int64_t n) {
    return (n + 2) / 3 * 4;
}
constexpr std::int64_t hex_size(std::int64_t n) {
    return 2 * n;
}

void large(benchmark::internal::Benchmark* b) {
    b->Args({base64, one_mib})->Args({hex, one_mib});
}

void small(benchmark::internal::Benchmark* b) {
    for (std::int64_t n : {16, 64, 256}) {
        b->Args({base64, n})->Args({hex, n});
    }
}

// memcpy of each operation's output: {output size, input size}.
void memcpy_sizes(benchmark::internal::Benchmark* b) {
    for (std::int64_t n : {std::int64_t{16}, std::int64_t{64}, std::int64_t{256},
                           std::int64_t{1024}, static_cast<std::int64_t>(one_mib)}) {
        b->Args({base64_size(n), n});  // Base64 encoding
        b->Args({n, base64_size(n)});  // Base64 decoding
        b->Args({hex_size(n), n});     // hex encoding
        b->Args({n, hex_size(n)});     // hex decoding
    }
}

}  // namespace

BENCHMARK(encode_one_shot)->Apply(large)->Apply(small)->ArgNames({"encoding", "bytes"});
BENCHMARK(decode_one_shot)->Apply(large)->Apply(small)->ArgNames({"encoding", "bytes"});
BENCHMARK(encode_to_buffer)
    ->Apply(large)
    ->Apply(small)
    ->Args({base64, 1024})
    ->Args({hex, 1024})
    ->ArgNames({"encoding", "bytes"});
BENCHMARK(decode_to_buffer)
    ->Apply(large)
    ->Apply(small)
    ->Args({base64, 1024})
    ->Args({hex, 1024})
    ->ArgNames({"encoding", "bytes"});
BENCHMARK_CAPTURE(encode_in_pieces, streamed, piece)->Apply(large)->ArgNames({"encoding", "bytes"});
BENCHMARK_CAPTURE(decode_in_pieces, streamed, piece)->Apply(large)->ArgNames({"encoding", "bytes"});
// Five bytes or characters per call: what the per-call cost of streaming adds up to.
BENCHMARK_CAPTURE(encode_in_pieces, five_bytes, std::size_t{5})
    ->Apply(large)
    ->ArgNames({"encoding", "bytes"});
BENCHMARK_CAPTURE(decode_in_pieces, five_chars, std::size_t{5})
    ->Apply(large)
    ->ArgNames({"encoding", "bytes"});
// The whole input as one piece through an encoder or decoder: what splitting it costs.
BENCHMARK_CAPTURE(encode_in_pieces, one_piece, std::size_t{1} << 30)
    ->Apply(large)
    ->ArgNames({"encoding", "bytes"});
BENCHMARK_CAPTURE(decode_in_pieces, one_piece, std::size_t{1} << 30)
    ->Apply(large)
    ->ArgNames({"encoding", "bytes"});
BENCHMARK(record_round_trip);
BENCHMARK(call_per_piece_floor);
BENCHMARK(memcpy_output)->Apply(memcpy_sizes)->ArgNames({"out", "in"});
#if defined(VORN_BENCH_HAVE_OPENSSL)
BENCHMARK(openssl_record_round_trip);
BENCHMARK(openssl_encode)->Arg(one_mib)->Arg(16)->Arg(64)->Arg(256)->Arg(1024)->ArgName("bytes");
BENCHMARK(openssl_decode)->Arg(one_mib)->Arg(16)->Arg(64)->Arg(256)->Arg(1024)->ArgName("bytes");
BENCHMARK(openssl_encode_to_string)->Arg(one_mib)->Arg(16)->Arg(64)->Arg(256)->ArgName("bytes");
BENCHMARK(openssl_decode_to_vector)->Arg(one_mib)->Arg(16)->Arg(64)->Arg(256)->ArgName("bytes");
#else
// Reported once, so that a missing peer is visible in the output without failing the run.
[[maybe_unused]] static const int openssl_missing = [] {
    std::fputs("OpenSSL not found (libssl-dev): its Base64 figures are skipped\n", stderr);
    return 0;
}();
#endif
BENCHMARK(table_loop_hex_encode)->Arg(one_mib)->Arg(16)->Arg(64)->Arg(256)->ArgName("bytes");
BENCHMARK(table_loop_hex_decode)->Arg(one_mib)->Arg(16)->Arg(64)->Arg(256)->ArgName("bytes");
