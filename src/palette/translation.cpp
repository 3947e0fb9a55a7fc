#include "palette/translation.h"

#include "palette/near_background.h"
#include "palette/pixel_transform.h"
#include "palette/slot_placement.h"

namespace {

translation_report refused(translation_report report, translation_outcome outcome) {
  report.outcome = outcome;
  return report;
}

translation_outcome outcome_of(bitmap_fault fault) {
  if (fault == bitmap_fault::none) return translation_outcome::done;
  return is_unsupported_form(fault) ? translation_outcome::unsupported_format
                                    : translation_outcome::malformed;
}

}  // namespace

translation_report check_file_size(std::int64_t file_size) {
  translation_report report;
  report.fault = check_input_size(file_size);
  report.outcome = outcome_of(report.fault);
  return report;
}

translation_report check_header(const work_image& image) {
  translation_report report;
  report.fault = read_bmp_header(image.input_bytes, image.file_size, report.header);
  report.outcome = outcome_of(report.fault);
  return report;
}

translation_report prepare_translation(work_image& image) {
  translation_report report;
  report.fault = measure_bitmap(image, report.header);
  report.outcome = outcome_of(report.fault);
  if (report.outcome != translation_outcome::done) return report;
  // Decoded forms come here as their 8-bit equivalent, through load_equivalent.
  if (!report.header.in_place) return refused(report, translation_outcome::unsupported_format);
  report.used_count = count_used_colors(image);
  if (check_palette_room(report.used_count) != 0)
    return refused(report, translation_outcome::palette_full);
  image.used_count = static_cast<int>(report.used_count);
  assemble_prefix(image);
  clamp_index_map(image);
  return report;
}

translation_report plan_translation(work_image& image, const translation_parameters& parameters,
                                    pixel_plan& plan) {
  translation_report report = prepare_translation(image);
  if (report.outcome != translation_outcome::done) return report;
  if (apply_slot_table(image) != 0) return refused(report, translation_outcome::palette_full);
  report.used_count = image.used_count;
  if (plan_near_background(image, parameters.red_tolerance, parameters.green_tolerance,
                           parameters.blue_tolerance, parameters.background_share, plan) != 0) {
    return refused(report, translation_outcome::no_room_for_grays);
  }
  return report;
}

translation_report translate_image(work_image& image, const translation_parameters& parameters,
                                   const pixel_kernels& kernels) {
  pixel_plan plan;
  translation_report report = plan_translation(image, parameters, plan);
  if (report.outcome != translation_outcome::done) return report;
  transform_pixels(image, plan, kernels);
  return report;
}
