#include "translate/load_bitmap.h"

#include "translate/checked_io.h"

or_failure<translation_report> load_bitmap(int handle, translation_memory& memory) {
  or_failure<std::int64_t> size = checked_seek(handle, 0, SEEK_FROM_END);
  if (!size.ok()) return {{}, size.failed};
  translation_report report = check_file_size(size.value);
  if (!report.done()) return {report, std::nullopt};
  or_failure<void*> input = checked_alloc(size.value);
  if (!input.ok()) return {{}, input.failed};
  auto* bytes = static_cast<std::uint8_t*>(input.value);
  if (step_failure read = checked_seek_read(handle, bytes, 0, static_cast<int>(size.value)))
    return {{}, read};
  // Nothing was written through it: its close can lose nothing.
  (void)close_handle(handle);
  memory.file = bytes;
  memory.file_size = size.value;
  return {report, std::nullopt};
}
