// palette-inspect: shows what the translation reads in palette bitmaps and what it would
// make of them. Reads only; never writes a file.
// Usage: palette-inspect [--json] [--all] [--compact-palette] FILE.bmp...
//        palette-inspect --html [--compact-palette] FILE.bmp [RED GREEN BLUE PERCENT]

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "inspect/report.h"
#include "kit/exit_status.h"
#include "kit/number_parse.h"
#include "kit/version.h"
#include "os/command_entry.h"
#include "os/files.h"
#include "os/process.h"

namespace {

constexpr const char* SYNOPSIS =
    "usage: palette-inspect [--json] [--all] [--compact-palette] [--] FILE.bmp...\n"
    "       palette-inspect --html [--compact-palette] FILE.bmp [RED GREEN BLUE PERCENT]\n";
constexpr const char* DESCRIPTION =
    "Shows the header fields, used count, first pixel and palette (with pixel counts and\n"
    "the roles of the fixed slots) of palette bitmaps, and what palette-translate would\n"
    "make of them. A file refused for want of palette room is told whether\n"
    "--compact-palette would help.\n"
    "  --json     one JSON document for all files, every palette entry included\n"
    "  --all      all 256 palette entries, not only those that matter\n"
    "  --compact-palette\n"
    "             describe the translation with the palette cut down to the colours\n"
    "             the pixels use, as palette-translate --compact-palette makes it\n"
    "  --html     one page for one file, with the file and the output palette-translate\n"
    "             would write for it with the four numbers (default 0 0 0 0) side by\n"
    "             side; it writes no file\n"
    "  --version  the release\n"
    "  --         the arguments that follow are file names\n"
    "Status: 0 every file usable, 253 or 254 a file refused, 255 a file unreadable or a\n"
    "usage error. Colour swatches appear on a terminal unless NO_COLOR is set.\n"
    "Manual: man palette-inspect\n";

struct inspect_options {
  bool json = false;
  bool html = false;
  bool compact = false;
  report_style style;
  std::vector<std::string> paths;
};

int usage_error(const std::string& problem) {
  std::fprintf(stderr, "palette-inspect: %s\n%sMore: palette-inspect --help\n", problem.c_str(),
               SYNOPSIS);
  return shell_status(STATUS_FAILURE);
}

// Options may come anywhere before "--"; returns -1 to go on, or the status to end with.
int parse_options(int argc, char** argv, inspect_options& options) {
  bool only_files = false;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    // A negative number is an operand: --html takes four numbers after the file.
    bool number =
        argument.size() >= 2 && argument[0] == '-' && argument[1] >= '0' && argument[1] <= '9';
    if (only_files || number || argument.size() < 2 || argument[0] != '-') {
      options.paths.push_back(argument);
    } else if (argument == "--") {
      only_files = true;
    } else if (argument == "--json") {
      options.json = true;
    } else if (argument == "--html") {
      options.html = true;
    } else if (argument == "--all") {
      options.style.all_entries = true;
    } else if (argument == "--compact-palette") {
      options.compact = true;
    } else if (argument == "-h" || argument == "--help") {
      std::printf("%s%s", SYNOPSIS, DESCRIPTION);
      return STATUS_OK;
    } else if (argument == "--version") {
      std::printf("palette-inspect (%s) %s\n", PRODUCT_NAME, PRODUCT_VERSION);
      return STATUS_OK;
    } else {
      return usage_error("unknown option " + argument);
    }
  }
  if (options.paths.empty()) return usage_error("no file given");
  if (options.html && options.json) return usage_error("--html and --json do not go together");
  if (options.html && options.paths.size() != 1 && options.paths.size() != 5)
    return usage_error("--html takes one file, and then the four numbers or none");
  return -1;
}

// The whole file, or false and why it cannot be had. A file beyond the size limit is
// judged by its size and not read.
bool read_whole_file(const std::string& path, std::vector<std::uint8_t>& bytes, inspection& found,
                     std::string* err) {
  opened_file file;
  if (!open_regular_file(path, file, err)) return false;
  found = inspect_size(file.size);
  if (!found.outcome.done()) {
    close_file(file);
    return true;
  }
  return read_and_close(file, bytes, err);
}

inspected_file inspect_path(const std::string& path, bool compact) {
  inspected_file file{path, "", {}};
  std::vector<std::uint8_t> bytes;
  bool read = read_whole_file(path, bytes, file.found, &file.read_error);
  if (read && file.found.outcome.done()) file.found = inspect_bitmap(std::move(bytes), compact);
  return file;
}

int status_of(const std::vector<inspected_file>& files) {
  int status = STATUS_OK;
  for (const inspected_file& file : files) status = std::max(status, file_status(file));
  return status;
}

bool wants_color() {
  const char* no_color = environment_value("NO_COLOR");
  return (no_color == nullptr || no_color[0] == '\0') &&
         console_takes_colour(standard_stream::output);
}

}  // namespace

// The page for one file; the four numbers are read as palette-translate reads them.
int inspect_as_page(const inspect_options& options) {
  translation_parameters parameters;
  if (options.paths.size() == 5) {
    auto number = [&](std::size_t i) { return parse_number(options.paths[i].c_str()); };
    parameters = {number(1), number(2), number(3), background_share_of(number(4))};
  }
  parameters.compact_palette = options.compact;
  const std::string& path = options.paths[0];
  inspected_file file{path, "", {}};
  std::vector<std::uint8_t> bytes;
  translated_file translated;
  if (read_whole_file(path, bytes, file.found, &file.read_error) && file.found.outcome.done()) {
    file.found = inspect_bitmap(bytes, options.compact);
    translated = translate_in_memory(bytes, parameters);
  } else {
    translated.report = file.found.outcome;
  }
  std::string page = html_report(file, bytes, translated, parameters);
  std::fputs(page.c_str(), stdout);
  return file_status(file);
}

int inspect_files(int argc, char** argv) {
  inspect_options options;
  int status = parse_options(argc, argv, options);
  if (status >= 0) return status;
  if (options.html) return inspect_as_page(options);
  std::vector<inspected_file> files;
  for (const std::string& path : options.paths)
    files.push_back(inspect_path(path, options.compact));
  options.style.color = !options.json && wants_color();
  std::string output = options.json ? json_report(files) : std::string();
  for (std::size_t i = 0; !options.json && i < files.size(); ++i) {
    if (i > 0) output += '\n';
    output += text_report(files[i], options.style);
  }
  std::fputs(output.c_str(), stdout);
  return status_of(files);
}

// Nothing may end the process without a status and a reason: not even an allocation that
// fails, and not a full or closed standard output. The status goes out as palette-translate
// returns it, which Windows shows whole (-1, not 255).
int command_main(int argc, char** argv) {
  ignore_broken_pipes();
  int status = shell_status(STATUS_FAILURE);
  try {
    status = inspect_files(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "palette-inspect: %s\n", error.what());
    return STATUS_FAILURE;
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    std::fprintf(stderr, "palette-inspect: cannot write the report: %s\n", std::strerror(errno));
    return STATUS_FAILURE;
  }
  return returned_status(status);
}
