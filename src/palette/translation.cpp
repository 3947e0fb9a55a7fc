#include "palette/translation.h"

#include "palette/near_background.h"
#include "palette/pixel_transform.h"
#include "palette/slot_placement.h"

namespace {

translation_report report(translation_outcome outcome, bitmap_fault fault = bitmap_fault::none) {
  return {outcome, fault};
}

}  // namespace

translation_report prepare_translation(work_image& image) {
  if (!validate_bitmap(image)) return report(translation_outcome::unsupported_format);
  bitmap_fault fault = measure_bitmap(image);
  if (fault != bitmap_fault::none) return report(translation_outcome::malformed, fault);
  std::int64_t used_count = count_used_colors(image);
  if (check_palette_room(used_count) != 0) return report(translation_outcome::palette_full);
  image.used_count = static_cast<int>(used_count);
  assemble_prefix(image);
  clamp_index_map(image);
  return report(translation_outcome::done);
}

translation_report translate_image(work_image& image, const translation_parameters& parameters,
                                   const pixel_kernels& kernels) {
  translation_report prepared = prepare_translation(image);
  if (prepared.outcome != translation_outcome::done) return prepared;
  if (apply_slot_table(image) != 0) return report(translation_outcome::palette_full);
  pixel_plan plan;
  if (plan_near_background(image, parameters.red_tolerance, parameters.green_tolerance,
                           parameters.blue_tolerance, parameters.background_share, plan) != 0) {
    return report(translation_outcome::no_room_for_grays);
  }
  image.output_pixels = input_pixels(image);
  transform_pixels(image, plan, kernels);
  return report(translation_outcome::done);
}
