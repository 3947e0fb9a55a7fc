#include "png_chunks.h"

#include <algorithm>
#include <cstring>

#include "byte_order.h"
#include "compression.h"
#include "image/bmp_layout.h"
#include "png_layout.h"

namespace {

struct chunk {
  std::uint32_t length;
  const std::uint8_t* type;
  const std::uint8_t* data;
};

bool is_type(const chunk& c, const char* name) {
  return std::memcmp(c.type, name, 4) == 0;
}

bool letters_only(const chunk& c) {
  for (int i = 0; i < 4; ++i) {
    std::uint8_t b = c.type[i];
    if (!((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'))) return false;
  }
  return true;
}

// The ancillary bit: a chunk with a lower-case first letter may be skipped.
bool is_critical(const chunk& c) {
  return (c.type[0] & 0x20) == 0;
}

bool depth_allowed(std::uint8_t color_type, std::uint8_t depth) {
  switch (color_type) {
    case png::GRAYSCALE:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case png::PALETTE:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case png::TRUE_COLOUR:
    case png::GRAYSCALE_ALPHA:
    case png::TRUE_COLOUR_ALPHA:
      return depth == 8 || depth == 16;
    default:
      return false;
  }
}

std::uint64_t equivalent_stride(std::uint32_t width) {
  return (std::uint64_t{width} + 3) / 4 * 4;
}

refusal read_ihdr(const chunk& c, png_header& header) {
  if (c.length != png::IHDR_LENGTH) return refusal::png_ihdr_length;
  header.width = read_be32(c.data);
  header.height = read_be32(c.data + 4);
  header.depth = c.data[8];
  header.color_type = c.data[9];
  header.interlace = c.data[12];
  if (header.width == 0 || header.width > png::MAX_DIMENSION || header.height == 0 ||
      header.height > png::MAX_DIMENSION)
    return refusal::png_bad_size;
  if (!depth_allowed(header.color_type, header.depth)) return refusal::png_bad_form;
  if (c.data[10] != 0) return refusal::png_bad_compression_method;
  if (c.data[11] != 0) return refusal::png_bad_filter_method;
  if (header.interlace > png::INTERLACE_ADAM7) return refusal::png_bad_interlace_method;
  if (header.depth > 8) return refusal::png_unsupported;
  std::uint64_t stride = equivalent_stride(header.width);
  std::uint64_t room = static_cast<std::uint64_t>(bmp::MAX_INPUT_SIZE) - bmp::OUTPUT_PIXEL_OFFSET;
  if (stride > room / header.height) return refusal::decoded_too_large;
  header.stride = static_cast<std::uint32_t>(stride);
  if (header.color_type == png::GRAYSCALE) {
    header.entries = std::uint32_t{1} << header.depth;
    for (std::uint32_t k = 0; k < header.entries; ++k) {
      auto level = static_cast<std::uint8_t>(k * 255 / (header.entries - 1));
      header.palette[k] = {level, level, level};
    }
  }
  return refusal::none;
}

// What the chunks seen so far allow the next one to be.
struct chunk_order {
  bool palette = false;
  bool transparency = false;
  bool data_started = false;
  bool data_ended = false;
  bool resolution = false;
};

refusal read_plte(const chunk& c, const chunk_order& order, png_header& header) {
  if (header.color_type == png::GRAYSCALE || header.color_type == png::GRAYSCALE_ALPHA)
    return refusal::png_palette_unexpected;
  if (order.palette) return refusal::png_palette_repeated;
  if (order.data_started) return refusal::png_palette_after_data;
  if (c.length == 0) return refusal::png_palette_empty;
  if (c.length % 3 != 0) return refusal::png_palette_not_whole;
  // Depths above 8 are refused before: 2^depth is at most 256 here.
  if (c.length / 3 > (std::uint32_t{1} << header.depth)) return refusal::png_palette_too_long;
  // A true-colour picture's palette only suggests colours for a viewer to quantise to.
  if (is_true_colour(header)) return refusal::none;
  header.entries = c.length / 3;
  for (std::uint32_t k = 0; k < header.entries; ++k)
    header.palette[k] = {c.data[3 * k], c.data[3 * k + 1], c.data[3 * k + 2]};
  return refusal::none;
}

// The bytes a tRNS holds: one a palette entry at most, else one 2-byte sample a channel.
bool transparency_length_fits(const png_header& header, std::uint32_t length) {
  if (header.color_type == png::PALETTE) return length <= header.entries;
  return length == (header.color_type == png::TRUE_COLOUR ? 6u : 2u);
}

refusal read_trns(const chunk& c, const chunk_order& order, png_header& header) {
  // Where every pixel has its alpha, a tRNS has nothing to add.
  if (header.color_type == png::GRAYSCALE_ALPHA || header.color_type == png::TRUE_COLOUR_ALPHA)
    return refusal::none;
  bool palette = header.color_type == png::PALETTE;
  if (palette && !order.palette) return refusal::png_transparency_before_palette;
  if (order.data_started) return refusal::png_transparency_after_data;
  if (order.transparency) return refusal::png_transparency_repeated;
  if (!transparency_length_fits(header, c.length)) return refusal::png_transparency_length;
  if (palette) {
    std::copy(c.data, c.data + c.length, header.alpha.begin());
  } else if (header.color_type == png::TRUE_COLOUR) {
    header.colour_key = true;
    for (std::size_t i = 0; i < header.key.size(); ++i) header.key[i] = read_be16(c.data + 2 * i);
  } else if (std::uint32_t level = read_be16(c.data); level < header.entries) {
    header.alpha[level] = 0;
  }
  return refusal::none;
}

// The resolution counts only in pixels per metre, and only where a bitmap can hold it.
void read_phys(const chunk& c, png_header& header) {
  if (c.length != png::PHYS_LENGTH || c.data[8] != png::PHYS_UNIT_METRE) return;
  std::uint32_t x = read_be32(c.data);
  std::uint32_t y = read_be32(c.data + 4);
  if (x > png::MAX_DIMENSION || y > png::MAX_DIMENSION) return;
  header.x_per_metre = x;
  header.y_per_metre = y;
}

refusal read_chunk(const chunk& c, chunk_order& order, png_header& header) {
  refusal fault = refusal::none;
  if (is_type(c, "IDAT")) {
    if (order.data_ended) return refusal::png_data_apart;
    order.data_started = true;
    header.data.push_back({c.data, c.length});
    return refusal::none;
  }
  if (order.data_started) order.data_ended = true;
  if (is_type(c, "PLTE")) {
    fault = read_plte(c, order, header);
    order.palette = true;
  } else if (is_type(c, "tRNS")) {
    fault = read_trns(c, order, header);
    order.transparency = true;
  } else if (is_type(c, "pHYs")) {
    // As strict as tRNS: a resolution that comes late or twice is no resolution to trust.
    if (order.data_started) return refusal::png_resolution_after_data;
    if (order.resolution) return refusal::png_resolution_repeated;
    read_phys(c, header);
    order.resolution = true;
  } else if (is_critical(c)) {
    fault = refusal::png_unknown_critical;
  }
  return fault;
}

// The chunk at `at`, or none where the file ends inside it.
bool chunk_at(const std::uint8_t* bytes, std::size_t size, std::size_t at, chunk& c) {
  if (size - at < png::CHUNK_OVERHEAD) return false;
  c.length = read_be32(bytes + at);
  c.type = bytes + at + 4;
  c.data = bytes + at + 8;
  return c.length <= png::MAX_CHUNK_LENGTH && c.length <= size - at - png::CHUNK_OVERHEAD;
}

// Four letters; the record's fifth byte, zeroed where it is made, ends them.
void name_chunk(const chunk& c, png_header& header) {
  std::memcpy(header.chunk, c.type, 4);
}

void count_transparent(png_header& header) {
  for (std::uint32_t k = 0; k < png::MAX_PALETTE_ENTRIES; ++k)
    header.transparent += header.alpha[k] == 0 ? 1 : 0;
}

}  // namespace

const char* png_color_type_name(std::uint8_t color_type) {
  switch (color_type) {
    case png::GRAYSCALE:
      return "grayscale";
    case png::TRUE_COLOUR:
      return "true colour";
    case png::PALETTE:
      return "palette";
    case png::GRAYSCALE_ALPHA:
      return "grayscale with alpha";
    case png::TRUE_COLOUR_ALPHA:
      return "true colour with alpha";
    default:
      return "an unknown colour type";
  }
}

bool looks_like_png(const std::uint8_t* bytes, std::size_t size) {
  std::size_t compared = std::min(size, png::SIGNATURE.size());
  return compared > 0 && std::memcmp(bytes, png::SIGNATURE.data(), compared) == 0;
}

refusal read_png_header(const std::uint8_t* bytes, std::size_t size, png_header& header) {
  header = {};
  header.alpha.fill(255);
  if (size < png::SIGNATURE.size()) return refusal::png_cut_short;
  chunk_order order;
  for (std::size_t at = png::SIGNATURE.size();;) {
    chunk c{};
    if (at == size) return refusal::png_no_end;
    if (!chunk_at(bytes, size, at, c)) return refusal::png_cut_short;
    name_chunk(c, header);
    std::uint32_t stored = read_be32(c.data + c.length);
    if (crc32_of(c.type, std::size_t{c.length} + 4) != stored) return refusal::png_bad_crc;
    if (!letters_only(c)) return refusal::png_bad_chunk_type;
    bool first = at == png::SIGNATURE.size();
    if (first != is_type(c, "IHDR"))
      return first ? refusal::png_ihdr_not_first : refusal::png_ihdr_repeated;
    if (is_type(c, "IEND")) {
      if (c.length != 0) return refusal::png_end_with_data;
      break;
    }
    refusal fault = first ? read_ihdr(c, header) : read_chunk(c, order, header);
    if (fault != refusal::none) return fault;
    at += png::CHUNK_OVERHEAD + c.length;
  }
  if (header.color_type == png::PALETTE && !order.palette) return refusal::png_palette_missing;
  if (!order.data_started) return refusal::png_no_data;
  if (!is_true_colour(header)) count_transparent(header);
  return refusal::none;
}

bool is_true_colour(const png_header& header) {
  return header.color_type == png::TRUE_COLOUR || header.color_type == png::GRAYSCALE_ALPHA ||
         header.color_type == png::TRUE_COLOUR_ALPHA;
}
