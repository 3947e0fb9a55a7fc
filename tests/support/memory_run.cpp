#include "memory_run.h"

std::vector<std::uint8_t> memory_run::written() const {
  if (report.outcome != translation_outcome::done) return {};
  auto length = static_cast<std::size_t>(output_length(image));
  return {output.begin(), output.begin() + static_cast<std::ptrdiff_t>(length)};
}

namespace {

bool attach(memory_run& run) {
  auto size = static_cast<std::int64_t>(run.input.size());
  run.report.fault = check_input_size(size);
  if (run.report.fault != bitmap_fault::none) {
    run.report.outcome = translation_outcome::malformed;
    return false;
  }
  run.output.assign(run.input.size() + bmp::OUTPUT_EXTRA, 0xCD);
  run.image = work_image{};
  run.image.input_bytes = run.input.data();
  run.image.output_bytes = run.output.data();
  run.image.file_size = static_cast<std::int32_t>(size);
  return true;
}

}  // namespace

void run_in_memory(memory_run& run, const translation_parameters& parameters) {
  if (attach(run)) run.report = translate_image(run.image, parameters);
}

bool load_in_memory(memory_run& run) {
  return attach(run) && validate_bitmap(run.image) &&
         measure_bitmap(run.image) == bitmap_fault::none;
}

bool prepare_in_memory(memory_run& run) {
  if (!load_in_memory(run)) return false;
  std::int64_t used_count = count_used_colors(run.image);
  if (check_palette_room(used_count) != 0) return false;
  run.image.used_count = static_cast<int>(used_count);
  assemble_output(run.image);
  normalize_indices(run.image);
  return true;
}
