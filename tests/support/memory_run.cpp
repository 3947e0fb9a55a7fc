#include "memory_run.h"

#include <cstdio>
#include <string>

#include "bmp_builder.h"
#include "image/assemble.h"
#include "palette/pixel_transform.h"
#include "png_builder.h"
#include "reference_model.h"

std::vector<std::uint8_t> memory_run::written() const {
  if (!report.done()) return {};
  return literal ? literal_output : output_file(image);
}

namespace {

// The run's buffers as the pipeline's memory, and a fresh image. Buffers start as 0xCD so that a
// byte nobody wrote shows.
translation_memory attach(memory_run& run) {
  run.image = work_image{};
  run.output.assign(bmp::OUTPUT_PIXEL_OFFSET, 0xCD);
  return {.file = run.input.data(),
          .file_size =
              static_cast<std::int64_t>(run.file_length != 0 ? run.file_length : run.input.size()),
          .prefix = run.output.data(),
          .allocate =
              [&run](std::int32_t length) {
                run.equivalent.assign(static_cast<std::size_t>(length), 0xCD);
                return run.equivalent.data();
              },
          .processors = 1,
          .row_cuts = run.row_cuts};
}

}  // namespace

void run_in_memory(memory_run& run, const translation_parameters& parameters, engine which) {
  if (which == engine::reference) {
    // The literal model takes compaction literally: the file rebuilt as compacted.
    bool compact = parameters.compact_palette || is_eight_bit_gray_png(run.input);
    eight_bit_form form = compact ? compacted_form(run.input) : read_eight_bit_form(run.input);
    translation_parameters plain = parameters;
    plain.compact_palette = false;
    reference_result result = reference_translate(form, plain);
    run.report = {};
    run.report.refused = result.refused;
    run.report.used_count = result.used_count;
    run.literal = true;
    run.literal_output = std::move(result.output);
    run.literal_alpha = result.alpha;
    run.draws = result.draws;
    return;
  }
  run.report = translate_file(attach(run), parameters, run.image);
}

std::vector<std::uint8_t> translated_bytes(std::vector<std::uint8_t> input,
                                           const translation_parameters& parameters) {
  memory_run run;
  run.input = std::move(input);
  run_in_memory(run, parameters);
  return run.written();
}

void run_on_tier(memory_run& run, const translation_parameters& parameters, kernel_tier tier) {
  run.report = translate_file(attach(run), parameters, run.image, *kernels_of(tier));
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
  run.report = plan_translation(attach(run), parameters, run.image, plan);
  return run.report.done();
}

bool load_in_memory(memory_run& run) {
  run.report = prepare_translation(attach(run), {}, run.image);
  return run.report.loaded;
}

bool prepare_in_memory(memory_run& run) {
  run.report = prepare_translation(attach(run), {}, run.image);
  return run.report.done();
}

void remap_rows(memory_run& run) {
  transform_pixels(run.image, plan_without_draws(run.image.index_map));
}
