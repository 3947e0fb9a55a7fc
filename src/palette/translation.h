#pragma once
// The translation of one loaded file, from the size check to the finished output: the one
// pipeline every command, the benchmark and the reference model's driver run. It reports
// what it refused; the caller decides what to print.
//
//   check_file_size      the size limits, before anything is read or allocated
//   prepare_translation  + one header parse, a decoded form into its 8-bit equivalent, the
//                        used count and the room check, the prefix assembled, the clamp
//   plan_translation     + the slot table and the near-background decisions: everything
//                        but the pixel rows, which palette-inspect stops before
//   translate_file       + the one pass over the rows, in place

#include <cstdint>
#include <functional>
#include <vector>

#include "bitmap/refusal.h"
#include "bitmap/work_image.h"
#include "palette/pixel_kernels.h"
#include "palette/pixel_plan.h"

struct translation_parameters {
  int red_tolerance = 0;
  int green_tolerance = 0;
  int blue_tolerance = 0;
  float background_share = 0.0f;
};

// What a translation found, as far as it got.
struct translation_report {
  refusal refused = refusal::none;
  bmp_header header;            // the file's own, as far as it was read: what a refusal names
  bool loaded = false;          // the header was usable and the image describes the rows
  std::int64_t counted = 0;     // the used-count rule's count, the catch-all included
  std::int64_t used_count = 0;  // where it stopped: at the room check, or after the slot table
  bool done() const { return refused == refusal::none; }
};

// The refusal's text for this file, without a line feed; "" when done.
std::string refusal_text(const translation_report& report);

// Gives a buffer of `size` bytes, for a decoded form's 8-bit equivalent. Never returns
// null: a caller that cannot allocate ends the process or throws.
using allocate_bytes = std::function<std::uint8_t*(std::int32_t size)>;

// An allocate_bytes that resizes the buffer, for callers that keep their memory in vectors.
inline allocate_bytes allocate_in(std::vector<std::uint8_t>& buffer) {
  return [&buffer](std::int32_t size) {
    buffer.resize(static_cast<std::size_t>(size));
    return buffer.data();
  };
}

// The caller's memory for one translation; it must outlive the image.
struct translation_memory {
  std::uint8_t* file = nullptr;  // the loaded file, whose rows become the output's rows
  std::int64_t file_size = 0;
  std::uint8_t* prefix = nullptr;  // OUTPUT_PIXEL_OFFSET bytes for the output's headers
  allocate_bytes allocate;
};

translation_report check_file_size(std::int64_t file_size);

translation_report prepare_translation(const translation_memory& memory, work_image& image);

// The pixel rows are left as read.
translation_report plan_translation(const translation_memory& memory,
                                    const translation_parameters& parameters, work_image& image,
                                    pixel_plan& plan);

// When done, image.output_prefix and image.output_pixels hold the output, output_length
// bytes in all; the output's rows are the loaded file's own, transformed in place.
translation_report translate_file(const translation_memory& memory,
                                  const translation_parameters& parameters, work_image& image,
                                  const pixel_kernels& kernels = best_kernels());
