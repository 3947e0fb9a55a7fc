#include "bitmap_headers.h"

#include "byte_order.h"
#include "image/bmp_layout.h"

void write_bitmap_headers(const bitmap_fields& fields, std::uint8_t* out) {
  out[0] = 'B';
  out[1] = 'M';
  write_le32(out + bmp::FILE_SIZE_FIELD, fields.file_size);
  write_le32(out + bmp::RESERVED_FIELD, fields.reserved);
  write_le32(out + bmp::PIXEL_OFFSET_FIELD, fields.pixel_offset);
  write_le32(out + bmp::INFO_SIZE_FIELD, bmp::OUTPUT_INFO_SIZE);
  write_le32(out + bmp::WIDTH_FIELD, static_cast<std::uint32_t>(fields.width));
  write_le32(out + bmp::HEIGHT_FIELD, static_cast<std::uint32_t>(fields.height));
  write_le16(out + bmp::PLANES_FIELD, fields.planes);
  write_le16(out + bmp::BITS_FIELD, fields.bits);
  write_le32(out + bmp::COMPRESSION_FIELD, fields.compression);
  write_le32(out + bmp::IMAGE_SIZE_FIELD, fields.image_size);
  write_le32(out + bmp::X_RESOLUTION_FIELD, fields.x_per_metre);
  write_le32(out + bmp::Y_RESOLUTION_FIELD, fields.y_per_metre);
  write_le32(out + bmp::COLORS_USED_FIELD, fields.colors_used);
  write_le32(out + bmp::COLORS_IMPORTANT_FIELD, fields.colors_important);
}

bitmap_fields read_bitmap_fields(const std::uint8_t* headers) {
  bitmap_fields fields;
  fields.file_size = read_le32(headers + bmp::FILE_SIZE_FIELD);
  fields.reserved = read_le32(headers + bmp::RESERVED_FIELD);
  fields.pixel_offset = read_le32(headers + bmp::PIXEL_OFFSET_FIELD);
  fields.width = read_le32_signed(headers + bmp::WIDTH_FIELD);
  fields.height = read_le32_signed(headers + bmp::HEIGHT_FIELD);
  fields.planes = read_le16(headers + bmp::PLANES_FIELD);
  fields.bits = read_le16(headers + bmp::BITS_FIELD);
  fields.compression = read_le32(headers + bmp::COMPRESSION_FIELD);
  fields.image_size = read_le32(headers + bmp::IMAGE_SIZE_FIELD);
  fields.x_per_metre = read_le32(headers + bmp::X_RESOLUTION_FIELD);
  fields.y_per_metre = read_le32(headers + bmp::Y_RESOLUTION_FIELD);
  fields.colors_used = read_le32(headers + bmp::COLORS_USED_FIELD);
  fields.colors_important = read_le32(headers + bmp::COLORS_IMPORTANT_FIELD);
  return fields;
}
