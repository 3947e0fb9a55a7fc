#include "png_read.h"

#include <cstring>

#include "bitmap_headers.h"
#include "image/bmp_layout.h"
#include "png_layout.h"
#include "png_rows.h"
#include "png_true_colour.h"

std::int32_t png_equivalent_size(const png_header& header) {
  return static_cast<std::int32_t>(bmp::OUTPUT_PIXEL_OFFSET +
                                   std::uint64_t{header.stride} * header.height);
}

std::int32_t png_decode_size(const png_header& header) {
  std::uint64_t slack = sample_rows_slack(header);
  return static_cast<std::int32_t>(static_cast<std::uint64_t>(png_equivalent_size(header)) + slack);
}

bmp_header png_equivalent_header(const png_header& header) {
  bmp_header equivalent;
  equivalent.info_size = bmp::OUTPUT_INFO_SIZE;
  equivalent.width = static_cast<std::int32_t>(header.width);
  equivalent.height = static_cast<std::int32_t>(header.height);
  equivalent.rows = header.height;
  equivalent.bits = 8;
  equivalent.compression = bmp::COMPRESSION_NONE;
  equivalent.colors_used =
      header.entries < png::MAX_PALETTE_ENTRIES ? static_cast<std::int32_t>(header.entries) : 0;
  equivalent.pixel_offset = bmp::OUTPUT_PIXEL_OFFSET;
  equivalent.palette_offset = bmp::HEADERS_SIZE;
  equivalent.stride = header.stride;
  equivalent.in_place = true;
  return equivalent;
}

namespace {

void write_headers(const png_header& header, std::uint8_t* out) {
  std::memset(out, 0, bmp::OUTPUT_PIXEL_OFFSET);
  bmp_header u = png_equivalent_header(header);
  bitmap_fields fields;
  fields.file_size = static_cast<std::uint32_t>(png_equivalent_size(header));
  fields.pixel_offset = bmp::OUTPUT_PIXEL_OFFSET;
  fields.width = u.width;
  fields.height = u.height;
  fields.image_size = static_cast<std::uint32_t>(std::uint64_t{u.stride} * u.rows);
  fields.x_per_metre = header.x_per_metre;
  fields.y_per_metre = header.y_per_metre;
  fields.colors_used = static_cast<std::uint32_t>(u.colors_used);
  write_bitmap_headers(fields, out);
  std::uint8_t* palette = out + bmp::HEADERS_SIZE;
  for (std::uint32_t k = 0; k < header.entries; ++k) {
    palette[k * bmp::ENTRY_SIZE + bmp::BLUE] = header.palette[k].blue;
    palette[k * bmp::ENTRY_SIZE + bmp::GREEN] = header.palette[k].green;
    palette[k * bmp::ENTRY_SIZE + bmp::RED] = header.palette[k].red;
  }
}

}  // namespace

refusal write_png_equivalent(png_header& header, std::uint8_t* equivalent) {
  std::uint8_t* rows = equivalent + bmp::OUTPUT_PIXEL_OFFSET;
  // Sample rows zero their own fill bytes, the whole stream passing through them.
  refusal fault = refusal::none;
  if (is_true_colour(header)) {
    zero_fill_bytes(header, rows);
    fault = number_true_colour_rows(header, rows);
  } else {
    fault = decode_sample_rows(header, rows);
  }
  // After the rows: a true-colour palette comes from its pixels.
  write_headers(header, equivalent);
  return fault;
}
