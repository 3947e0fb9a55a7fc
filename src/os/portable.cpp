// The seam's file calls that are built only from its other calls: the same on every
// platform.

#include <cerrno>

#include "os/file_identity.h"
#include "os/files.h"
#include "os/seam_errors.h"

bool names_open_file(int handle, const char* path) {
  file_identity open_file;
  file_identity named_file;
  return identity_of_handle(handle, open_file) && identity_of_path(path, named_file) &&
         open_file == named_file;
}

bool same_open_file(int a, int b) {
  file_identity first;
  file_identity second;
  return identity_of_handle(a, first) && identity_of_handle(b, second) && first == second;
}

std::size_t read_fully(int handle, void* destination, std::size_t length, int& error) {
  auto* bytes = static_cast<std::uint8_t*>(destination);
  std::size_t done = 0;
  error = 0;
  while (done < length) {
    std::int64_t got = read_some(handle, bytes + done, length - done);
    if (got < 0) error = errno;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

bool read_and_close(opened_file& file, std::vector<std::uint8_t>& bytes, std::string* err) {
  bytes.resize(static_cast<std::size_t>(file.size));
  int error = 0;
  std::size_t done = read_fully(file.handle, bytes.data(), bytes.size(), error);
  close_file(file);
  if (error != 0) return failed(err, "cannot read: " + system_reason(error));
  // The file shrank while it was read.
  if (done != bytes.size()) return failed(err, "cannot read the whole file");
  return true;
}

void close_file(opened_file& file) {
  if (file.handle >= 0) close_handle(file.handle);
  file.handle = -1;
}

bool write_and_close(int handle, const void* first, std::size_t first_length, const void* second,
                     std::size_t second_length, std::string* err) {
  int error = write_blocks(handle, first, first_length, second, second_length);
  if (!close_handle(handle) && error == 0) error = errno;
  return error == 0 || failed(err, system_reason(error));
}
