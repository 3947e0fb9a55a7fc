// The compression seam served by zlib.

#include <zlib.h>
#ifdef QUORL_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <algorithm>
#include <atomic>
#include <climits>
#include <new>

#include "compression.h"
#include "run_parts.h"

struct inflate_state {
  z_stream z{};
  std::vector<byte_span> spans;
  std::size_t next_span = 0;
  bool started = false;
  bool out_of_memory = false;
};

namespace {

// zlib counts in uInt: pieces of a span longer than that are handed over in turn.
constexpr std::size_t LARGEST_PIECE = UINT_MAX;

void end_inflate(inflate_state* state) {
  if (state->started) inflateEnd(&state->z);
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
  auto* state = new (std::nothrow) inflate_state;
  if (state == nullptr) return {{nullptr, end_inflate}};
  state->spans = std::move(spans);
  int started = inflateInit(&state->z);
  state->started = started == Z_OK;
  state->out_of_memory = started == Z_MEM_ERROR;
  // Only the bytes the rows need are inflated, so the stream's checksum is never reached:
  // computing it would cost a sixth of the inflate for nothing.
  if (state->started) inflateValidate(&state->z, 0);
  return {{state, end_inflate}};
}

refusal inflate_next(inflate_stream& stream, std::uint8_t* out, std::size_t length,
                     std::size_t& produced) {
  produced = 0;
  if (stream.state == nullptr) return refusal::out_of_memory;
  inflate_state& state = *stream.state;
  if (!state.started)
    return state.out_of_memory ? refusal::out_of_memory : refusal::png_stream_corrupt;
  while (length > 0) {
    std::size_t piece = std::min(length, LARGEST_PIECE);
    state.z.next_out = out;
    state.z.avail_out = static_cast<uInt>(piece);
    refusal outcome = refusal::none;
    while (state.z.avail_out > 0 && outcome == refusal::none) {
      if (!refill(state)) {
        outcome = refusal::png_stream_short;
        break;
      }
      int result = inflate(&state.z, Z_NO_FLUSH);
      if (result == Z_STREAM_END && state.z.avail_out > 0) outcome = refusal::png_stream_short;
      if (result == Z_STREAM_END) break;
      if (result == Z_MEM_ERROR)
        outcome = refusal::out_of_memory;
      else if (result != Z_OK && result != Z_BUF_ERROR)
        outcome = refusal::png_stream_corrupt;
    }
    produced += piece - state.z.avail_out;
    if (outcome != refusal::none) return outcome;
    out += piece;
    length -= piece;
  }
  return refusal::none;
}

refusal inflate_next(inflate_stream& stream, std::uint8_t* out, std::size_t length) {
  std::size_t produced = 0;
  return inflate_next(stream, out, length, produced);
}

#ifdef QUORL_LIBDEFLATE
namespace {

// libdeflate takes the stream in one piece: a stream split over chunks is joined first,
// which costs a copy of the file's compressed bytes, a fraction of the inflate saved.
bool libdeflate_whole(const std::vector<byte_span>& spans, std::uint8_t* out, std::size_t length) {
  std::vector<std::uint8_t> joined;
  const std::uint8_t* in = spans.empty() ? nullptr : spans[0].data;
  std::size_t in_length = spans.empty() ? 0 : spans[0].length;
  if (spans.size() > 1) {
    std::size_t total = 0;
    for (const byte_span& span : spans) total += span.length;
    joined.reserve(total);
    for (const byte_span& span : spans)
      joined.insert(joined.end(), span.data, span.data + span.length);
    in = joined.data();
    in_length = joined.size();
  }
  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
  if (decompressor == nullptr) return false;
  std::size_t got = 0;
  libdeflate_result result =
      libdeflate_zlib_decompress(decompressor, in, in_length, out, length, &got);
  libdeflate_free_decompressor(decompressor);
  return result == LIBDEFLATE_SUCCESS && got == length;
}

}  // namespace
#endif

bool inflate_whole(const std::vector<byte_span>& spans, std::uint8_t* out, std::size_t length) {
#ifdef QUORL_LIBDEFLATE
  if (libdeflate_whole(spans, out, length)) return true;
#endif
  inflate_stream stream = start_inflate(spans);
  return inflate_next(stream, out, length) == refusal::none;
}

namespace {

// The stream is deflated in parts of this many bytes, each from the 32 KiB window before
// it as its dictionary, so that parts can go side by side at little cost in size. The
// cut is fixed, so the bytes never depend on the number of threads; a stream of one part
// is byte for byte zlib's own.
constexpr std::size_t DEFLATE_PART = std::size_t{1} << 20;
constexpr std::size_t WINDOW = std::size_t{1} << 15;

struct deflated_part {
  std::vector<std::uint8_t> bytes;
  uLong adler = 1;
  bool made = false;
};

// What a thread reuses from part to part: the part's bytes with the window before them,
// and zlib's output before it is cut to size.
struct part_buffers {
  std::vector<std::uint8_t> input;
  std::vector<std::uint8_t> output;
};

// Raw deflate of one part; every part but the last ends on a byte boundary with a sync
// flush, so the parts are simply laid one after another.
deflated_part deflate_part(const deflate_source& source, int level, std::size_t part,
                           part_buffers& buffers) {
  deflated_part result;
  std::size_t start = part * DEFLATE_PART;
  std::size_t end = std::min(source.length, start + DEFLATE_PART);
  std::size_t window_start = start > WINDOW ? start - WINDOW : 0;
  std::size_t window = start - window_start;
  buffers.input.resize(end - window_start);
  const std::uint8_t* input = buffers.input.data();
  source.fill(window_start, end, buffers.input.data());
  result.adler = adler32(1, input + window, static_cast<uInt>(end - start));
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return result;
  if (window > 0) deflateSetDictionary(&z, input, static_cast<uInt>(window));
  z.next_in = const_cast<Bytef*>(input + window);
  z.avail_in = static_cast<uInt>(end - start);
  bool last = end == source.length;
  // A sync flush adds at most a few bytes beyond zlib's bound for the part.
  buffers.output.resize(deflateBound(&z, z.avail_in) + 16);
  z.next_out = buffers.output.data();
  z.avail_out = static_cast<uInt>(buffers.output.size());
  int status = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
  result.made =
      last ? status == Z_STREAM_END : status == Z_OK && z.avail_in == 0 && z.avail_out > 0;
  result.bytes.assign(buffers.output.data(), z.next_out);
  deflateEnd(&z);
  return result;
}

// zlib's two header bytes for a 32 KiB window at this level.
void put_zlib_header(int level, std::vector<std::uint8_t>& out) {
  unsigned level_flags = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
  unsigned header = (Z_DEFLATED + ((MAX_WBITS - 8) << 4)) << 8 | level_flags << 6;
  header += 31 - header % 31;
  out.push_back(static_cast<std::uint8_t>(header >> 8));
  out.push_back(static_cast<std::uint8_t>(header));
}

}  // namespace

namespace {

bool deflate_parts(const deflate_source& source, int level, unsigned threads,
                   std::vector<std::uint8_t>& out) {
  std::size_t parts = std::max<std::size_t>(1, (source.length + DEFLATE_PART - 1) / DEFLATE_PART);
  std::vector<deflated_part> done(parts);
  std::atomic<std::size_t> next{0};
  run_parts(std::min<std::size_t>(std::max(threads, 1u), parts), [&](std::size_t) {
    part_buffers buffers;
    for (std::size_t part = next++; part < parts; part = next++) {
      // Out of memory on a thread fails the part, which fails the stream.
      try {
        done[part] = deflate_part(source, level, part, buffers);
      } catch (const std::bad_alloc&) {
        done[part].made = false;
      }
    }
  });
  std::size_t length = 6;
  for (const deflated_part& part : done) {
    if (!part.made) return false;
    length += part.bytes.size();
  }
  out.reserve(out.size() + length);
  put_zlib_header(level, out);
  uLong adler = 1;
  for (std::size_t part = 0; part < parts; ++part) {
    out.insert(out.end(), done[part].bytes.begin(), done[part].bytes.end());
    std::size_t part_length = std::min(DEFLATE_PART, source.length - part * DEFLATE_PART);
    adler = adler32_combine(adler, done[part].adler, static_cast<z_off_t>(part_length));
  }
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>(adler >> shift));
  return true;
}

}  // namespace

refusal deflate_all(const deflate_source& source, int level, unsigned threads,
                    std::vector<std::uint8_t>& out) {
  // The parts' list and the stream's room are asked for whole: without them, no stream.
  try {
    return deflate_parts(source, level, threads, out) ? refusal::none : refusal::out_of_memory;
  } catch (const std::bad_alloc&) {
    return refusal::out_of_memory;
  }
}
