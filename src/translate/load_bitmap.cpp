#include "translate/load_bitmap.h"

#include "translate/checked_io.h"

translation_report load_bitmap(int handle, translation_memory& memory) {
  long size = checked_seek(handle, 0, SEEK_FROM_END);
  translation_report report = check_file_size(size);
  if (!report.done()) return report;
  auto* input = static_cast<std::uint8_t*>(checked_alloc(size));
  checked_seek_read(handle, input, 0, static_cast<int>(size));
  close_handle(handle);
  memory.file = input;
  memory.file_size = size;
  return report;
}
