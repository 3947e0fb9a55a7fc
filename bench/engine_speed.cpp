#include "engine_speed.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "memory_run.h"
#include "palette/pixel_transform.h"
#include "palette/row_ranges.h"
#include "whole_files.h"

namespace {

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Seconds per round of each step on one tier; the rows are read and never changed, the
// results go to a buffer of their own.
struct step_times {
  std::vector<double> map, count, draw;
  std::vector<double> pass_one, pass_all;  // the whole pass in place, on 1 and N threads
};

// The whole pixel pass in place, its rows cut for `threads`, as palette-translate runs it:
// uncounted, and checking a guessed used count as it goes. The rows are put back first,
// outside the timing.
double time_pass(memory_run& run, const pixel_plan& plan, const pixel_kernels& kernels,
                 const std::vector<std::uint8_t>& pristine, unsigned threads) {
  std::memcpy(input_pixels(run.image), pristine.data(), pristine.size());
  run.image.row_cuts = even_row_cuts(run.image.header.rows, threads);
  run.image.census = {};
  if (run.report.guessed != 0) run.image.pixel_limit = static_cast<int>(run.report.counted) - 1;
  return seconds_of([&] { transform_pixels(run.image, plan, kernels); });
}

void time_steps(const memory_run& run, const pixel_plan& plan, const pixel_kernels& kernels,
                std::vector<std::uint8_t>& out, step_times& times) {
  const std::uint8_t* rows = input_pixels(run.image);
  std::size_t length = out.size();
  value_counts counts{};
  times.count.push_back(seconds_of([&] { kernels.count(rows, length, counts); }));
  times.map.push_back(seconds_of([&] { kernels.map(rows, out.data(), length, plan.fixed); }));
  if (!any_decided_by_draw(plan)) return;
  draw_tables tables = make_draw_tables(counts, plan);
  times.draw.push_back(seconds_of([&] { kernels.draw(rows, out.data(), length, tables); }));
}

unsigned threads_to_compare() {
  return std::max(2u, std::thread::hardware_concurrency());
}

void print_rate(const std::vector<double>& seconds, std::size_t pixels) {
  if (seconds.empty()) {
    std::printf("  %9s", "-");
    return;
  }
  std::printf("  %9.2f", static_cast<double>(pixels) / median(seconds) / 1e9);
}

void report_workload(const engine_workload& w, int rounds) {
  memory_run run;
  run.input = read_file(w.file);
  pixel_plan plan;
  if (!plan_in_memory(run, w.parameters, plan) ||
      run.image.header.stride != static_cast<std::uint32_t>(run.image.header.width)) {
    std::printf("%-4s cannot be planned in memory\n", w.name.c_str());
    return;
  }
  std::size_t pixels = std::size_t{run.image.header.stride} * run.image.header.rows;
  std::vector<std::uint8_t> out(pixels);
  std::vector<std::uint8_t> pristine(input_pixels(run.image), input_pixels(run.image) + pixels);
  std::vector<kernel_tier> tiers = available_tiers();
  std::vector<step_times> times(tiers.size());
  std::vector<double> copy;
  for (int round = 0; round < rounds; ++round) {
    for (std::size_t t = 0; t < tiers.size(); ++t) {
      const pixel_kernels& kernels = *kernels_of(tiers[t]);
      time_steps(run, plan, kernels, out, times[t]);
      times[t].pass_one.push_back(time_pass(run, plan, kernels, pristine, 1));
      times[t].pass_all.push_back(time_pass(run, plan, kernels, pristine, threads_to_compare()));
    }
    copy.push_back(seconds_of([&] { std::memcpy(out.data(), input_pixels(run.image), pixels); }));
  }
  for (std::size_t t = 0; t < tiers.size(); ++t) {
    std::printf("%-4s %-9s", w.name.c_str(), tier_name(tiers[t]));
    print_rate(times[t].map, pixels);
    print_rate(times[t].count, pixels);
    print_rate(times[t].draw, pixels);
    print_rate(times[t].pass_one, pixels);
    print_rate(times[t].pass_all, pixels);
    std::printf("  %6.2f x\n", median(times[t].pass_one) / median(times[t].pass_all));
  }
  std::printf("%-4s %-9s", w.name.c_str(), "memcpy");
  print_rate(copy, pixels);
  std::printf("\n");
}

}  // namespace

void report_engine_speed(const std::vector<engine_workload>& workloads, int rounds) {
  std::printf(
      "Engine alone, in memory: Gpixels/s, medians of %d rounds; the whole pass (count and "
      "draw, or map) in place on 1 and %u threads\n",
      rounds, threads_to_compare());
  std::printf("%-4s %-9s  %9s  %9s  %9s  %9s  %9s  %s\n", "", "tier", "map", "count", "draw",
              "pass 1", "pass N", "speed-up");
  for (const engine_workload& w : workloads) report_workload(w, rounds);
}
