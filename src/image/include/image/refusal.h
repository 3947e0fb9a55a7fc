#pragma once
// Every reason the translation refuses an input, in one list. The core names the reason;
// the commands word it and choose the status (kit/refusal_words.h). The switches over it
// have no default and the build makes a missing case an error, so a new reason cannot be
// added without its words and its status.

enum class refusal {
  none,
  // The file or its header cannot be used.
  empty,  // 0 bytes, whatever the name says
  too_short,
  too_large,
  zero_height,
  negative_width,
  pixel_offset_in_headers,
  pixel_offset_past_end,
  negative_colors_used,
  width_exceeds_stride,
  decoded_too_large,  // a decoded form whose 8-bit rows would exceed the size limit
  // Forms the tool does not read.
  unsupported_info_size,
  unsupported_bits,
  unsupported_compression,
  compressed_top_down,
  unsupported_bitfields,  // a colour mask that is not one run of 1 to 8 bits
  // Neither a bitmap nor a PNG.
  not_an_image,
  // PNG files: one reason for each way a PNG can be wrong.
  png_cut_short,  // the file ends inside a chunk
  png_no_end,     // the chunks end without IEND
  png_end_with_data,
  png_bad_chunk_type,  // a type byte outside A-Z and a-z
  png_bad_crc,         // a chunk's CRC does not match its bytes (the chunk named)
  png_ihdr_not_first,
  png_ihdr_repeated,
  png_ihdr_length,
  png_bad_size,  // width or height 0 or above 2^31 - 1
  png_bad_form,  // an unknown colour type, or a depth it does not allow
  png_bad_compression_method,
  png_bad_filter_method,
  png_bad_interlace_method,
  png_unsupported,  // 16-bit samples
  png_palette_missing,
  png_palette_unexpected,  // in a grayscale picture
  png_palette_repeated,
  png_palette_after_data,
  png_palette_empty,
  png_palette_too_long,  // more entries than the samples' depth can index
  png_palette_not_whole,
  png_transparency_before_palette,
  png_transparency_after_data,
  png_transparency_repeated,
  png_transparency_length,  // longer than PLTE, or not 2 bytes for grayscale
  png_resolution_after_data,
  png_resolution_repeated,
  png_no_data,
  png_data_apart,        // IDAT chunks with others between them
  png_unknown_critical,  // a critical chunk the tool does not know (named)
  png_stream_corrupt,    // the image data is no zlib stream
  png_stream_short,      // the image data ends before the last row
  png_bad_filter,        // a row filter type above 4
  // A true-colour picture of more than 256 colours: no palette holds it.
  too_many_colours,
  // The caller's memory gave no room for a decoded form's 8-bit rows, or an output.
  out_of_memory,
  // The caller's reads of a file whose rows it gave a band at a time failed.
  read_failed,
  // The caller's writes of the rows it took a band at a time failed.
  write_failed,
  // The palette has no room.
  palette_full,       // for the catch-all or an appended colour
  no_room_for_grays,  // used_count too high for the gray ramp
};
