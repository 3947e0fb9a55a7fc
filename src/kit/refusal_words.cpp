#include "kit/refusal_words.h"

#include "kit/text_format.h"

namespace {

std::string number(std::uint32_t value) {
  return std::to_string(value);
}

// The one dimension out of range, the width first.
std::string bad_size_text(const png_header& png) {
  constexpr std::uint32_t LARGEST = 2147483647;
  bool width = png.width == 0 || png.width > LARGEST;
  std::uint32_t value = width ? png.width : png.height;
  return std::string("Bad PNG: the ") + (width ? "width" : "height") + " is " +
         (value == 0 ? "0." : "above 2147483647.");
}

// A chunk's type as it may be shown: letters as they are, other bytes as \xNN.
std::string chunk_name(const png_header& png) {
  std::string name;
  for (std::size_t i = 0; i < 4; ++i) {
    auto c = static_cast<unsigned char>(png.chunk[i]);
    name += c > 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c)) : format("\\x%02X", c);
  }
  return name;
}

}  // namespace

std::string mask_list(const bmp_header& header) {
  return format("red 0x%08X, green 0x%08X, blue 0x%08X, alpha 0x%08X", header.masks[0],
                header.masks[1], header.masks[2], header.masks[3]);
}

std::string colour_count(std::uint32_t colours) {
  return colours > bmp::OUTPUT_COLORS_USED ? "at least " + number(colours) : number(colours);
}

std::string refusal_text(const translation_report& report) {
  const bmp_header& header = report.header;
  const png_header& png = report.png;
  switch (report.refused) {
    case refusal::none:
      return "";
    case refusal::empty:
      return "The input is empty: 0 bytes.";
    case refusal::too_short:
      return "Not a bitmap: the file is shorter than its headers (26 bytes with a 12-byte core "
             "header, 54 otherwise).";
    case refusal::too_large:
      return "The input is too large: it must be smaller than 2147482624 bytes.";
    case refusal::zero_height:
      return "Bad bitmap header: the height is 0.";
    case refusal::negative_width:
      return "Bad bitmap header: the width is negative.";
    case refusal::pixel_offset_in_headers:
      return "Bad bitmap header: the pixel data offset points inside the headers.";
    case refusal::pixel_offset_past_end:
      return "Bad bitmap header: the pixel data offset points past the end of the file.";
    case refusal::negative_colors_used:
      return "Bad bitmap header: the colours-used field is negative.";
    case refusal::width_exceeds_stride:
      return "Bad bitmap: the file is too short to hold its pixel rows at the stated width.";
    case refusal::decoded_too_large:
      return "The picture is too large: as 8-bit rows it would make a file of 2147482624 bytes "
             "or more.";
    case refusal::unsupported_info_size:
      return "Unsupported bitmap: a " + number(header.info_size) + "-byte info header with " +
             number(header.bits) + " bits per pixel and compression " + number(header.compression) +
             ". Any header size works for 8-bit uncompressed bitmaps; other forms need the "
             "12-byte core header or an info header of 40 bytes or more.";
    case refusal::unsupported_bits:
      return "Unsupported bitmap: " + number(header.bits) +
             " bits per pixel. Bitmaps of 1, 4, 8, 16, 24 or 32 bits per pixel can be "
             "translated.";
    case refusal::unsupported_compression:
      return "Unsupported compression: " + std::string(compression_name(header.compression)) +
             " (compression " + number(header.compression) + ") at " + number(header.bits) +
             " bits per pixel. Uncompressed bitmaps, RLE8 at 8 bits, RLE4 at 4 bits and bitfields "
             "at 16 or 32 bits can be translated.";
    case refusal::compressed_top_down:
      return "Bad bitmap header: RLE-compressed rows with a negative (top-down) height; "
             "compressed bitmaps are stored bottom-up.";
    case refusal::unsupported_bitfields:
      return "Unsupported bitmap: the colour masks " + mask_list(header) +
             " are not each one run of 1 to 8 bits (an alpha mask may be 0).";
    case refusal::not_an_image:
      return "Not a bitmap or a PNG: the file starts with neither \"BM\" nor the PNG signature.";
    case refusal::png_cut_short:
      return "Bad PNG: the file ends inside a chunk.";
    case refusal::png_no_end:
      return "Bad PNG: the chunks end without an IEND chunk.";
    case refusal::png_end_with_data:
      return "Bad PNG: the IEND chunk holds data; it must be empty.";
    case refusal::png_bad_chunk_type:
      return "Bad PNG: a chunk type is not four ASCII letters.";
    case refusal::png_bad_crc:
      return "Bad PNG: the CRC of the " + chunk_name(png) + " chunk does not match its bytes.";
    case refusal::png_ihdr_not_first:
      return "Bad PNG: the first chunk is " + chunk_name(png) + ", not IHDR.";
    case refusal::png_ihdr_repeated:
      return "Bad PNG: a second IHDR chunk.";
    case refusal::png_ihdr_length:
      return "Bad PNG: the IHDR chunk is not 13 bytes long.";
    case refusal::png_bad_size:
      return bad_size_text(png);
    case refusal::png_bad_form:
      return "Bad PNG: colour type " + number(png.color_type) + " with " + number(png.depth) +
             " bits a sample is no PNG form.";
    case refusal::png_bad_compression_method:
      return "Bad PNG: an unknown compression method; PNG has only method 0.";
    case refusal::png_bad_filter_method:
      return "Bad PNG: an unknown filter method; PNG has only method 0.";
    case refusal::png_bad_interlace_method:
      return "Bad PNG: an unknown interlace method; PNG has only 0 (none) and 1 (Adam7).";
    case refusal::png_unsupported:
      return "Unsupported PNG: " + std::string(png_color_type_name(png.color_type)) +
             " (colour type " + number(png.color_type) + ") with " + number(png.depth) +
             " bits a sample. PNGs of at most 8 bits a sample can be translated; save the image "
             "with 8 bits a sample.";
    case refusal::png_palette_missing:
      return "Bad PNG: a palette image without a PLTE chunk.";
    case refusal::png_palette_unexpected:
      return "Bad PNG: a PLTE chunk in a grayscale image.";
    case refusal::png_palette_repeated:
      return "Bad PNG: a second PLTE chunk.";
    case refusal::png_palette_after_data:
      return "Bad PNG: the PLTE chunk comes after the image data.";
    case refusal::png_palette_empty:
      return "Bad PNG: the PLTE chunk is empty.";
    case refusal::png_palette_too_long:
      return "Bad PNG: the PLTE chunk holds more than " + number(1u << png.depth) +
             " entries, all that " + number(png.depth) + "-bit samples can index.";
    case refusal::png_palette_not_whole:
      return "Bad PNG: the PLTE chunk's length is not a whole number of 3-byte entries.";
    case refusal::png_transparency_before_palette:
      return "Bad PNG: the tRNS chunk comes before the PLTE chunk.";
    case refusal::png_transparency_after_data:
      return "Bad PNG: the tRNS chunk comes after the image data.";
    case refusal::png_transparency_repeated:
      return "Bad PNG: a second tRNS chunk.";
    case refusal::png_transparency_length:
      return "Bad PNG: the tRNS chunk is longer than the palette, or not 2 bytes for "
             "grayscale or 6 for true colour.";
    case refusal::png_resolution_after_data:
      return "Bad PNG: the pHYs chunk comes after the image data.";
    case refusal::png_resolution_repeated:
      return "Bad PNG: a second pHYs chunk.";
    case refusal::png_no_data:
      return "Bad PNG: no IDAT chunk.";
    case refusal::png_data_apart:
      return "Bad PNG: other chunks stand between the IDAT chunks.";
    case refusal::png_unknown_critical:
      return "Bad PNG: a critical chunk the tool does not know, " + chunk_name(png) + ".";
    case refusal::png_stream_corrupt:
      return "Bad PNG: the image data is not a valid zlib stream.";
    case refusal::png_stream_short:
      return "Bad PNG: the image data ends before the last row.";
    case refusal::png_bad_filter:
      return "Bad PNG: a row's filter type is above 4.";
    case refusal::too_many_colours:
      return too_many_colours_fact(report) + " " + too_many_colours_advice();
    case refusal::out_of_memory:
      return "Not enough memory to translate the picture.";
    case refusal::read_failed:
      return "The input could not be read to its end.";
    case refusal::write_failed:
      return "The output could not be written to its end.";
    case refusal::palette_full:
      return "Too many colors. No free place.";
    case refusal::no_room_for_grays:
      return "No room for the gray ramp: " + std::to_string(report.used_count) +
             " palette entries are in use (the catch-all included), at most " +
             std::to_string(MAX_USED_FOR_GRAYS) +
             " leave room for the seven grays. A percentage of 0 skips the near-background "
             "step.";
  }
  return "";
}

