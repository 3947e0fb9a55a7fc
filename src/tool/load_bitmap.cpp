#include "tool/load_bitmap.h"

#include <unistd.h>

#include "tool/checked_io.h"

translation_report load_bitmap(int handle, work_image& image) {
  long size = checked_seek(handle, 0, SEEK_FROM_END);
  translation_report report = check_file_size(size);
  if (report.outcome != translation_outcome::done) return report;
  auto* input = static_cast<std::uint8_t*>(checked_alloc(size));
  checked_seek_read(handle, input, 0, static_cast<int>(size));
  close(handle);
  image.input_bytes = input;
  image.file_size = static_cast<std::int32_t>(size);
  return report;
}
