#pragma once
// The whole in-memory translation of a loaded image, from the header checks to the
// finished output. Reports what went wrong; the caller decides what to print.

#include "bitmap/work_image.h"
#include "palette/pixel_kernels.h"

struct translation_parameters {
  int red_tolerance = 0;
  int green_tolerance = 0;
  int blue_tolerance = 0;
  float background_share = 0.0f;
};

enum class translation_outcome {
  done,                // output_prefix and output_pixels hold the output
  unsupported_format,  // not an uncompressed 8-bit bitmap
  malformed,           // a header the tool cannot use; see fault
  palette_full,        // no free entry for the catch-all or an appended colour
  no_room_for_grays,   // used_count too high for the gray ramp
};

struct translation_report {
  translation_outcome outcome = translation_outcome::done;
  bitmap_fault fault = bitmap_fault::none;
};

// Header checks, geometry, used count; on success the prefix is assembled and index_map
// holds the clamp. Shared by every engine.
translation_report prepare_translation(work_image& image);

// image holds the loaded input and an output_prefix of OUTPUT_PIXEL_OFFSET bytes. The
// output rows are the input's own, transformed in place.
translation_report translate_image(work_image& image, const translation_parameters& parameters,
                                   const pixel_kernels& kernels = best_kernels());
