#include "tool/load_bitmap.h"

#include <unistd.h>

#include "tool/checked_io.h"

bitmap_fault load_bitmap(int handle, work_image& image) {
  long size = checked_seek(handle, 0, SEEK_FROM_END);
  bitmap_fault fault = check_input_size(size);
  if (fault != bitmap_fault::none) return fault;
  auto* input = static_cast<std::uint8_t*>(checked_alloc(size));
  checked_seek_read(handle, input, 0, static_cast<int>(size));
  close(handle);
  image.input_bytes = input;
  image.file_size = static_cast<std::int32_t>(size);
  return bitmap_fault::none;
}
