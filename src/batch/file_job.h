#pragma once
// One file of palette-batch: read, translated as palette-translate would, and written to a
// temporary file beside its output that is renamed into place only when complete.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "input_scan.h"
#include "kit/failure.h"
#include "kit/html_card.h"
#include "palette/translation.h"

// What one worker reuses from file to file.
struct job_buffers {
  std::vector<std::uint8_t> input;
  std::vector<std::uint8_t> equivalent;
  std::array<std::uint8_t, bmp::OUTPUT_PIXEL_OFFSET> prefix{};
  std::string folder_made;        // the last output folder made: files come folder by folder
  std::vector<std::uint8_t> png;  // a PNG output
};

struct file_job {
  std::string input_path;
  std::string output_path;
  const translation_parameters* parameters = nullptr;
  const std::set<file_identity>* inputs = nullptr;  // an output may not replace any of them
  bool for_report = false;                          // fill in the card
};

// What a job tells beside its outcome.
struct job_details {
  compaction_check compaction;  // for a file refused for want of room
  html_card card;               // for a translated file, when the job is for_report
  // Refused for more colours than a palette holds: the failure gives only the count, the
  // summary the advice.
  bool too_many_colours = false;
};

// The details once the output is in place; otherwise the failure says why not, in
// palette-translate's words where it has them, followed by what --compact-palette would
// do where the palette lacked room (also in the details). A failure leaves no new file
// and an old output as it was.
or_failure<job_details> run_file_job(const file_job& job, job_buffers& buffers);

// How palette-batch writes every file: the blocks into a hidden temporary file beside
// `path`, renamed into place only when complete. A failure leaves no new file and an old
// one at `path` as it was.
step_failure write_through_temporary(const std::string& path, const void* first,
                                     std::size_t first_length, const void* second,
                                     std::size_t second_length);
