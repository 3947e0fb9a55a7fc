// The compression seam in the web build: fflate (an npm library, put in front of the
// module as `paletteFflate`) inflates and deflates; CRC-32 is computed here. The zlib
// header is checked here as zlib checks it, and only the deflate data behind it goes to
// fflate, so that, as with zlib, nothing after the bytes the rows need is looked at.

#include <emscripten.h>

#include <array>
#include <cstring>

#include "compression.h"

// The streams fflate works on live on the JavaScript side, by number. (The functions'
// bodies are JavaScript, which the C++ formatter would spoil.)
// clang-format off
EM_JS(int, js_inflate_start, (const std::uint8_t* data, std::size_t length), {
  if (!Module.paletteInflates) Module.paletteInflates = {next: 1, open: {}};
  var input = HEAPU8.slice(data, data + length);
  var stream = {input: input, at: 0, chunks: [], have: 0, ended: false, error: -1};
  stream.inflate = new paletteFflate.Inflate(function(chunk, final) {
    stream.chunks.push(chunk);
    stream.have += chunk.length;
    if (final) stream.ended = true;
  });
  var id = Module.paletteInflates.next++;
  Module.paletteInflates.open[id] = stream;
  return id;
});

// Up to `length` bytes into out; the count, or -1 less the count when the stream is
// corrupt. Input goes in pieces, so that a stream never inflates much past what is asked
// of it.
EM_JS(int, js_inflate_read, (int id, std::uint8_t* out, std::size_t length), {
  var stream = Module.paletteInflates.open[id];
  while (stream.have < length && !stream.ended && stream.error < 0 &&
         stream.at < stream.input.length) {
    var piece = stream.input.subarray(stream.at, stream.at + 65536);
    stream.at += piece.length;
    try {
      stream.inflate.push(piece, stream.at >= stream.input.length);
    } catch (e) {
      // fflate's code 0 is "unexpected end of data": the stream is cut short.
      stream.error = (e && e.code == 0) ? 0 : 1;
    }
  }
  var copied = 0;
  while (copied < length && stream.chunks.length > 0) {
    var chunk = stream.chunks[0];
    var take = Math.min(chunk.length, length - copied);
    HEAPU8.set(chunk.subarray(0, take), out + copied);
    copied += take;
    stream.have -= take;
    if (take == chunk.length)
      stream.chunks.shift();
    else
      stream.chunks[0] = chunk.subarray(take);
  }
  if (copied < length && stream.error == 1) return -1 - copied;
  return copied;
});

EM_JS(void, js_inflate_end, (int id), { delete Module.paletteInflates.open[id]; });

// zlib's stream of the bytes at the level; its length, kept for js_deflate_take.
EM_JS(int, js_deflate, (const std::uint8_t* data, std::size_t length, int level), {
  try {
    Module.paletteDeflated =
        paletteFflate.zlibSync(HEAPU8.subarray(data, data + length), {level: level});
  } catch (e) {
    return -1;
  }
  return Module.paletteDeflated.length;
});

EM_JS(void, js_deflate_take, (std::uint8_t* out), {
  HEAPU8.set(Module.paletteDeflated, out);
  Module.paletteDeflated = null;
});
// clang-format on

struct inflate_state {
  int id = 0;
  bool header_ok = false;
};

namespace {

void end_inflate(inflate_state* state) {
  if (state->id != 0) js_inflate_end(state->id);
  delete state;
}

// The two header bytes as zlib's inflate accepts them: deflate, a window of at most
// 32 KiB, the check bits right, no preset dictionary.
bool is_zlib_header(std::uint8_t method, std::uint8_t flags) {
  return (method & 0x0F) == 8 && (method >> 4) <= 7 && ((method << 8) | flags) % 31 == 0 &&
         (flags & 0x20) == 0;
}

std::array<std::uint32_t, 256> crc_table() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

}  // namespace

std::uint32_t crc32_of(const std::uint8_t* bytes, std::size_t length, std::uint32_t crc) {
  static const std::array<std::uint32_t, 256> TABLE = crc_table();
  std::uint32_t c = crc ^ 0xFFFFFFFFu;
  for (std::size_t i = 0; i < length; ++i) c = TABLE[(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

inflate_stream start_inflate(std::vector<byte_span> spans) {
  auto* state = new inflate_state;
  std::vector<std::uint8_t> stream;
  for (const byte_span& span : spans)
    stream.insert(stream.end(), span.data, span.data + span.length);
  state->header_ok = stream.size() >= 2 && is_zlib_header(stream[0], stream[1]);
  if (state->header_ok) state->id = js_inflate_start(stream.data() + 2, stream.size() - 2);
  return {{state, end_inflate}};
}

refusal inflate_next(inflate_stream& stream, std::uint8_t* out, std::size_t length,
                     std::size_t& produced) {
  inflate_state& state = *stream.state;
  produced = 0;
  if (!state.header_ok) return refusal::png_stream_corrupt;
  int copied = js_inflate_read(state.id, out, length);
  produced = static_cast<std::size_t>(copied < 0 ? -1 - copied : copied);
  if (copied < 0) return refusal::png_stream_corrupt;
  return produced == length ? refusal::none : refusal::png_stream_short;
}

refusal inflate_next(inflate_stream& stream, std::uint8_t* out, std::size_t length) {
  std::size_t produced = 0;
  return inflate_next(stream, out, length, produced);
}

// No faster inflate here: the stream's pieces as for any reader.
bool inflate_whole(const std::vector<byte_span>& spans, std::uint8_t* out, std::size_t length) {
  inflate_stream stream = start_inflate(spans);
  return inflate_next(stream, out, length) == refusal::none;
}

// One part, on this thread: there are no others here.
refusal deflate_all(const deflate_source& source, int level, unsigned /*threads*/,
                    std::vector<std::uint8_t>& out) {
  std::vector<std::uint8_t> bytes(source.length);
  source.fill(0, source.length, bytes.data());
  int length = js_deflate(bytes.data(), bytes.size(), level);
  if (length < 0) return refusal::out_of_memory;
  std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(length));
  js_deflate_take(out.data() + at);
  return refusal::none;
}
