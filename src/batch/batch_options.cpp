#include "batch_options.h"

#include <cstdio>
#include <string_view>

#include "input_scan.h"
#include "kit/exit_status.h"
#include "kit/file_names.h"
#include "kit/number_parse.h"
#include "kit/text_escape.h"
#include "kit/text_format.h"
#include "kit/version.h"
#include "os/paths.h"
#include "os/process.h"

namespace {

constexpr int OPERAND_COUNT = 6;
constexpr unsigned MOST_JOBS = 1024;

constexpr const char* SYNOPSIS =
    "usage: palette-batch [-j N] [--json] [--compact-palette] [--output-format bmp|png]\n"
    "                     [--report PAGE.html] [--] IN_DIR OUT_DIR RED GREEN BLUE PERCENT\n";
constexpr const char* DESCRIPTION =
    "Translates every .bmp and .png file under IN_DIR (any case, in every folder) as\n"
    "palette-translate would, into the same relative path under OUT_DIR: a bitmap for a\n"
    "bitmap, a PNG for a PNG. Each output appears only when complete; a file that fails\n"
    "leaves no output.\n"
    "  -j N       translate N files at once (default: the number of processors)\n"
    "  --output-format bmp|png\n"
    "             write every output in that format, its name ending in .bmp or .png\n"
    "  --json     end with one JSON document instead of the summary line\n"
    "  --compact-palette\n"
    "             first cut each palette down to the colours its pixels use, so that\n"
    "             pictures drawn in a full 256-colour palette find room; the pictures\n"
    "             themselves stay as they were\n"
    "  --report PAGE.html\n"
    "             after the run, write one page that shows every input beside its\n"
    "             output, with the output palette, and every failure\n"
    "  --version  the release\n"
    "Status: 0 every file translated, 1 some failed, 2 a usage error.\n"
    "Manual: man palette-batch\n";

// A whole positive decimal number up to MOST_JOBS, or 0.
unsigned parse_jobs(std::string_view text) {
  unsigned value = 0;
  if (text.empty()) return 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > MOST_JOBS) return 0;
  }
  return value;
}

// -j N or -jN; *at moves past a separate N.
step_failure take_jobs(int argc, char** argv, int* at, batch_options& options) {
  std::string_view argument = argv[*at];
  std::string_view count = argument.substr(2);
  if (count.empty()) {
    if (*at + 1 >= argc) return usage_failure("-j needs a number of files");
    count = argv[++*at];
  }
  options.jobs = parse_jobs(count);
  if (options.jobs == 0)
    return usage_failure("-j takes a whole number from 1 to " + std::to_string(MOST_JOBS) +
                         ", not \"" + std::string(count) + "\"");
  return std::nullopt;
}

// --output-format FORMAT or --output-format=FORMAT; *at moves past a separate FORMAT.
step_failure take_output_format(int argc, char** argv, int* at, batch_options& options) {
  std::string_view argument = argv[*at];
  std::string_view format_name;
  if (argument == "--output-format") {
    if (*at + 1 >= argc) return usage_failure("--output-format needs bmp or png");
    format_name = argv[++*at];
  } else {
    format_name = argument.substr(std::string_view("--output-format=").size());
  }
  if (format_name == "bmp") {
    options.format = output_format::bmp;
  } else if (format_name == "png") {
    options.format = output_format::png;
  } else {
    return usage_failure("--output-format takes bmp or png, not \"" + std::string(format_name) +
                         "\"");
  }
  return std::nullopt;
}

// --report PAGE or --report=PAGE; *at moves past a separate PAGE.
step_failure take_report(int argc, char** argv, int* at, batch_options& options) {
  std::string_view argument = argv[*at];
  if (argument == "--report") {
    if (*at + 1 >= argc) return usage_failure("--report needs the page to write");
    options.report_page = argv[++*at];
  } else {
    options.report_page = argument.substr(std::string_view("--report=").size());
  }
  if (options.report_page.empty()) return usage_failure("--report needs the page to write");
  // Such a page could take an output's place, or be a later run's input.
  if (has_image_extension(options.report_page))
    return usage_failure("the report page " + visible_name(options.report_page) +
                         " may not end in .bmp or .png");
  return std::nullopt;
}

// The command line as a shell would take it back: words with anything but plain
// characters in single quotes.
std::string quoted_command_line(int argc, char** argv) {
  std::string line;
  for (int i = 0; i < argc; ++i) {
    std::string word = argv[i];
    bool plain = !word.empty() && word.find_first_not_of(
                                      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                      "0123456789-_./=+,:%@") == std::string::npos;
    if (!plain) {
      std::string quoted = "'";
      for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
      word = quoted + "'";
    }
    line += (i == 0 ? "" : " ") + word;
  }
  return line;
}

// Options end at "--" or at the first operand, so that a negative tolerance is a number.
step_failure take_option(int argc, char** argv, int* at, batch_options& options) {
  std::string_view argument = argv[*at];
  if (argument == "--json") {
    options.json = true;
  } else if (argument == "--compact-palette") {
    options.compact_palette = true;
  } else if (argument == "--report" || argument.starts_with("--report=")) {
    return take_report(argc, argv, at, options);
  } else if (argument == "--output-format" || argument.starts_with("--output-format=")) {
    return take_output_format(argc, argv, at, options);
  } else if (argument == "-h" || argument == "--help") {
    options.answer = std::string(SYNOPSIS) + DESCRIPTION;
  } else if (argument == "--version") {
    options.answer = format("palette-batch (%s) %s\n", PRODUCT_NAME, PRODUCT_VERSION);
  } else if (argument.starts_with("-j")) {
    return take_jobs(argc, argv, at, options);
  } else {
    return usage_failure("unknown option " + std::string(argument));
  }
  return std::nullopt;
}

}  // namespace

failure usage_failure(const std::string& problem) {
  return {BATCH_USAGE_ERROR,
          format("palette-batch: %s\n%sMore: palette-batch --help\n", problem.c_str(), SYNOPSIS)};
}

or_failure<batch_options> parse_batch_options(int argc, char** argv) {
  batch_options options;
  int at = 1;
  for (; at < argc; ++at) {
    std::string_view argument = argv[at];
    if (argument == "--") {
      ++at;
      break;
    }
    if (argument.size() < 2 || argument[0] != '-') break;
    if (step_failure wrong = take_option(argc, argv, &at, options)) return {options, wrong};
    if (!options.answer.empty()) return {options, std::nullopt};
  }
  if (argc - at != OPERAND_COUNT)
    return {options, usage_failure("needs IN_DIR OUT_DIR RED GREEN BLUE PERCENT, " +
                                   std::to_string(argc - at) + " given")};
  // Joined with names later: "D:" + "x.bmp" must stay on D:'s current folder.
  options.in_dir = resolved_drive_path(argv[at]);
  options.out_dir = resolved_drive_path(argv[at + 1]);
  if (!options.report_page.empty()) options.report_page = resolved_drive_path(options.report_page);
  options.parameters = parse_parameters(argv + at + 2);
  options.parameters.compact_palette = options.compact_palette;
  options.command_line = quoted_command_line(argc, argv);
  if (options.jobs == 0) options.jobs = processors_available();
  return {options, std::nullopt};
}
