#include "palette/translation.h"

#include "palette/near_background.h"
#include "palette/slot_placement.h"

namespace {

translation_report report(translation_outcome outcome, bitmap_fault fault = bitmap_fault::none) {
  return {outcome, fault};
}

}  // namespace

translation_report translate_image(work_image& image, const translation_parameters& parameters) {
  if (!validate_bitmap(image)) return report(translation_outcome::unsupported_format);
  bitmap_fault fault = measure_bitmap(image);
  if (fault != bitmap_fault::none) return report(translation_outcome::malformed, fault);
  std::int64_t used_count = count_used_colors(image);
  if (check_palette_room(used_count) != 0) return report(translation_outcome::palette_full);
  image.used_count = static_cast<int>(used_count);
  assemble_output(image);
  normalize_indices(image);
  if (apply_slot_table(image) != 0) return report(translation_outcome::palette_full);
  if (near_background_pass(image, parameters.red_tolerance, parameters.green_tolerance,
                           parameters.blue_tolerance, parameters.background_share) != 0) {
    return report(translation_outcome::no_room_for_grays);
  }
  return report(translation_outcome::done);
}
