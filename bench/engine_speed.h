#pragma once
// The pixel kernels alone, in memory, on every tier the machine has: no file system in
// the figures.

#include <string>
#include <vector>

#include "palette/translation.h"

struct engine_workload {
  std::string name;
  std::string file;
  translation_parameters parameters;
};

void report_engine_speed(const std::vector<engine_workload>& workloads, int rounds);
