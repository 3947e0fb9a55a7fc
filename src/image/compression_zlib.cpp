// The compression seam served by zlib.

#include <zlib.h>

#include <algorithm>
#include <climits>

#include "image/compression.h"

struct inflate_state {
  z_stream z{};
  std::vector<byte_span> spans;
  std::size_t next_span = 0;
  bool started = false;
};

struct deflate_state {
  z_stream z{};
  bool started = false;
};

namespace {

// zlib counts in uInt: pieces of a span longer than that are handed over in turn.
constexpr std::size_t LARGEST_PIECE = UINT_MAX;

void end_inflate(inflate_state* state) {
  if (state->started) inflateEnd(&state->z);
  delete state;
}

void end_deflate(deflate_state* state) {
  if (state->started) deflateEnd(&state->z);
  delete state;
}

// Gives zlib the next input, the rest of the current span or the next span.
bool refill(inflate_state& state) {
  while (state.z.avail_in == 0 && state.next_span < state.spans.size()) {
    byte_span& span = state.spans[state.next_span];
    std::size_t piece = std::min(span.length, LARGEST_PIECE);
    state.z.next_in = const_cast<Bytef*>(span.data);
    state.z.avail_in = static_cast<uInt>(piece);
    span.data += piece;
    span.length -= piece;
    if (span.length == 0) ++state.next_span;
  }
  return state.z.avail_in != 0;
}

}  // namespace

std::uint32_t crc32_of(const std::uint8_t* bytes, std::size_t length, std::uint32_t crc) {
  uLong sum = crc;
  while (length > 0) {
    std::size_t piece = std::min(length, LARGEST_PIECE);
    sum = crc32(sum, bytes, static_cast<uInt>(piece));
    bytes += piece;
    length -= piece;
  }
  return static_cast<std::uint32_t>(sum);
}

inflate_stream start_inflate(std::vector<byte_span> spans) {
  auto* state = new inflate_state;
  state->spans = std::move(spans);
  state->started = inflateInit(&state->z) == Z_OK;
  return {{state, end_inflate}};
}

inflate_outcome inflate_next(inflate_stream& stream, std::uint8_t* out, std::size_t length) {
  inflate_state& state = *stream.state;
  if (!state.started) return inflate_outcome::corrupt;
  while (length > 0) {
    std::size_t piece = std::min(length, LARGEST_PIECE);
    state.z.next_out = out;
    state.z.avail_out = static_cast<uInt>(piece);
    while (state.z.avail_out > 0) {
      if (!refill(state)) return inflate_outcome::ended;
      int result = inflate(&state.z, Z_NO_FLUSH);
      if (result == Z_STREAM_END && state.z.avail_out > 0) return inflate_outcome::ended;
      if (result == Z_STREAM_END) break;
      if (result != Z_OK && result != Z_BUF_ERROR) return inflate_outcome::corrupt;
    }
    out += piece;
    length -= piece;
  }
  return inflate_outcome::filled;
}

deflate_stream start_deflate(int level) {
  auto* state = new deflate_state;
  state->started = deflateInit(&state->z, level) == Z_OK;
  return {{state, end_deflate}};
}

namespace {

bool run_deflate(deflate_state& state, int flush, std::vector<std::uint8_t>& out) {
  if (!state.started) return false;
  for (;;) {
    std::size_t at = out.size();
    std::size_t room = std::max<std::size_t>(deflateBound(&state.z, state.z.avail_in), 1 << 16);
    room = std::min(room, LARGEST_PIECE);
    out.resize(at + room);
    state.z.next_out = out.data() + at;
    state.z.avail_out = static_cast<uInt>(room);
    int result = deflate(&state.z, flush);
    out.resize(out.size() - state.z.avail_out);
    if (result == Z_STREAM_ERROR) return false;
    if (flush == Z_FINISH ? result == Z_STREAM_END : state.z.avail_in == 0) return true;
  }
}

}  // namespace

bool deflate_more(deflate_stream& stream, const std::uint8_t* bytes, std::size_t length,
                  std::vector<std::uint8_t>& out) {
  deflate_state& state = *stream.state;
  while (length > 0) {
    std::size_t piece = std::min(length, LARGEST_PIECE);
    state.z.next_in = const_cast<Bytef*>(bytes);
    state.z.avail_in = static_cast<uInt>(piece);
    if (!run_deflate(state, Z_NO_FLUSH, out)) return false;
    bytes += piece;
    length -= piece;
  }
  return true;
}

bool deflate_end(deflate_stream& stream, std::vector<std::uint8_t>& out) {
  deflate_state& state = *stream.state;
  state.z.next_in = nullptr;
  state.z.avail_in = 0;
  return run_deflate(state, Z_FINISH, out);
}
