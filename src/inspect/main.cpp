// palette-inspect: shows what the translation reads in palette bitmaps and what it would
// make of them. Reads only; never writes a file.
// Usage: palette-inspect [--json] [--all] [--compact-palette] FILE...
//        palette-inspect --html [--compact-palette] FILE [RED GREEN BLUE PERCENT]

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "kit/exit_status.h"
#include "kit/failure.h"
#include "kit/guarded_run.h"
#include "kit/input_file.h"
#include "kit/number_parse.h"
#include "kit/text_format.h"
#include "kit/version.h"
#include "os/command_entry.h"
#include "os/process.h"
#include "report.h"

namespace {

constexpr const char* SYNOPSIS =
    "usage: palette-inspect [--json] [--all] [--compact-palette] [--] FILE...\n"
    "       palette-inspect --html [--compact-palette] FILE [RED GREEN BLUE PERCENT]\n";
constexpr const char* DESCRIPTION =
    "Shows the header fields, used count, first pixel and palette (with pixel counts and\n"
    "the roles of the fixed slots, and for a PNG the alphas) of palette bitmaps and PNGs,\n"
    "and what palette-translate would make of them. A file refused for want of palette\n"
    "room is told whether --compact-palette would help.\n"
    "  --json     one JSON document for all files, every palette entry included\n"
    "  --all      all 256 palette entries, not only those that matter\n"
    "  --compact-palette\n"
    "             describe the translation with the palette cut down to the colours\n"
    "             the pixels use, as palette-translate --compact-palette makes it\n"
    "  --html     one page for one file, with the file and the output palette-translate\n"
    "             would write for it with the four numbers (default 0 0 0 0) side by\n"
    "             side (a PNG as a PNG, on a checkerboard); it writes no file\n"
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
  std::string answer;  // --help or --version: printed instead of any report
};

failure usage_error(const std::string& problem) {
  return {STATUS_FAILURE, format("palette-inspect: %s\n%sMore: palette-inspect --help\n",
                                 problem.c_str(), SYNOPSIS)};
}

// Options may come anywhere before "--".
or_failure<inspect_options> parse_options(int argc, char** argv) {
  inspect_options options;
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
      options.answer = std::string(SYNOPSIS) + DESCRIPTION;
      return {options, std::nullopt};
    } else if (argument == "--version") {
      // The kernel tier, where a build or a processor may differ: which the speed depends on.
      options.answer = format("palette-inspect (%s) %s\npixel kernels: %s\n", PRODUCT_NAME,
                              PRODUCT_VERSION, best_tier_name());
      return {options, std::nullopt};
    } else {
      return {options, usage_error("unknown option " + argument)};
    }
  }
  if (options.paths.empty()) return {options, usage_error("no file given")};
  if (options.html && options.json)
    return {options, usage_error("--html and --json do not go together")};
  if (options.html && options.paths.size() != 1 && options.paths.size() != 5)
    return {options, usage_error("--html takes one file, and then the four numbers or none")};
  return {options, std::nullopt};
}

// The file read whole and inspected, or why it could not be read. A file beyond the size
// limit is judged by its size and not read. With `kept`, the bytes stay there.
inspected_file inspect_path(const std::string& path, bool compact,
                            std::vector<std::uint8_t>* kept = nullptr) {
  inspected_file file{path, std::nullopt, {}};
  std::vector<std::uint8_t> bytes;
  or_failure<std::int64_t> read = read_input(path, bytes);
  if (!read.ok()) {
    file.unread = read.failed;
    return file;
  }
  file.found = inspect_size(read.value);
  if (!file.found.outcome.done()) return file;
  if (kept == nullptr) {
    file.found = inspect_bitmap(std::move(bytes), compact);
    return file;
  }
  *kept = std::move(bytes);
  file.found = inspect_bitmap(*kept, compact);
  return file;
}

int status_of(const std::vector<inspected_file>& files) {
  int status = STATUS_OK;
  for (const inspected_file& file : files) status = worse_status(status, file_status(file));
  return status;
}

bool wants_color() {
  const char* no_color = environment_value("NO_COLOR");
  return (no_color == nullptr || no_color[0] == '\0') &&
         console_takes_colour(standard_stream::output);
}

// The report is the command's whole work: a write that fails fails the command.
step_failure write_report(const std::string& text) {
  os_status written = write_text(standard_stream::output, text);
  if (written.ok()) return std::nullopt;
  return failure{STATUS_FAILURE, format("palette-inspect: cannot write the report: %s\n",
                                        written.error->reason.c_str())};
}

// The page for one file; the four numbers are read as palette-translate reads them.
or_failure<int> inspect_as_page(const inspect_options& options) {
  translation_parameters parameters;
  if (options.paths.size() == 5) {
    auto number = [&](std::size_t i) { return parse_number(options.paths[i].c_str()); };
    parameters = {number(1), number(2), number(3), background_share_of(number(4))};
  }
  parameters.compact_palette = options.compact;
  std::vector<std::uint8_t> bytes;
  inspected_file file = inspect_path(options.paths[0], options.compact, &bytes);
  translated_file translated;
  if (!file.unread && file.found.outcome.done())
    translated = translate_in_memory(bytes, parameters);
  else
    translated.report = file.found.outcome;
  std::string page = html_report(file, bytes, translated, parameters);
  if (step_failure failed = write_report(page)) return {0, failed};
  return {file_status(file), std::nullopt};
}

or_failure<int> inspect_files(int argc, char** argv) {
  or_failure<inspect_options> parsed = parse_options(argc, argv);
  if (!parsed.ok()) return {0, parsed.failed};
  inspect_options& options = parsed.value;
  if (!options.answer.empty()) {
    return {STATUS_OK, write_report(options.answer)};
  }
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
  if (step_failure failed = write_report(output)) return {0, failed};
  return {status_of(files), std::nullopt};
}

}  // namespace

// Nothing may end the process without a status and a reason: not even an allocation that
// fails, and not a full or closed standard output. The status goes out as palette-translate
// returns it, which Windows shows whole (-1, not 255).
int command_main(int argc, char** argv) {
  ignore_broken_pipes();
  or_failure<int> status = guarded(
      [&] { return inspect_files(argc, argv); },
      [](const std::string& reason) {
        return fail_with<int>(STATUS_FAILURE, format("palette-inspect: %s\n", reason.c_str()));
      });
  if (status.ok() && (std::fflush(stdout) != 0 || std::ferror(stdout) != 0))
    status = fail_with<int>(STATUS_FAILURE, format("palette-inspect: cannot write the report: %s\n",
                                                   std::strerror(errno)));
  if (!status.ok()) {
    // Standard error is the last place to say it: a failure there has nowhere to go.
    (void)write_text(standard_stream::error, status.failed->text);
    return status.failed->status;
  }
  return status.value;
}
