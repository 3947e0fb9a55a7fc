#pragma once
// The compression the PNG form needs: CRC-32, inflate and deflate. zlib serves it on every
// native platform; a build for the web serves the same calls from a JavaScript library.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// CRC-32 of the bytes, continued from `crc` (0 to start).
std::uint32_t crc32_of(const std::uint8_t* bytes, std::size_t length, std::uint32_t crc = 0);

struct byte_span {
  const std::uint8_t* data;
  std::size_t length;
};

// A zlib stream, held in pieces, read as far as the reader asks: what follows the bytes it
// takes (more data, the stream's end, its checksum) is never looked at.
struct inflate_state;
struct inflate_stream {
  std::unique_ptr<inflate_state, void (*)(inflate_state*)> state{nullptr, nullptr};
};

enum class inflate_outcome {
  filled,   // every byte asked for is out
  ended,    // the stream ended before
  corrupt,  // the stream is no zlib stream
};

// Starts on the stream that the spans hold one after the other; the spans must outlive it.
inflate_stream start_inflate(std::vector<byte_span> spans);

// The next `length` bytes of the stream into `out`.
inflate_outcome inflate_next(inflate_stream& stream, std::uint8_t* out, std::size_t length);

// A zlib stream made piece by piece.
struct deflate_state;
struct deflate_stream {
  std::unique_ptr<deflate_state, void (*)(deflate_state*)> state{nullptr, nullptr};
};

// The level is zlib's, 1 (fastest) to 9 (smallest).
deflate_stream start_deflate(int level);

// Adds the bytes to the stream; what is compressed so far goes to `out`. False when the
// stream could not be made (only memory can run out).
bool deflate_more(deflate_stream& stream, const std::uint8_t* bytes, std::size_t length,
                  std::vector<std::uint8_t>& out);

// Ends the stream into `out`; false as above.
bool deflate_end(deflate_stream& stream, std::vector<std::uint8_t>& out);
