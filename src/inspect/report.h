#pragma once
// palette-inspect's output: a table for people, a JSON document for scripts.

#include <optional>
#include <string>
#include <vector>

#include "inspection.h"
#include "kit/failure.h"

struct inspected_file {
  std::string path;
  std::optional<failure> unread;  // why the file could not be read; found is then empty
  inspection found;
};

// Whether palette-translate can translate the file (perhaps only with percentage 0).
bool file_ok(const inspected_file& file);

// The status palette-translate would end with on the file, as it returns it.
int file_status(const inspected_file& file);

// Why the translation could not use the file, or cannot add the grays; "" otherwise.
std::string problem_of(const inspected_file& file);

// For a PNG with one transparent entry whose lower-left pixel is of another colour: that the
// background will be that colour, not the transparent one; "" otherwise.
std::string background_advice(const inspection& found);

// What --compact-palette would do for a file refused for want of room; "" otherwise.
std::string advice_of(const inspected_file& file);

struct report_style {
  bool color = false;        // a true-colour swatch on each palette row
  bool all_entries = false;  // every palette entry, not only those worth a row
  bool alpha = false;        // an alpha column (set for a PNG)
};

// The report for one file.
std::string text_report(const inspected_file& file, const report_style& style);

// One JSON document for all the files.
std::string json_report(const std::vector<inspected_file>& files);

// A page with the file's card: the input and the output palette-translate would write, both
// embedded as data: images, the output palette and what the near-background step did; or,
// for a file it refuses, the reason.
std::string html_report(const inspected_file& file, const std::vector<std::uint8_t>& input,
                        const translated_file& translated,
                        const translation_parameters& parameters);
