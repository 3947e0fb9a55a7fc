#include "bmp_decode.h"

#include <algorithm>
#include <cstring>

#include "bitmap_headers.h"
#include "bmp_true_colour.h"
#include "packed_samples.h"

namespace {

struct file_view {
  const std::uint8_t* bytes;
  std::uint64_t size;
  // Bytes at or past the end of the file read as 0.
  std::uint8_t at(std::uint64_t offset) const { return offset < size ? bytes[offset] : 0; }
};

std::uint32_t stored_le32(file_view file, std::uint64_t offset) {
  std::uint32_t value = 0;
  for (unsigned k = 0; k < 4; ++k) value |= std::uint32_t{file.at(offset + k)} << (8 * k);
  return value;
}

// U's headers: what the file's own hold (its reserved fields, resolutions, planes), with
// the layout, size and counts of an uncompressed 8-bit file with a 40-byte info header.
bitmap_fields equivalent_fields(file_view file, const bmp_header& header) {
  bitmap_fields fields;
  fields.file_size = stored_le32(file, bmp::FILE_SIZE_FIELD);
  fields.reserved = stored_le32(file, bmp::RESERVED_FIELD);
  fields.pixel_offset = bmp::OUTPUT_PIXEL_OFFSET;
  if (header.core) {
    fields.width = header.width;
    fields.height = header.height;
    // The core header's planes field sits at offset 22; it has no resolutions.
    fields.planes = static_cast<std::uint16_t>(file.at(22) | file.at(23) << 8);
  } else {
    fields.width = static_cast<std::int32_t>(stored_le32(file, bmp::WIDTH_FIELD));
    fields.height = static_cast<std::int32_t>(stored_le32(file, bmp::HEIGHT_FIELD));
    fields.planes = static_cast<std::uint16_t>(stored_le32(file, bmp::PLANES_FIELD));
    fields.x_per_metre = stored_le32(file, bmp::X_RESOLUTION_FIELD);
    fields.y_per_metre = stored_le32(file, bmp::Y_RESOLUTION_FIELD);
    fields.colors_important = stored_le32(file, bmp::COLORS_IMPORTANT_FIELD);
  }
  fields.image_size = static_cast<std::uint32_t>(std::uint64_t{header.stride} * header.rows);
  fields.colors_used = static_cast<std::uint32_t>(equivalent_header(header).colors_used);
  return fields;
}

void write_palette(file_view file, const bmp_header& header, std::uint8_t* palette) {
  std::uint32_t entries = stored_entry_count(header);
  std::uint64_t entry_size = header.core ? bmp::CORE_ENTRY_SIZE : bmp::ENTRY_SIZE;
  for (std::uint32_t i = 0; i < entries; ++i) {
    for (std::uint64_t j = 0; j < entry_size; ++j)
      palette[i * bmp::ENTRY_SIZE + j] = file.at(header.palette_offset + i * entry_size + j);
  }
}

// The row that the end of the file cuts: its missing bytes read as 0.
void unpack_cut_row(file_view file, std::uint64_t start, std::uint64_t row_length,
                    std::uint32_t width, int bits, std::uint8_t* line) {
  std::uint8_t bytes[64];
  for (std::uint64_t done = 0; done < row_length; done += sizeof bytes) {
    std::uint64_t chunk = std::min<std::uint64_t>(sizeof bytes, row_length - done);
    for (std::uint64_t i = 0; i < chunk; ++i) bytes[i] = file.at(start + done + i);
    std::uint64_t first = done * 8 / static_cast<std::uint64_t>(bits);
    if (first >= width) return;
    auto count = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(chunk * 8 / static_cast<std::uint64_t>(bits), width - first));
    unpack_samples(bytes, count, static_cast<unsigned>(bits), line + first, 1);
  }
}

void unpack_rows(file_view file, const bmp_header& header, std::uint8_t* pixels) {
  auto width = static_cast<std::uint32_t>(header.width);
  std::uint64_t row_length = (std::uint64_t{width} * header.bits + 31) / 32 * 4;
  if (width == 0) return;
  for (std::uint64_t row = 0; row < header.rows; ++row) {
    std::uint64_t start = header.pixel_offset + row * row_length;
    std::uint8_t* line = pixels + row * header.stride;
    if (start >= file.size) return;  // the rest stays 0
    if (start + row_length <= file.size) {
      unpack_samples(file.bytes + start, width, static_cast<unsigned>(header.bits), line, 1);
    } else {
      unpack_cut_row(file, start, row_length, width, header.bits, line);
    }
  }
}

// The rows are not cleared beforehand: the stream only moves forwards, so every byte it
// skips is zeroed as the decoder passes it, and the rest at the end.
struct rle_target {
  std::uint8_t* pixels;
  std::uint64_t stride;
  std::uint64_t width;
  std::uint64_t rows;
  bool nibbles;  // RLE4
  std::uint64_t x = 0;
  std::uint64_t y = 0;
  std::uint64_t cleared = 0;  // bytes from the start of the rows that hold their value

