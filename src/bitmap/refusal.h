#pragma once
// Every reason the translation refuses an input, the run status each one ends with and its
// text, in one list. The switches over it have no default and the build makes a missing
// case an error, so a new reason cannot be added without a status and a text.

#include <cstdint>
#include <string>

enum class refusal {
  none,
  // The file or its header cannot be used.
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
  // The palette has no room.
  palette_full,       // for the catch-all or an appended colour
  no_room_for_grays,  // used_count too high for the gray ramp
};

// The run statuses of palette-translate; a shell that keeps 8 bits sees 0, 255, 254, 253.
constexpr int STATUS_OK = 0;
constexpr int STATUS_FAILURE = -1;
constexpr int STATUS_BAD_INPUT = -2;
constexpr int STATUS_PALETTE_FULL = -3;

struct bmp_header;

// STATUS_OK for none, STATUS_PALETTE_FULL for palette_full, STATUS_BAD_INPUT otherwise.
int refusal_status(refusal reason);

// One line, without a line feed; "" for none. The form refusals name the header's fields,
// no_room_for_grays the used count it stopped at.
std::string refusal_text(refusal reason, const bmp_header& header, std::int64_t used_count);
