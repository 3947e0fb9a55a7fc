#include "memory_run.h"

#include <cstdio>
#include <string>

#include "palette/pixel_transform.h"
#include "palette/random_sequence.h"
#include "reference_model.h"

std::vector<std::uint8_t> memory_run::written() const {
  if (report.outcome != translation_outcome::done) return {};
  std::vector<std::uint8_t> bytes(output.begin(), output.begin() + bmp::OUTPUT_PIXEL_OFFSET);
  std::size_t pixel_length =
      static_cast<std::size_t>(output_length(image)) - bmp::OUTPUT_PIXEL_OFFSET;
  bytes.insert(bytes.end(), image.output_pixels, image.output_pixels + pixel_length);
  return bytes;
}

namespace {

// Loads the bytes as the tool does: size checks, then the header, and a decoded form into
// its 8-bit equivalent. The reference engine's output buffer is made for what it reads.
bool attach(memory_run& run, engine which) {
  auto size = static_cast<std::int64_t>(run.input.size());
  run.report = check_file_size(size);
  if (run.report.outcome != translation_outcome::done) return false;
  run.image = work_image{};
  run.image.input_bytes = run.input.data();
  run.image.file_size = static_cast<std::int32_t>(size);
  run.report = load_equivalent(run.image, [&](std::int32_t length) {
    run.equivalent.assign(static_cast<std::size_t>(length), 0xCD);
    return run.equivalent.data();
  });
  std::size_t output_size = which == engine::reference
                                ? static_cast<std::size_t>(run.image.file_size) + bmp::OUTPUT_EXTRA
                                : bmp::OUTPUT_PIXEL_OFFSET;
  run.output.assign(output_size, 0xCD);
  run.image.output_prefix = run.output.data();
  return run.report.outcome == translation_outcome::done;
}

void run_single_pass(memory_run& run, const translation_parameters& parameters,
                     const pixel_kernels& kernels) {
  if (!attach(run, engine::single_pass)) return;
  reset_random_sequence();
  run.report = translate_image(run.image, parameters, kernels);
}

}  // namespace

void run_in_memory(memory_run& run, const translation_parameters& parameters, engine which) {
  if (which == engine::single_pass) {
    run_single_pass(run, parameters, best_kernels());
    return;
  }
  if (!attach(run, which)) return;
  reset_random_sequence();
  run.report = reference_translate(run.image, parameters);
}

void run_on_tier(memory_run& run, const translation_parameters& parameters, kernel_tier tier) {
  run_single_pass(run, parameters, *kernels_of(tier));
}

const std::vector<kernel_tier>& tiers_under_test() {
  static const std::vector<kernel_tier> tiers = [] {
    std::vector<kernel_tier> available = available_tiers();
    std::string names;
    for (kernel_tier tier : available) names += std::string(" ") + tier_name(tier);
    std::fprintf(stderr, "kernel tiers compared:%s\n", names.c_str());
    return available;
  }();
  return tiers;
}

bool plan_in_memory(memory_run& run, const translation_parameters& parameters, pixel_plan& plan) {
  if (!attach(run, engine::single_pass)) return false;
  reset_random_sequence();
  run.report = plan_translation(run.image, parameters, plan);
  return run.report.outcome == translation_outcome::done;
}

bool load_in_memory(memory_run& run) {
  bmp_header header;
  return attach(run, engine::single_pass) &&
         measure_bitmap(run.image, header) == bitmap_fault::none;
}

bool prepare_in_memory(memory_run& run) {
  return attach(run, engine::single_pass) &&
         prepare_translation(run.image).outcome == translation_outcome::done;
}

void remap_rows(memory_run& run) {
  transform_pixels(run.image, plan_without_draws(run.image.index_map));
}
