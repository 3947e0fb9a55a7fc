#pragma once
// Every reason the translation refuses an input, in one list. The core names the reason;
// the commands word it and choose the status (kit/refusal_words.h). The switches over it
// have no default and the build makes a missing case an error, so a new reason cannot be
// added without its words and its status.

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
  // The caller's memory gave no room for a decoded form's 8-bit rows.
  out_of_memory,
  // The palette has no room.
  palette_full,       // for the catch-all or an appended colour
  no_room_for_grays,  // used_count too high for the gray ramp
};
