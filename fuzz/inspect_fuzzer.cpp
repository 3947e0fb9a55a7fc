// Feeds arbitrary files to palette-inspect's report and checks that it never fails: the
// text holds no terminal control byte, the JSON parses, and the verdict is what the
// translation itself does with the file. The input's layout is in fuzz_input.h; of the
// parameters only the first byte and the compaction bit are read here: the byte picks the
// one report each input makes (the whole table, the compact table or the JSON), which
// keeps every run short.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "inspect/report.h"
#include "kit/exit_status.h"
#include "memory_run.h"
#include "report_checks.h"

namespace {

// How the translation ends: the pixel pass after the plan never refuses, so the plan tells.
refusal translated(const std::vector<std::uint8_t>& file, float share, bool compact) {
  memory_run run;
  run.input = file;
  pixel_plan plan;
  plan_in_memory(run, {1, 1, 1, share, compact}, plan);
  return run.report.refused;
}

// With the near-background step on and off, the translation ends as the verdict says.
// A file usable with the step on is usable with it off: that run is left out then.
bool verdict_agrees(const inspected_file& file, const std::vector<std::uint8_t>& bytes,
                    bool compact) {
  refusal with_grays = translated(bytes, 0.01f, compact);
  switch (file.found.judged()) {
    case verdict::usable:
      return with_grays == refusal::none;
    case verdict::usable_without_grays:
      return with_grays == refusal::no_room_for_grays &&
             translated(bytes, 0.0f, compact) == refusal::none;
    case verdict::refused:
      break;
  }
  return translated(bytes, 0.0f, compact) != refusal::none &&
         with_grays == file.found.outcome.refused &&
         file_status(file) == refusal_status(with_grays);
}

// The advice is what the compacted translation does.
bool advice_agrees(const inspected_file& file, const std::vector<std::uint8_t>& bytes) {
  compaction_advice advice = file.found.compaction.advice;
  if (advice == compaction_advice::none) return true;
  refusal compacted = translated(bytes, 0.01f, true);
  switch (advice) {
    case compaction_advice::translates:
    case compaction_advice::makes_room_for_grays:
      return compacted == refusal::none;
    case compaction_advice::translates_at_percentage_0:
      return compacted == refusal::no_room_for_grays &&
             translated(bytes, 0.0f, true) == refusal::none;
    case compaction_advice::does_not_help:
    case compaction_advice::none:
      break;
  }
  return compacted != refusal::none;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes = fuzz_file(data, size);
  if (decodes_too_large_to_fuzz(bytes)) return 0;
  bool compact = fuzz_compacts(data, size);
  inspected_file file{"fuzz.bmp", std::nullopt, inspect_bitmap(bytes, compact)};
  int report = size > 0 ? data[0] % 3 : 0;
  bool sound = report == 2 ? is_json(json_report({file}))
                           : is_plain_text(text_report(file, {.all_entries = report == 0}));
  if (!sound) std::abort();
  if (!verdict_agrees(file, bytes, compact) || !advice_agrees(file, bytes)) std::abort();
  return 0;
}