  // How many of n pixels from the current column still fall inside the row.
  std::uint64_t visible(std::uint64_t n) const { return x < width ? std::min(n, width - x) : 0; }
  // Where the next `shown` pixels go, with everything skipped before them zeroed.
  std::uint8_t* claim(std::uint64_t shown) {
    std::uint64_t at = y * stride + x;
    if (shown == 0) return pixels;
    std::memset(pixels + cleared, 0, static_cast<std::size_t>(at - cleared));
    cleared = at + shown;
    return pixels + at;
  }
  void clear_rest() {
    std::memset(pixels + cleared, 0, static_cast<std::size_t>(rows * stride - cleared));
  }
};

void put_run(rle_target& target, std::uint8_t count, std::uint8_t value) {
  std::uint64_t shown = target.visible(count);
  std::uint8_t* at = target.claim(shown);
  if (!target.nibbles) {
    std::memset(at, value, static_cast<std::size_t>(shown));
  } else {
    for (std::uint64_t i = 0; i < shown; ++i)
      at[i] = (i & 1) != 0 ? value & 0x0F : static_cast<std::uint8_t>(value >> 4);
  }
  target.x += count;
}

// A literal run of `count` pixels from `data`, of which only `available` bytes exist.
void put_literal(rle_target& target, std::uint8_t count, const std::uint8_t* data,
                 std::uint64_t available) {
  std::uint64_t present = target.nibbles ? available * 2 : available;
  std::uint64_t shown = target.visible(std::min<std::uint64_t>(count, present));
  std::uint8_t* at = target.claim(shown);
  if (!target.nibbles) {
    std::memcpy(at, data, static_cast<std::size_t>(shown));
  } else {
    for (std::uint64_t i = 0; i < shown; ++i) {
      std::uint8_t byte = data[i / 2];
      at[i] = (i & 1) != 0 ? byte & 0x0F : static_cast<std::uint8_t>(byte >> 4);
    }
  }
  target.x += count;
}

constexpr std::uint8_t RLE_ESCAPE = 0;
constexpr std::uint8_t RLE_END_OF_LINE = 0;
constexpr std::uint8_t RLE_END_OF_BITMAP = 1;
constexpr std::uint8_t RLE_DELTA = 2;

// Decodes until the last row, the end marker or the end of the stream, whichever comes
// first; a pair or run that the end of the file cuts is taken as far as it goes.
void decode_rle(const std::uint8_t* stream, std::uint64_t length, rle_target& target) {
  std::uint64_t i = 0;
  while (target.y < target.rows && i + 2 <= length) {
    std::uint8_t count = stream[i];
    std::uint8_t value = stream[i + 1];
    i += 2;
    if (count != RLE_ESCAPE) {
      put_run(target, count, value);
    } else if (value == RLE_END_OF_LINE) {
      target.x = 0;
      ++target.y;
    } else if (value == RLE_END_OF_BITMAP) {
      return;
    } else if (value == RLE_DELTA) {
      if (i + 2 > length) return;
      target.x += stream[i];
      target.y += stream[i + 1];
      i += 2;
    } else {
      std::uint64_t data = target.nibbles ? (value + 1u) / 2 : value;
      put_literal(target, value, stream + i, std::min(data, length - i));
      i += data + (data & 1);
    }
  }
}

}  // namespace

refusal write_bitmap_equivalent(stored_file stored, bmp_header& header, std::uint8_t* equivalent,
                                std::array<std::uint8_t, bmp::PALETTE_ENTRIES>& alpha) {
  const std::uint8_t* bytes = stored.bytes;
  file_view file{bytes, stored.size};
  std::memset(equivalent, 0, bmp::OUTPUT_PIXEL_OFFSET);
  std::uint8_t* pixels = equivalent + bmp::OUTPUT_PIXEL_OFFSET;
  if (is_true_colour(header)) {
    // The fill bytes stay 0; every pixel is numbered.
    std::memset(pixels, 0, std::size_t{header.stride} * header.rows);
    refusal fault =
        number_bitmap_rows(stored, header, pixels, equivalent + bmp::HEADERS_SIZE, alpha);
    // After the rows: the colours-used field is the count of their colours.
    write_bitmap_headers(equivalent_fields(file, header), equivalent);
    return fault;
  }
  write_bitmap_headers(equivalent_fields(file, header), equivalent);
  write_palette(file, header, equivalent + bmp::HEADERS_SIZE);
  if (header.compression == bmp::COMPRESSION_NONE) {
    std::memset(pixels, 0, std::size_t{header.stride} * header.rows);
    unpack_rows(file, header, pixels);
    return refusal::none;
  }
  rle_target target{pixels, header.stride, static_cast<std::uint64_t>(header.width), header.rows,
                    header.compression == bmp::COMPRESSION_RLE4};
  decode_rle(bytes + header.pixel_offset, file.size - header.pixel_offset, target);
  target.clear_rest();
  return refusal::none;
}
