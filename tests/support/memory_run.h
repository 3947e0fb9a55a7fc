#pragma once
// Runs the translation on a file image held in memory, the way the tool does on disk.

#include <cstdint>
#include <vector>

#include "palette/pixel_kernels.h"
#include "palette/translation.h"

enum class engine {
  single_pass,  // the tool's: rows transformed in place in the input buffer
  reference,    // the literal model: a separate output buffer
};

// The image points into the buffers, so a run moves but never copies.
struct memory_run {
  memory_run() = default;
  memory_run(const memory_run&) = delete;
  memory_run& operator=(const memory_run&) = delete;
  memory_run(memory_run&&) = default;
  memory_run& operator=(memory_run&&) = default;

  std::vector<std::uint8_t> input;
  std::vector<std::uint8_t> output;      // the output's prefix
  std::vector<std::uint8_t> equivalent;  // the 8-bit equivalent of a decoded form
  work_image image;                      // the engine's; the reference keeps its own
  translation_report report;
  // Where the single pass starts a thread's row range: none, one thread.
  std::vector<std::uint32_t> row_cuts;
  // Where the file ends, for an input that holds more bytes after it (0: at its end).
  std::size_t file_length = 0;

  // The reference's run: its output and how many numbers it drew.
  bool literal = false;
  std::vector<std::uint8_t> literal_output;
  std::array<std::uint8_t, 256> literal_alpha{};  // of each output palette entry
  std::uint64_t draws = 0;

  // The bytes the tool would write; empty unless the translation is done.
  std::vector<std::uint8_t> written() const;
};

// Translates the bytes through the pipeline.
void run_in_memory(memory_run& run, const translation_parameters& parameters,
                   engine which = engine::single_pass);

// The bytes palette-translate writes for the file, run as above; empty when it refuses it.
std::vector<std::uint8_t> translated_bytes(std::vector<std::uint8_t> input,
                                           const translation_parameters& parameters);

// The single pass on the given kernel tier, which must be available.
void run_on_tier(memory_run& run, const translation_parameters& parameters, kernel_tier tier);

// The tiers the differential tests compare: every one available, printed once per process
// so that a machine without the vector tiers cannot pass unnoticed.
const std::vector<kernel_tier>& tiers_under_test();

// The pipeline's first half: everything but the pixel rows, which stay as read.
bool plan_in_memory(memory_run& run, const translation_parameters& parameters, pixel_plan& plan);

// Loads the rows only as far as the header and decoding go: true when the image describes
// them, even where the palette has no room.
bool load_in_memory(memory_run& run);

// The pipeline's preparation: loaded, counted, the prefix assembled and the index map
// started, ready for slot placement.
bool prepare_in_memory(memory_run& run);

// Applies index_map to the rows in place, as the tool does when the near-background pass
// is off; output_pixels then points at them.
void remap_rows(memory_run& run);
