#include "kit/exit_status.h"

int refusal_status(refusal reason) {
  switch (reason) {
    case refusal::none:
      return STATUS_OK;
    case refusal::palette_full:
      return STATUS_PALETTE_FULL;
    case refusal::out_of_memory:
      return STATUS_FAILURE;
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
    case refusal::no_room_for_grays:
      break;
  }
  return STATUS_BAD_INPUT;
}
