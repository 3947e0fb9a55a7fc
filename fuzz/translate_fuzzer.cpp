// Feeds arbitrary bytes through the whole in-memory translation, with the parameters taken
// from the input too, and checks that the single-pass engine (vector and portable kernels)
// agrees with the literal reference model on the status and every output byte.
//
// Input layout: 8 bytes of parameters (three tolerances and the percentage, each a
// little-endian signed 16-bit number), then the bitmap file.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "memory_run.h"
#include "tool/number_parse.h"

namespace {

constexpr std::size_t PARAMETER_BYTES = 8;

int parameter(const std::uint8_t* data, std::size_t size, std::size_t index) {
  if (2 * index + 1 >= size) return 0;
  return static_cast<std::int16_t>(data[2 * index] | (data[2 * index + 1] << 8));
}

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
  translation_parameters parameters{parameter(data, size, 0), parameter(data, size, 1),
                                    parameter(data, size, 2),
                                    background_share_of(parameter(data, size, 3))};
  std::vector<std::uint8_t> file;
  if (size > PARAMETER_BYTES) file.assign(data + PARAMETER_BYTES, data + size);
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
