#pragma once
// palette-batch's command line: options first, then IN_DIR OUT_DIR RED GREEN BLUE PERCENT.

#include <string>

#include "kit/failure.h"
#include "palette/translation.h"

// The outputs' format: their inputs', or every one in one.
enum class output_format { as_input, bmp, png };

struct batch_options {
  std::string in_dir;
  std::string out_dir;
  translation_parameters parameters;
  unsigned jobs = 0;  // files translated at once; 0 until parsed
  bool json = false;
  bool compact_palette = false;  // into parameters once they are parsed
  output_format format = output_format::as_input;
  std::string report_page;   // --report: the HTML page to write after the run, or ""
  std::string command_line;  // as given, for the report
  std::string answer;        // --help or --version: printed instead of a run
};

// A usage error is a failure with BATCH_USAGE_ERROR, worded for standard error.
or_failure<batch_options> parse_batch_options(int argc, char** argv);

// "palette-batch: PROBLEM", then the usage, as BATCH_USAGE_ERROR.
failure usage_failure(const std::string& problem);
