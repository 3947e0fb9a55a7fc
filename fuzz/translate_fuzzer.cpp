// Feeds arbitrary bytes through the whole in-memory translation, with the parameters taken
// from the input too, and checks that the single-pass engine (vector and portable kernels)
// agrees with the literal reference model on the status and every output byte.
// The input's layout is in fuzz_input.h.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz_input.h"
#include "memory_run.h"

namespace {

std::vector<std::uint8_t> run_engine(const std::vector<std::uint8_t>& file,
                                     const translation_parameters& parameters, engine which,
                                     translation_report& report) {
  memory_run run;
  run.input = file;
  run_in_memory(run, parameters, which);
  report = run.report;
  return run.written();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  translation_parameters parameters = fuzz_parameters(data, size);
  std::vector<std::uint8_t> file = fuzz_file(data, size);
  if (decodes_too_large_to_fuzz(file)) return 0;
  translation_report expected_report;
  std::vector<std::uint8_t> expected =
      run_engine(file, parameters, engine::reference, expected_report);
  for (engine which : {engine::single_pass, engine::single_pass_portable}) {
    translation_report report;
    std::vector<std::uint8_t> written = run_engine(file, parameters, which, report);
    if (report.outcome != expected_report.outcome || report.fault != expected_report.fault ||
        written != expected) {
      std::abort();
    }
  }
  return 0;
}
