#pragma once
// Runs the translation on a file image held in memory, the way the tool does on disk.

#include <cstdint>
#include <vector>

#include "palette/translation.h"

// The image points into the two buffers, so a run moves but never copies.
struct memory_run {
  memory_run() = default;
  memory_run(const memory_run&) = delete;
  memory_run& operator=(const memory_run&) = delete;
  memory_run(memory_run&&) = default;
  memory_run& operator=(memory_run&&) = default;

  std::vector<std::uint8_t> input;
  std::vector<std::uint8_t> output;
  work_image image;
  translation_report report;

  // The bytes the tool would write; empty unless the translation is done.
  std::vector<std::uint8_t> written() const;
};

// Loads the bytes as the tool does (size checks first) and translates them.
void run_in_memory(memory_run& run, const translation_parameters& parameters);

// Loads and measures only: the image is ready for the used count and assembly.
bool load_in_memory(memory_run& run);

// Loads, measures, counts and assembles with the index clamp: ready for slot placement.
bool prepare_in_memory(memory_run& run);
