#include "load_bitmap.h"

#include <cstdlib>

#include "checked_io.h"

namespace {

or_failure<std::uint8_t*> read_bytes(int handle, std::int64_t length) {
  or_failure<void*> block = checked_alloc(length);
  if (!block.ok()) return {nullptr, block.failed};
  auto* bytes = static_cast<std::uint8_t*>(block.value);
  if (step_failure read = checked_seek_read(handle, bytes, 0, static_cast<int>(length))) {
    std::free(bytes);
    return {nullptr, read};
  }
  return {bytes, std::nullopt};
}

}  // namespace

or_failure<translation_report> load_bitmap(int handle, translation_memory& memory,
                                           step_failure& part_failed) {
  or_failure<std::int64_t> size = checked_seek(handle, 0, SEEK_FROM_END);
  if (!size.ok()) return {{}, size.failed};
  translation_report report = check_file_size(size.value);
  if (!report.done()) return {report, std::nullopt};
  memory.file_size = size.value;
  if (size.value > FILE_HEAD_SIZE) {
    or_failure<std::uint8_t*> head = read_bytes(handle, FILE_HEAD_SIZE);
    if (!head.ok()) return {{}, head.failed};
    bool streams = memory.write_part && rows_streamed(head.value, size.value, memory.processors);
    if (streams || rows_read_in_bands(head.value, size.value)) {
      memory.file = head.value;
      memory.read_part = [handle, &part_failed](std::uint64_t offset, std::uint8_t* into,
                                                std::uint32_t length) {
        part_failed = checked_seek_read(handle, into, static_cast<std::int64_t>(offset),
                                        static_cast<int>(length));
        return !part_failed;
      };
      return {report, std::nullopt};
    }
    std::free(head.value);
  }
  or_failure<std::uint8_t*> whole = read_bytes(handle, size.value);
  if (!whole.ok()) return {{}, whole.failed};
  // Nothing was written through it: its close can lose nothing.
  (void)close_handle(handle);
  memory.file = whole.value;
  return {report, std::nullopt};
}
