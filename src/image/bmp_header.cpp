#include "image/bmp_header.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

#include "byte_order.h"

namespace {

std::uint32_t row_count(std::int32_t height) {
  // Negating in 64 bits keeps -2^31 from overflowing.
  return static_cast<std::uint32_t>(std::abs(static_cast<std::int64_t>(height)));
}

std::uint32_t palette_capacity(const bmp_header& header) {
  return std::uint32_t{1} << header.bits;
}

bool colors_used_counts_entries(const bmp_header& header) {
  return !is_true_colour(header) && header.colors_used > 0 &&
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
  if (compression == bmp::COMPRESSION_BITFIELDS) return bits == 16 || bits == 32;
  return compression == bmp::COMPRESSION_RLE4 && bits == 4;
}

bool is_run_length(std::uint32_t compression) {
  return compression == bmp::COMPRESSION_RLE8 || compression == bmp::COMPRESSION_RLE4;
}

bool bits_read(std::uint16_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

refusal check_form(const bmp_header& header) {
  if (!header.core && header.info_size < bmp::MIN_INFO_SIZE) return refusal::unsupported_info_size;
  if (!bits_read(header.bits)) return refusal::unsupported_bits;
  if (!fits_bits(header.bits, header.compression)) return refusal::unsupported_compression;
  if (is_run_length(header.compression) && header.height < 0) return refusal::compressed_top_down;
  return refusal::none;
}

// One run of 1 to 8 contiguous bits: a component of at most 8 bits.
bool mask_usable(std::uint32_t mask) {
  if (mask == 0) return false;
  std::uint32_t run = mask >> std::countr_zero(mask);
  return (run & (run + 1)) == 0 && run <= 0xFF;
}

// A mask field of the file; bytes past its end read as 0.
std::uint32_t mask_at(const std::uint8_t* bytes, std::int32_t size, std::size_t offset) {
  std::uint8_t field[4] = {};
  for (std::size_t i = 0; i < 4; ++i) {
    if (offset + i < static_cast<std::size_t>(size)) field[i] = bytes[offset + i];
  }
  return read_le32(field);
}

refusal read_masks(const std::uint8_t* bytes, std::int32_t size, bmp_header& header) {
  if (header.compression != bmp::COMPRESSION_BITFIELDS) {
    header.masks = header.bits == 16 ? std::array<std::uint32_t, 4>{0x7C00, 0x03E0, 0x001F, 0}
                                     : std::array<std::uint32_t, 4>{0xFF0000, 0xFF00, 0xFF, 0};
    return refusal::none;
  }
  header.masks = {mask_at(bytes, size, bmp::RED_MASK_FIELD),
                  mask_at(bytes, size, bmp::GREEN_MASK_FIELD),
                  mask_at(bytes, size, bmp::BLUE_MASK_FIELD), 0};
  if (header.info_size >= bmp::ALPHA_MASK_INFO_SIZE)
    header.masks[3] = mask_at(bytes, size, bmp::ALPHA_MASK_FIELD);
  for (std::size_t i = 0; i < 3; ++i) {
    if (!mask_usable(header.masks[i])) return refusal::unsupported_bitfields;
  }
  if (header.masks[3] != 0 && !mask_usable(header.masks[3])) return refusal::unsupported_bitfields;
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
  if (form_fault == refusal::none && is_true_colour(header))
    form_fault = read_masks(bytes, size, header);
  if (form_fault != refusal::none) return form_fault;
  return check_decoded(header, size);
}

bool is_true_colour(const bmp_header& header) {
  return header.bits > 8;
}

std::uint32_t stored_entry_count(const bmp_header& header) {
  if (is_true_colour(header)) return 0;
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
  if (is_true_colour(header)) {
    equivalent.colors_used =
        header.colours < bmp::OUTPUT_COLORS_USED ? static_cast<std::int32_t>(header.colours) : 0;
  } else {
    equivalent.colors_used = colors_used_counts_entries(header) ? header.colors_used : 0;
  }
  equivalent.pixel_offset = bmp::OUTPUT_PIXEL_OFFSET;
  equivalent.palette_offset = bmp::HEADERS_SIZE;
  equivalent.in_place = true;
  equivalent.masks = {};
  equivalent.colours = 0;
  return equivalent;
}

std::int32_t equivalent_size(const bmp_header& header) {
  return static_cast<std::int32_t>(bmp::OUTPUT_PIXEL_OFFSET +
                                   std::uint64_t{header.stride} * header.rows);
}

const char* compression_name(std::uint32_t compression) {
  switch (compression) {
    case bmp::COMPRESSION_NONE:
      return "uncompressed";
    case bmp::COMPRESSION_RLE8:
      return "RLE8";
    case bmp::COMPRESSION_RLE4:
      return "RLE4";
    case bmp::COMPRESSION_BITFIELDS:
      return "bitfields";
    case bmp::COMPRESSION_JPEG:
      return "JPEG or OS/2 RLE24";
    case bmp::COMPRESSION_PNG:
      return "PNG";
    case bmp::COMPRESSION_ALPHA_BITFIELDS:
      return "alpha bitfields";
    case bmp::COMPRESSION_CMYK:
    case bmp::COMPRESSION_CMYK_RLE8:
    case bmp::COMPRESSION_CMYK_RLE4:
      return "CMYK";
    default:
      return "an unknown compression";
  }
}
