// Feeds arbitrary files to palette-inspect's report and checks that it never fails: the
// text holds no terminal control byte, the JSON parses, and the verdict is what the
// translation itself does with the file. The input's layout is in fuzz_input.h; the
// parameter bytes are not used here.

#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "inspect/report.h"
#include "kit/exit_status.h"
#include "memory_run.h"

namespace {

refusal translated(const std::vector<std::uint8_t>& file, float share) {
  memory_run run;
  run.input = file;
  run_in_memory(run, {1, 1, 1, share});
  return run.report.refused;
}

bool plain_text(const std::string& text) {
  for (char c : text) {
    if (c != '\n' && static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

// With the near-background step on and off, the translation ends as the verdict says.
bool verdict_agrees(const inspected_file& file, const std::vector<std::uint8_t>& bytes) {
  refusal with_grays = translated(bytes, 0.01f);
  refusal without = translated(bytes, 0.0f);
  switch (file.found.judged()) {
    case verdict::usable:
      return with_grays == refusal::none;
    case verdict::usable_without_grays:
      return with_grays == refusal::no_room_for_grays && without == refusal::none;
    case verdict::refused:
      break;
  }
  translation_report report;
  report.refused = with_grays;
  return without != refusal::none && with_grays == file.found.outcome.refused &&
         file_status(file) == shell_status(refusal_status(report.refused));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes = fuzz_file(data, size);
  if (decodes_too_large_to_fuzz(bytes)) return 0;
  inspected_file file{"fuzz.bmp", "", inspect_bitmap(bytes)};
  std::string text = text_report(file, {.all_entries = true});
  std::string json = json_report({file});
  if (!plain_text(text) || nlohmann::json::parse(json, nullptr, false).is_discarded()) std::abort();
  if (!verdict_agrees(file, bytes)) std::abort();
  return 0;
}