std::string too_many_colours_fact(const translation_report& report) {
  return "Too many colours: the picture holds " + colour_count(true_colour_count(report)) +
         " distinct colours, and a palette at most 256.";
}

std::string too_many_colours_advice() {
  return "Reduce it to at most " + std::to_string(MOST_TRUE_COLOURS) +
         " colours (the room the markers, placeholders and grays leave) with a colour "
         "quantiser, or save it as a palette image.";
}

std::string refusal_text(refusal reason, const bmp_header& header, std::int64_t used_count) {
  translation_report report;
  report.refused = reason;
  report.header = header;
  report.used_count = used_count;
  return refusal_text(report);
}

std::string compaction_advice_text(const compaction_check& check) {
  const char* outcome = "";
  switch (check.advice) {
    case compaction_advice::none:
      return "";
    case compaction_advice::translates:
      outcome = "--compact-palette would translate it";
      break;
    case compaction_advice::translates_at_percentage_0:
      outcome = "--compact-palette would translate it with percentage 0";
      break;
    case compaction_advice::makes_room_for_grays:
      outcome = "--compact-palette would make room for the grays";
      break;
    case compaction_advice::does_not_help:
      outcome = "--compact-palette would not help";
      break;
  }
  return "its pixels use " + std::to_string(check.distinct) +
         (check.distinct == 1 ? " colour; " : " colours; ") + outcome;
}

const char* compaction_advice_name(compaction_advice advice) {
  switch (advice) {
    case compaction_advice::none:
      return "";
    case compaction_advice::translates:
      return "would_translate";
    case compaction_advice::translates_at_percentage_0:
      return "would_translate_at_percentage_0";
    case compaction_advice::makes_room_for_grays:
      return "would_make_room_for_grays";
    case compaction_advice::does_not_help:
      return "would_not_help";
  }
  return "";
}
