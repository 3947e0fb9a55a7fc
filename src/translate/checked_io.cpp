#include "translate/checked_io.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "kit/exit_status.h"
#include "os/memory.h"

namespace {

[[noreturn]] void end_process() {
  std::exit(STATUS_FAILURE);
}

[[noreturn]] void write_failed(int handle, const void* source, int length) {
  // A cut-off bitmap with a valid header opens in some viewers: leave nothing instead.
  (void)truncate_file(handle);
  std::printf("\nError: _write failed.\n  File handle=%i\n  Where from=%s\n  Length=%i", handle,
              format_address(source).c_str(), length);
  end_process();
}

void check_position(long position, long offset) {
  if (position == offset) return;
  std::printf("\nError: Lseek failed.\n  Where to=%ld", offset);
  end_process();
}

[[noreturn]] void open_failed(const char* path, int mode) {
  std::printf("\nError:_open failed.\n  Filename:\"%s\"\n  Mode=%i", path, mode);
  end_process();
}

}  // namespace

std::string format_address(const void* address) {
  char text[2 * sizeof(void*) + 1];
  std::snprintf(text, sizeof text, "%0*" PRIXPTR, static_cast<int>(2 * sizeof(void*)),
                reinterpret_cast<std::uintptr_t>(address));
  return text;
}

void* checked_alloc(long size) {
  void* block = size >= 0 ? allocate_block(static_cast<std::size_t>(size)) : nullptr;
  if (block != nullptr) return block;
  std::printf("\nError:malloc failed.\n  Size: %ld bytes", size);
  end_process();
}

int checked_open(const char* path, int mode) {
  int handle = open_with_mode(path, mode);
  if (handle == -1) open_failed(path, mode);
  return handle;
}

long checked_seek(int handle, long offset, int origin) {
  long position = seek_handle(handle, offset, origin);
  if (position != -1) return position;
  std::printf("\nError:_lseek failed.\n  File handle=%i\n  Offset=%li\n  From=%i", handle, offset,
              origin);
  end_process();
}

int checked_read(int handle, void* destination, int length) {
  int error = 0;
  auto wanted = static_cast<std::size_t>(length);
  if (length >= 0 && read_fully(handle, destination, wanted, error) == wanted) return 0;
  std::printf("\nError: _read failed.\n  File handle=%i\n  Where to=%s\n  Length=%i", handle,
              format_address(destination).c_str(), length);
  end_process();
}

int checked_seek_read(int handle, void* destination, long offset, int length) {
  check_position(checked_seek(handle, offset, SEEK_FROM_START), offset);
  return checked_read(handle, destination, length);
}

int checked_write(int handle, const void* source, int length) {
  if (length >= 0 &&
      write_blocks(handle, source, static_cast<std::size_t>(length), nullptr, 0) == 0)
    return length;
  write_failed(handle, source, length);
}

int checked_seek_write(int handle, const void* source, long offset, int length) {
  check_position(checked_seek(handle, offset, SEEK_FROM_START), offset);
  return checked_write(handle, source, length);
}

int checked_seek_write_pair(int handle, const void* first, int first_length, const void* second,
                            int second_length, long offset) {
  check_position(checked_seek(handle, offset, SEEK_FROM_START), offset);
  int length = first_length + second_length;
  if (first_length >= 0 && second_length >= 0 &&
      write_blocks(handle, first, static_cast<std::size_t>(first_length), second,
                   static_cast<std::size_t>(second_length)) == 0)
    return length;
  write_failed(handle, first, length);
}

void checked_truncate(int handle, const char* path, int mode) {
  if (!truncate_file(handle)) open_failed(path, mode);
}
