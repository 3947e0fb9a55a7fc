// Feeds arbitrary bytes through the whole in-memory translation, with the parameters taken
// from the input too, and checks that the single-pass engine (vector and portable kernels)
// agrees with the literal reference model on the status and every output byte.
//
// Input layout: 8 bytes of parameters (three tolerances and the percentage, each a
// little-endian signed 16-bit number), then the bitmap file.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "bitmap/bmp_header.h"
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

// A few bytes of RLE or 1-bit data may claim a picture of hundreds of megabytes, which
// the literal model scans once per palette swap: far past the fuzzer's time limit. The
// tests cover such sizes; here they would only stall the search (the legacy form cannot
// claim more pixels than its bytes, and the fuzzer keeps inputs under 4 KiB).
bool too_slow_for_the_reference(const std::vector<std::uint8_t>& file) {
  constexpr std::int32_t MAX_DECODED_SIZE = 1 << 16;
  if (check_input_size(static_cast<std::int64_t>(file.size())) != bitmap_fault::none) return false;
  bmp_header header;
  if (read_bmp_header(file.data(), static_cast<std::int32_t>(file.size()), header) !=
      bitmap_fault::none)
    return false;
  return !header.in_place && equivalent_size(header) > MAX_DECODED_SIZE;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  translation_parameters parameters{parameter(data, size, 0), parameter(data, size, 1),
                                    parameter(data, size, 2),
                                    background_share_of(parameter(data, size, 3))};
  std::vector<std::uint8_t> file;
  if (size > PARAMETER_BYTES) file.assign(data + PARAMETER_BYTES, data + size);
  if (too_slow_for_the_reference(file)) return 0;
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
