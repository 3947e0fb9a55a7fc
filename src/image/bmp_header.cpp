#include "image/bmp_header.h"

#include <algorithm>
#include <cstdlib>

#include "image/byte_order.h"

namespace {

std::uint32_t row_count(std::int32_t height) {
  // Negating in 64 bits keeps -2^31 from overflowing.
  return static_cast<std::uint32_t>(std::abs(static_cast<std::int64_t>(height)));
}

std::uint32_t palette_capacity(const bmp_header& header) {
  return std::uint32_t{1} << header.bits;
}

bool colors_used_counts_entries(const bmp_header& header) {
  return header.colors_used > 0 &&
         static_cast<std::uint32_t>(header.colors_used) < palette_capacity(header);
}

std::uint64_t padded_width(std::int32_t width) {
  return (static_cast<std::uint64_t>(width) + 3) / 4 * 4;
}

void read_core_fields(const std::uint8_t* bytes, bmp_header& header) {
  header.core = true;
  header.width = read_le16(bytes + bmp::CORE_WIDTH_FIELD);
  header.height = read_le16(bytes + bmp::CORE_HEIGHT_FIELD);
  header.bits = read_le16(bytes + bmp::CORE_BITS_FIELD);
  header.palette_offset = bmp::CORE_HEADERS_SIZE;
}

void read_info_fields(const std::uint8_t* bytes, bmp_header& header) {
  header.width = read_le32_signed(bytes + bmp::WIDTH_FIELD);
  header.height = read_le32_signed(bytes + bmp::HEIGHT_FIELD);
  header.bits = read_le16(bytes + bmp::BITS_FIELD);
  header.compression = read_le32(bytes + bmp::COMPRESSION_FIELD);
  header.colors_used = read_le32_signed(bytes + bmp::COLORS_USED_FIELD);
  header.palette_offset = bmp::FILE_HEADER_SIZE + std::uint64_t{header.info_size};
}

refusal check_pixel_offset(std::uint32_t offset, std::uint64_t headers_end, std::int32_t size) {
  if (offset < headers_end) return refusal::pixel_offset_in_headers;
  if (offset > static_cast<std::uint32_t>(size)) return refusal::pixel_offset_past_end;
  return refusal::none;
}

// The file's own rows: the padded row length, capped by what the file holds per row so
// that trailing bytes never widen it.
refusal check_in_place(bmp_header& header, std::int32_t size) {
  if (header.height == 0) return refusal::zero_height;
  if (header.width < 0) return refusal::negative_width;
  refusal offset_fault = check_pixel_offset(header.pixel_offset, bmp::HEADERS_SIZE, size);
  if (offset_fault != refusal::none) return offset_fault;
  if (header.colors_used < 0) return refusal::negative_colors_used;
  std::uint64_t pixel_bytes = static_cast<std::uint32_t>(size) - header.pixel_offset;
  header.stride =
      static_cast<std::uint32_t>(std::min(padded_width(header.width), pixel_bytes / header.rows));
  if (static_cast<std::uint32_t>(header.width) > header.stride)
    return refusal::width_exceeds_stride;
  return refusal::none;
}

bool fits_bits(std::uint16_t bits, std::uint32_t compression) {
  if (compression == bmp::COMPRESSION_NONE) return true;
  if (compression == bmp::COMPRESSION_RLE8) return bits == 8;
  return compression == bmp::COMPRESSION_RLE4 && bits == 4;
}

refusal check_form(const bmp_header& header) {
  if (!header.core && header.info_size < bmp::MIN_INFO_SIZE) return refusal::unsupported_info_size;
  if (header.bits != 1 && header.bits != 4 && header.bits != 8) return refusal::unsupported_bits;
  if (!fits_bits(header.bits, header.compression)) return refusal::unsupported_compression;
  if (header.compression != bmp::COMPRESSION_NONE && header.height < 0)
    return refusal::compressed_top_down;
  return refusal::none;
}

// A decoded form: the 8-bit rows are built, so only their size limits them.
refusal check_decoded(bmp_header& header, std::int32_t size) {
  if (header.height == 0) return refusal::zero_height;
  if (header.width < 0) return refusal::negative_width;
  refusal offset_fault = check_pixel_offset(header.pixel_offset, header.palette_offset, size);
  if (offset_fault != refusal::none) return offset_fault;
  if (header.colors_used < 0) return refusal::negative_colors_used;
  std::uint64_t stride = padded_width(header.width);
  std::uint64_t room = static_cast<std::uint64_t>(bmp::MAX_INPUT_SIZE) - bmp::OUTPUT_PIXEL_OFFSET;
  if (stride > room / header.rows) return refusal::decoded_too_large;
  header.stride = static_cast<std::uint32_t>(stride);
  return refusal::none;
}

}  // namespace

refusal read_bmp_header(const std::uint8_t* bytes, std::int32_t size, bmp_header& header) {
  header = {};
  header.pixel_offset = read_le32(bytes + bmp::PIXEL_OFFSET_FIELD);
  header.info_size = read_le32(bytes + bmp::INFO_SIZE_FIELD);
  if (header.info_size == bmp::CORE_INFO_SIZE) {
    if (size < static_cast<std::int32_t>(bmp::CORE_HEADERS_SIZE)) return refusal::too_short;
    read_core_fields(bytes, header);
  } else {
    if (size < static_cast<std::int32_t>(bmp::HEADERS_SIZE)) return refusal::too_short;
    read_info_fields(bytes, header);
  }
  header.rows = row_count(header.height);
  header.in_place = !header.core && header.bits == 8 && header.compression == bmp::COMPRESSION_NONE;
  if (header.in_place) return check_in_place(header, size);
  refusal form_fault = check_form(header);
  if (form_fault != refusal::none) return form_fault;
  return check_decoded(header, size);
}

std::uint32_t stored_entry_count(const bmp_header& header) {
  return colors_used_counts_entries(header) ? static_cast<std::uint32_t>(header.colors_used)
                                            : palette_capacity(header);
}

// The equivalent holds a 40-byte info header, the full palette right after it and the
// rows right after that.
bmp_header equivalent_header(const bmp_header& header) {
  bmp_header equivalent = header;
  equivalent.info_size = bmp::OUTPUT_INFO_SIZE;
  equivalent.core = false;
  equivalent.bits = 8;
  equivalent.compression = bmp::COMPRESSION_NONE;
  equivalent.colors_used = colors_used_counts_entries(header) ? header.colors_used : 0;
  equivalent.pixel_offset = bmp::OUTPUT_PIXEL_OFFSET;
  equivalent.palette_offset = bmp::HEADERS_SIZE;
  equivalent.in_place = true;
  return equivalent;
}

std::int32_t equivalent_size(const bmp_header& header) {
  return static_cast<std::int32_t>(bmp::OUTPUT_PIXEL_OFFSET +
                                   std::uint64_t{header.stride} * header.rows);
}
