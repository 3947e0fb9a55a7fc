#include "kit/input_file.h"

#include "kit/exit_status.h"
#include "os/files.h"

namespace {

// Code 0: the call worked, but what it found cannot be read as a file.
failure open_failure(const os_error& error) {
  return {STATUS_FAILURE, error.code == 0 ? error.reason : "cannot open: " + error.reason};
}

failure read_failure(const os_error& error) {
  return {STATUS_FAILURE,
          error.code == 0 ? "cannot read the whole file" : "cannot read: " + error.reason};
}

}  // namespace

or_failure<std::int64_t> read_input(const std::string& path, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  os_result<opened_file> opened = open_regular_file(path);
  if (!opened.ok()) return {0, open_failure(*opened.error)};
  opened_file& file = opened.value;
  if (!check_file_size(file.size).done()) {
    close_read_file(file);
    return {file.size, std::nullopt};
  }
  os_status read = read_and_close(file, bytes);
  if (!read.ok()) return {file.size, read_failure(*read.error)};
  return {file.size, std::nullopt};
}
