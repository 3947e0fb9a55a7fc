#pragma once
// The whole in-memory translation of a loaded image, from the header checks to the
// finished output. Reports what went wrong; the caller decides what to print.

#include "bitmap/bmp_header.h"
#include "bitmap/work_image.h"
#include "palette/pixel_kernels.h"
#include "palette/pixel_plan.h"

struct translation_parameters {
  int red_tolerance = 0;
  int green_tolerance = 0;
  int blue_tolerance = 0;
  float background_share = 0.0f;
};

enum class translation_outcome {
  done,                // output_prefix and output_pixels hold the output
  unsupported_format,  // a form the tool does not read; see fault
  malformed,           // a header the tool cannot use; see fault
  palette_full,        // no free entry for the catch-all or an appended colour
  no_room_for_grays,   // used_count too high for the gray ramp
};

struct translation_report {
  translation_outcome outcome = translation_outcome::done;
  bitmap_fault fault = bitmap_fault::none;
  bmp_header header;            // as far as it was read: what a refusal names
  std::int64_t used_count = 0;  // at the room checks
};

// The size limits as a report: malformed (too short or too large), or done.
translation_report check_file_size(std::int64_t file_size);

// Reads and checks the header of the loaded file; the report holds what was read.
translation_report check_header(const work_image& image);

// Checks the header and, for a form that is not 8-bit uncompressed, decodes the file into
// its 8-bit equivalent in a buffer from allocate(size) and points the image at it. The
// image is then ready for translate_image.
template <typename Allocate>
translation_report load_equivalent(work_image& image, Allocate allocate) {
  translation_report report = check_header(image);
  const bmp_header& header = report.header;
  if (report.outcome != translation_outcome::done || header.in_place) return report;
  std::int32_t size = equivalent_size(header);
  std::uint8_t* equivalent = allocate(size);
  write_equivalent(image.input_bytes, image.file_size, header, equivalent);
  image.input_bytes = equivalent;
  image.file_size = size;
  return report;
}

// Header checks, geometry, used count; on success the prefix is assembled and index_map
// holds the clamp. Shared by every engine.
translation_report prepare_translation(work_image& image);

// Everything but the pixel rows: the prefix is assembled and the plan says what each input
// value becomes. The rows are left as they are.
translation_report plan_translation(work_image& image, const translation_parameters& parameters,
                                    pixel_plan& plan);

// image holds an 8-bit uncompressed input (see load_equivalent) and an output_prefix of
// OUTPUT_PIXEL_OFFSET bytes. The output rows are the input's own, transformed in place.
translation_report translate_image(work_image& image, const translation_parameters& parameters,
                                   const pixel_kernels& kernels = best_kernels());

// The translation of a whole file loaded into image.input_bytes, within the size limit:
// load_equivalent, then translate_image. What every command that writes runs.
template <typename Allocate>
translation_report translate_loaded(work_image& image, const translation_parameters& parameters,
                                    Allocate allocate) {
  translation_report report = load_equivalent(image, allocate);
  if (report.outcome != translation_outcome::done) return report;
  return translate_image(image, parameters);
}
