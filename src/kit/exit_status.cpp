#include "kit/exit_status.h"

int refusal_status(refusal reason) {
  switch (reason) {
    case refusal::none:
      return STATUS_OK;
    case refusal::palette_full:
      return STATUS_PALETTE_FULL;
    case refusal::out_of_memory:
    case refusal::read_failed:
    case refusal::write_failed:
      return STATUS_FAILURE;
    case refusal::empty:
    case refusal::too_short:
    case refusal::too_large:
    case refusal::zero_height:
    case refusal::negative_width:
    case refusal::pixel_offset_in_headers:
    case refusal::pixel_offset_past_end:
    case refusal::negative_colors_used:
    case refusal::width_exceeds_stride:
    case refusal::decoded_too_large:
    case refusal::unsupported_info_size:
    case refusal::unsupported_bits:
    case refusal::unsupported_compression:
    case refusal::compressed_top_down:
    case refusal::unsupported_bitfields:
    case refusal::too_many_colours:
    case refusal::not_an_image:
    case refusal::png_cut_short:
    case refusal::png_no_end:
    case refusal::png_end_with_data:
    case refusal::png_bad_chunk_type:
    case refusal::png_bad_crc:
    case refusal::png_ihdr_not_first:
    case refusal::png_ihdr_repeated:
    case refusal::png_ihdr_length:
    case refusal::png_bad_size:
    case refusal::png_bad_form:
    case refusal::png_bad_compression_method:
    case refusal::png_bad_filter_method:
    case refusal::png_bad_interlace_method:
    case refusal::png_unsupported:
    case refusal::png_palette_missing:
    case refusal::png_palette_unexpected:
    case refusal::png_palette_repeated:
    case refusal::png_palette_after_data:
    case refusal::png_palette_empty:
    case refusal::png_palette_too_long:
    case refusal::png_palette_not_whole:
    case refusal::png_transparency_before_palette:
    case refusal::png_transparency_after_data:
    case refusal::png_transparency_repeated:
    case refusal::png_transparency_length:
    case refusal::png_resolution_after_data:
    case refusal::png_resolution_repeated:
    case refusal::png_no_data:
    case refusal::png_data_apart:
    case refusal::png_unknown_critical:
    case refusal::png_stream_corrupt:
    case refusal::png_stream_short:
    case refusal::png_bad_filter:
    case refusal::no_room_for_grays:
      break;
  }
  return STATUS_BAD_INPUT;
}
