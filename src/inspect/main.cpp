// palette-inspect: shows what the translation reads in palette bitmaps and what it would
// make of them. Reads only; never writes a file.
// Usage: palette-inspect [--json] FILE.bmp...

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "inspect/report.h"
#include "tool/exit_status.h"

namespace {

constexpr const char* USAGE =
    "usage: palette-inspect [--json] FILE.bmp...\n"
    "Shows the header fields, used count, first pixel and palette (with pixel counts and\n"
    "the roles of the fixed slots) of 8-bit palette bitmaps. --json prints one JSON\n"
    "document. Colour swatches appear on a terminal unless NO_COLOR is set.\n";

// The whole file, or the reason it cannot be had. Directories and other non-files fail;
// a file beyond the size limit is judged by its size and not read.
std::string read_whole_file(const std::string& path, std::vector<std::uint8_t>& bytes,
                            inspection& found) {
  int handle = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (handle < 0) return std::string("cannot open: ") + std::strerror(errno);
  struct stat info {};
  if (fstat(handle, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(handle);
    return "not a regular file";
  }
  found = inspect_size(info.st_size);
  if (found.outcome.outcome != translation_outcome::done) {
    close(handle);
    return "";
  }
  bytes.resize(static_cast<std::size_t>(info.st_size));
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t got = read(handle, bytes.data() + done, bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  close(handle);
  if (done != bytes.size()) return "cannot read the whole file";
  return "";
}

inspected_file inspect_path(const std::string& path) {
  inspected_file file{path, "", {}};
  std::vector<std::uint8_t> bytes;
  file.read_error = read_whole_file(path, bytes, file.found);
  bool read = file.read_error.empty() && file.found.outcome.outcome == translation_outcome::done;
  if (read) file.found = inspect_bitmap(bytes);
  return file;
}

int status_of(const std::vector<inspected_file>& files) {
  int status = STATUS_OK;
  for (const inspected_file& file : files) status = std::max(status, file_status(file));
  return status;
}

bool wants_color() {
  const char* no_color = std::getenv("NO_COLOR");
  return isatty(STDOUT_FILENO) != 0 && (no_color == nullptr || no_color[0] == '\0');
}

}  // namespace

int inspect_files(int argc, char** argv) {
  bool json = false;
  std::vector<std::string> paths;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument == "--json") {
      json = true;
    } else if (argument == "-h" || argument == "--help") {
      std::fputs(USAGE, stdout);
      return STATUS_OK;
    } else {
      paths.push_back(argument);
    }
  }
  if (paths.empty()) {
    std::fputs(USAGE, stderr);
    return shell_status(STATUS_FAILURE);
  }
  std::vector<inspected_file> files;
  for (const std::string& path : paths) files.push_back(inspect_path(path));
  bool color = !json && wants_color();
  std::string output = json ? json_report(files) : std::string();
  for (std::size_t i = 0; !json && i < files.size(); ++i) {
    if (i > 0) output += '\n';
    output += text_report(files[i], color);
  }
  std::fputs(output.c_str(), stdout);
  return status_of(files);
}

// Nothing may end the process without a status and a reason: not even an allocation that
// fails, and not a full or closed standard output.
int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  int status = shell_status(STATUS_FAILURE);
  try {
    status = inspect_files(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "palette-inspect: %s\n", error.what());
    return shell_status(STATUS_FAILURE);
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    std::fprintf(stderr, "palette-inspect: cannot write the report: %s\n", std::strerror(errno));
    return shell_status(STATUS_FAILURE);
  }
  return status;
}
