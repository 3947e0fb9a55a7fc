#pragma once
// Runs the translation on a file image held in memory, the way the tool does on disk.

#include <cstdint>
#include <vector>

#include "palette/translation.h"

enum class engine {
  single_pass,  // the tool's: rows transformed in place in the input buffer
  reference,    // the literal model: a separate output buffer
};

// The image points into the two buffers, so a run moves but never copies.
struct memory_run {
  memory_run() = default;
  memory_run(const memory_run&) = delete;
  memory_run& operator=(const memory_run&) = delete;
  memory_run(memory_run&&) = default;
  memory_run& operator=(memory_run&&) = default;

  std::vector<std::uint8_t> input;
  std::vector<std::uint8_t> output;      // the prefix, or the whole output for the reference
  std::vector<std::uint8_t> equivalent;  // the 8-bit equivalent of a decoded form
  work_image image;
  translation_report report;

  // The bytes the tool would write; empty unless the translation is done.
  std::vector<std::uint8_t> written() const;
};

// Loads the bytes as the tool does (size checks first, decoded forms into their 8-bit
// equivalent) and translates them, starting the random sequence afresh as a new process
// would.
void run_in_memory(memory_run& run, const translation_parameters& parameters,
                   engine which = engine::single_pass);

// The single pass on the given kernel tier, which must be available.
void run_on_tier(memory_run& run, const translation_parameters& parameters, kernel_tier tier);

// The tiers the differential tests compare: every one available, printed once per process
// so that a machine without the vector tiers cannot pass unnoticed.
const std::vector<kernel_tier>& tiers_under_test();

// Loads and plans the translation, stopping before the pixel rows, which stay as read.
bool plan_in_memory(memory_run& run, const translation_parameters& parameters, pixel_plan& plan);

// Loads and measures only: the image is ready for the used count and assembly.
bool load_in_memory(memory_run& run);

// Applies index_map to the rows in place, as the tool does when the near-background pass
// is off; output_pixels then points at them.
void remap_rows(memory_run& run);

// Loads, checks, counts, assembles the prefix and starts the index map: ready for slot
// placement.
bool prepare_in_memory(memory_run& run);
