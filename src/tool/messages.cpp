#include "tool/messages.h"

#include "palette/near_background.h"
#include "tool/exit_status.h"
#include "tool/text_format.h"

namespace {

const char* fault_text(bitmap_fault fault) {
  switch (fault) {
    case bitmap_fault::too_short:
      return "\nNot a bitmap: the file is shorter than its headers (26 bytes with a 12-byte "
             "core header, 54 otherwise).";
    case bitmap_fault::too_large:
      return "\nThe input is too large: it must be smaller than 2147482624 bytes.";
    case bitmap_fault::zero_height:
      return "\nBad bitmap header: the height is 0.";
    case bitmap_fault::negative_width:
      return "\nBad bitmap header: the width is negative.";
    case bitmap_fault::pixel_offset_in_headers:
      return "\nBad bitmap header: the pixel data offset points inside the headers.";
    case bitmap_fault::pixel_offset_past_end:
      return "\nBad bitmap header: the pixel data offset points past the end of the file.";
    case bitmap_fault::negative_colors_used:
      return "\nBad bitmap header: the colours-used field is negative.";
    case bitmap_fault::width_exceeds_stride:
      return "\nBad bitmap: the file is too short to hold its pixel rows at the stated width.";
    case bitmap_fault::decoded_too_large:
      return "\nThe picture is too large: as 8-bit rows it would make a file of 2147482624 "
             "bytes or more.";
    case bitmap_fault::compressed_top_down:
      return "\nBad bitmap header: RLE-compressed rows with a negative (top-down) height; "
             "compressed bitmaps are stored bottom-up.";
    default:
      return "";
  }
}

std::string form_text(bitmap_fault fault, const bmp_header& header) {
  switch (fault) {
    case bitmap_fault::unsupported_info_size:
      return format(
          "\nUnsupported bitmap: a %u-byte info header with %u bits per pixel and compression "
          "%u. Any header size works for 8-bit uncompressed bitmaps; other forms need the "
          "12-byte core header or an info header of 40 bytes or more.",
          header.info_size, header.bits, header.compression);
    case bitmap_fault::unsupported_bits:
      return format(
          "\nUnsupported bitmap: %u bits per pixel. Only palette bitmaps of 1, 4 or 8 bits per "
          "pixel can be translated; save the image with a palette of at most 256 colours.",
          header.bits);
    case bitmap_fault::unsupported_compression:
      return format(
          "\nUnsupported compression: %s (compression %u) at %u bits per pixel. Only "
          "uncompressed bitmaps, RLE8 at 8 bits and RLE4 at 4 bits can be translated.",
          compression_name(header.compression), header.compression, header.bits);
    default:
      return fault_text(fault);
  }
}

}  // namespace

const char* compression_name(std::uint32_t compression) {
  switch (compression) {
    case 0:
      return "uncompressed";
    case 1:
      return "RLE8";
    case 2:
      return "RLE4";
    case 3:
      return "bitfields or OS/2 Huffman";
    case 4:
      return "JPEG or OS/2 RLE24";
    case 5:
      return "PNG";
    case 6:
      return "alpha bitfields";
    case 11:
    case 12:
    case 13:
      return "CMYK";
    default:
      return "an unknown compression";
  }
}

std::string refusal_message(const translation_report& report) {
  switch (report.outcome) {
    case translation_outcome::unsupported_format:
    case translation_outcome::malformed:
      return form_text(report.fault, report.header);
    case translation_outcome::palette_full:
      return "\nToo many colors. No free place.";
    case translation_outcome::no_room_for_grays:
      return format(
          "\nNo room for the gray ramp: %lld palette entries are in use (the catch-all "
          "included), at most %d leave room for the seven grays. A percentage of 0 skips the "
          "near-background step.",
          static_cast<long long>(report.used_count), MAX_USED_FOR_GRAYS);
    case translation_outcome::done:
      break;
  }
  return "";
}

int refusal_status(const translation_report& report) {
  if (report.outcome == translation_outcome::done) return STATUS_OK;
  return report.outcome == translation_outcome::palette_full ? STATUS_PALETTE_FULL
                                                             : STATUS_BAD_INPUT;
}

std::string refusal_reason(const translation_report& report) {
  std::string message = refusal_message(report);
  return message.empty() ? message : message.substr(1);
}
