// Feeds arbitrary bytes through the whole in-memory translation, with the parameters taken
// from the input too, and checks that the single-pass engine (on every kernel tier the machine has)
// agrees with the literal reference model on the status and every output byte.
// The input's layout is in fuzz_input.h.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz_input.h"
#include "memory_run.h"

namespace {

template <typename Translate>
std::vector<std::uint8_t> written_by(const std::vector<std::uint8_t>& file,
                                     translation_report& report, Translate translate) {
  memory_run run;
  run.input = file;
  translate(run);
  report = run.report;
  return run.written();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  translation_parameters parameters = fuzz_parameters(data, size);
  std::vector<std::uint8_t> file = fuzz_file(data, size);
  if (decodes_too_large_to_fuzz(file)) return 0;
  translation_report expected_report;
  std::vector<std::uint8_t> expected = written_by(file, expected_report, [&](memory_run& run) {
    run_in_memory(run, parameters, engine::reference);
  });
  for (kernel_tier tier : tiers_under_test()) {
    translation_report report;
    std::vector<std::uint8_t> written =
        written_by(file, report, [&](memory_run& run) { run_on_tier(run, parameters, tier); });
    if (report.refused != expected_report.refused || written != expected) {
      std::abort();
    }
  }
  return 0;
}
