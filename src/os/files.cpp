// The file calls built only from the seam's other calls: the same on every platform.

#include "os/files.h"

os_result<std::size_t> read_fully(int handle, void* destination, std::size_t length,
                                  const system_calls& calls) {
  auto* bytes = static_cast<std::uint8_t*>(destination);
  std::size_t done = 0;
  while (done < length) {
    os_result<std::int64_t> got = read_some(handle, bytes + done, length - done, calls);
    if (!got.ok()) return {done, got.error};
    if (got.value == 0) break;
    done += static_cast<std::size_t>(got.value);
  }
  return {done, {}};
}

os_status read_and_close(opened_file& file, std::vector<std::uint8_t>& bytes) {
  bytes.resize(static_cast<std::size_t>(file.size));
  os_result<std::size_t> read = read_fully(file.handle, bytes.data(), bytes.size());
  close_read_file(file);
  if (!read.ok()) return failed_with(*read.error);
  if (read.value != bytes.size()) return failed_with({"read", 0, "the file shrank"});
  return {};
}

void close_read_file(opened_file& file) {
  // Nothing was written through it, so its close can lose nothing.
  if (file.handle >= 0) (void)close_handle(file.handle);
  file.handle = -1;
}

os_status write_and_close(int handle, const void* first, std::size_t first_length,
                          const void* second, std::size_t second_length,
                          const system_calls& calls) {
  os_status written = write_blocks(handle, first, first_length, second, second_length, calls);
  if (written.ok()) written = flush_to_disk(handle);
  os_status closed = close_handle(handle, calls);
  return written.ok() ? closed : written;
}
