#pragma once
// The pixel kernels alone, in memory, on every tier the machine has: no file system in
// the figures.

#include <chrono>
#include <string>
#include <vector>

#include "palette/translation.h"

struct engine_workload {
  std::string name;
  std::string file;
  translation_parameters parameters;
};

// The seconds one call of work takes, on the steady clock.
template <typename Work>
double seconds_of(Work work) {
  auto start = std::chrono::steady_clock::now();
  work();
  std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return elapsed.count();
}

void report_engine_speed(const std::vector<engine_workload>& workloads, int rounds);
