#include "checked_io.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>

#include "kit/exit_status.h"
#include "kit/text_format.h"
#include "os/memory.h"
#include "os/process.h"

namespace {

failure diagnostic(std::string text) {
  return {STATUS_FAILURE, std::move(text)};
}

failure write_failure(int handle, const void* source, int length) {
  // A cut-off bitmap with a valid header opens in some viewers: leave nothing instead. A
  // file that cannot be cut back keeps what it has; the write diagnostic says enough.
  (void)truncate_file(handle);
  return diagnostic(
      format("\nError: _write failed.\n  File handle=%i\n  Where from=%s\n  Length=%i", handle,
             format_address(source).c_str(), length));
}

failure open_failure(const char* path, int mode) {
  return diagnostic(format("\nError:_open failed.\n  Filename:\"%s\"\n  Mode=%i", path, mode));
}

step_failure check_position(std::int64_t position, std::int64_t offset) {
  if (position == offset) return std::nullopt;
  return diagnostic(format("\nError: Lseek failed.\n  Where to=%" PRId64, offset));
}

template <typename T>
or_failure<T> value(T result) {
  return {result, std::nullopt};
}

}  // namespace

std::string format_address(const void* address) {
  return format("%0*" PRIXPTR, static_cast<int>(2 * sizeof(void*)),
                reinterpret_cast<std::uintptr_t>(address));
}

failure allocation_failure(std::int64_t size) {
  return diagnostic(format("\nError:malloc failed.\n  Size: %" PRId64 " bytes", size));
}

int print_failure(const failure& failed) {
  // The status says it too, where standard output cannot.
  (void)write_text(standard_stream::output, failed.text);
  return failed.status;
}

or_failure<void*> checked_alloc(std::int64_t size) {
  // A size past what this machine can address is a failed allocation, not a smaller one.
  if (size >= 0 && static_cast<std::uint64_t>(size) <= SIZE_MAX) {
    os_result<void*> block = allocate_block(static_cast<std::size_t>(size));
    if (block.ok()) return value(block.value);
  }
  return {nullptr, allocation_failure(size)};
}

or_failure<int> checked_open(const char* path, int mode) {
  os_result<int> handle = open_with_mode(path, mode);
  if (handle.ok()) return value(handle.value);
  return {-1, open_failure(path, mode)};
}

or_failure<std::int64_t> checked_seek(int handle, std::int64_t offset, int origin) {
  os_result<std::int64_t> position = seek_handle(handle, offset, origin);
  if (position.ok()) return value(position.value);
  return {-1, diagnostic(format("\nError:_lseek failed.\n  File handle=%i\n  Offset=%" PRId64
                                "\n  From=%i",
                                handle, offset, origin))};
}

step_failure checked_read(int handle, void* destination, int length, const system_calls& calls) {
  auto wanted = static_cast<std::size_t>(length);
  if (length >= 0) {
    os_result<std::size_t> read = read_fully(handle, destination, wanted, calls);
    if (read.ok() && read.value == wanted) return std::nullopt;
  }
  return diagnostic(format("\nError: _read failed.\n  File handle=%i\n  Where to=%s\n  Length=%i",
                           handle, format_address(destination).c_str(), length));
}

step_failure checked_seek_read(int handle, void* destination, std::int64_t offset, int length,
                               const system_calls& calls) {
  or_failure<std::int64_t> position = checked_seek(handle, offset, SEEK_FROM_START);
  if (!position.ok()) return position.failed;
  if (step_failure moved = check_position(position.value, offset)) return moved;
  return checked_read(handle, destination, length, calls);
}

or_failure<int> checked_write(int handle, const void* source, int length,
                              const system_calls& calls) {
  if (length >= 0 &&
      write_blocks(handle, source, static_cast<std::size_t>(length), nullptr, 0, calls).ok())
    return value(length);
  return {-1, write_failure(handle, source, length)};
}

or_failure<int> checked_seek_write(int handle, const void* source, std::int64_t offset, int length,
                                   const system_calls& calls) {
  or_failure<std::int64_t> position = checked_seek(handle, offset, SEEK_FROM_START);
  if (!position.ok()) return {-1, position.failed};
  if (step_failure moved = check_position(position.value, offset)) return {-1, moved};
  return checked_write(handle, source, length, calls);
}

or_failure<int> checked_seek_write_pair(int handle, const void* first, int first_length,
                                        const void* second, int second_length, std::int64_t offset,
                                        const system_calls& calls) {
  or_failure<std::int64_t> position = checked_seek(handle, offset, SEEK_FROM_START);
  if (!position.ok()) return {-1, position.failed};
  if (step_failure moved = check_position(position.value, offset)) return {-1, moved};
  int length = first_length + second_length;
  if (first_length >= 0 && second_length >= 0 &&
      write_blocks(handle, first, static_cast<std::size_t>(first_length), second,
                   static_cast<std::size_t>(second_length), calls)
          .ok())
    return value(length);
  return {-1, write_failure(handle, first, length)};
}

step_failure checked_truncate(int handle, const char* path, int mode) {
  if (truncate_file(handle).ok()) return std::nullopt;
  return open_failure(path, mode);
}
