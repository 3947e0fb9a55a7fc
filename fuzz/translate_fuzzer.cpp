// Feeds arbitrary bytes through the whole in-memory translation, with the parameters taken
// from the input too, and checks that the single-pass engine agrees byte for byte, and on
// the refusal, with a slower model of it on every kernel tier the machine has. Small
// pictures are checked against the literal reference model, which rescans the picture for
// every palette swap and every near-background colour; larger ones, where that would slow
// the search a hundredfold, against the portable per-pixel kernels, which the small ones
// tie to the literal model; the tiers run with their rows cut into ranges, as threads take
// them (fuzz_row_cuts). A compacted translation is checked against the literal model
// of the file rebuilt as compacted. Every output must hold the fixed colours in their
// slots, and at percentage 0 the input's picture. The input's layout is in fuzz_input.h.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz_input.h"
#include "memory_run.h"
#include "output_checks.h"

namespace {

// Pixel bytes up to which the literal model is the oracle.
constexpr std::uint64_t LITERAL_MODEL_PIXELS = 256;

struct outcome {
  refusal refused = refusal::none;
  std::vector<std::uint8_t> written;
  friend bool operator==(const outcome&, const outcome&) = default;
};

template <typename Translate>
outcome translated(const std::vector<std::uint8_t>& file, Translate translate) {
  memory_run run;
  run.input = file;
  translate(run);
  return {run.report.refused, run.written()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  translation_parameters parameters = fuzz_parameters(data, size);
  std::vector<std::uint8_t> file = fuzz_file(data, size);
  if (decodes_too_large_to_fuzz(file)) return 0;
  bool literal = translated_pixel_bytes(file) <= LITERAL_MODEL_PIXELS;
  outcome expected = translated(file, [&](memory_run& run) {
    if (literal)
      run_in_memory(run, parameters, engine::reference);
    else
      run_on_tier(run, parameters, kernel_tier::portable);
  });
  // Every tier runs with its rows cut into ranges as the input says, as threads take them.
  bmp_header header;
  std::uint32_t rows = usable_header(file, header) ? header.rows : 0;
  for (kernel_tier tier : tiers_under_test()) {
    outcome actual = translated(file, [&](memory_run& run) {
      run.row_cuts = fuzz_row_cuts(data, size, rows);
      run_on_tier(run, parameters, tier);
    });
    if (actual != expected) std::abort();
  }
  // Every output keeps the fixed slots, and at percentage 0 the picture.
  if (expected.refused == refusal::none &&
      !output_fault(file, parameters, expected.written).empty())
    std::abort();
  return 0;
}
