#pragma once
// The compression the PNG form needs: CRC-32, inflate and deflate. zlib serves it on every
// platform, the web build's made from the same sources, so that a PNG's bytes are the same
// everywhere.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "image/byte_span.h"
#include "image/refusal.h"

// CRC-32 of the bytes, continued from `crc` (0 to start).
std::uint32_t crc32_of(const std::uint8_t* bytes, std::size_t length, std::uint32_t crc = 0);

// A zlib stream, held in pieces, read as far as the reader asks: what follows the bytes it
// takes (more data, the stream's end, its checksum) is never looked at.
struct inflate_state;
struct inflate_stream {
  std::unique_ptr<inflate_state, void (*)(inflate_state*)> state{nullptr, nullptr};
};

// Starts on the stream that the spans hold one after the other; the spans must outlive it.
inflate_stream start_inflate(std::vector<byte_span> spans);

// The next `length` bytes of the stream into `out`: none when every byte asked for came
// out, png_stream_short where the stream ended before, png_stream_corrupt where it is no
// zlib stream, out_of_memory where inflate's own state could not be had.
refusal inflate_next(inflate_stream& stream, std::uint8_t* out, std::size_t length);

// The same, telling how many bytes came out before the stream ended or was found corrupt:
// a reader that asks for many rows at once still takes the whole ones it got.
refusal inflate_next(inflate_stream& stream, std::uint8_t* out, std::size_t length,
                     std::size_t& produced);

// The whole stream at once into `out`, for a caller that has room for all of it: true when
// it gave `length` bytes. A faster inflate than zlib's takes streams that end right there
// with their check value right; anything else is zlib's, which looks no further than
// `length`. False is no refusal: the caller reads the stream again in rows, which finds
// the reason; `out` then holds nothing of use.
bool inflate_whole(const std::vector<byte_span>& spans, std::uint8_t* out, std::size_t length);

// The bytes a zlib stream is made of, written on request: `fill(from, to, dest)` puts
// bytes [from, to) at dest. Asked for in parts, perhaps on several threads at once.
struct deflate_source {
  std::size_t length;
  std::function<void(std::size_t from, std::size_t to, std::uint8_t* dest)> fill;
};

// The zlib stream of the source's bytes at zlib's level (1 fastest, 9 smallest), on up to
// `threads` threads; the stream's bytes do not depend on how many. out_of_memory when
// memory ran out.
refusal deflate_all(const deflate_source& source, int level, unsigned threads,
                    std::vector<std::uint8_t>& out);
