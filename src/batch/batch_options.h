#pragma once
// palette-batch's command line: options first, then IN_DIR OUT_DIR RED GREEN BLUE PERCENT.

#include <string>

#include "palette/translation.h"

struct batch_options {
  std::string in_dir;
  std::string out_dir;
  translation_parameters parameters;
  unsigned jobs = 0;  // files translated at once; 0 until parsed
  bool json = false;
  bool compact_palette = false;  // into parameters once they are parsed
  std::string report_page;       // --report: the HTML page to write after the run, or ""
  std::string command_line;      // as given, for the report
};

enum class parse_result {
  run,       // options hold a run
  answered,  // --help or --version was printed: end with STATUS_OK
  usage,     // the reason and the usage are on standard error: end with BATCH_USAGE_ERROR
};

parse_result parse_batch_options(int argc, char** argv, batch_options& options);

// Prints "palette-batch: PROBLEM" and the usage to standard error.
void print_usage_error(const std::string& problem);
