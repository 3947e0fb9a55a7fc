#include "batch/file_job.h"

#include <algorithm>
#include <atomic>

#include "kit/text_format.h"
#include "os/files.h"
#include "os/process.h"
#include "palette/near_background.h"

namespace {

std::atomic<unsigned> temporary_serial{0};
const long this_process = process_id();

bool failed(std::string* err, std::string reason) {
  *err = std::move(reason);
  return false;
}

// Hidden, short whatever the output's name, unique among the workers and processes, and
// without a .bmp ending, so that no later scan takes it for an input.
std::string temporary_path(const std::string& output_path) {
  std::string folder = parent_of(output_path);
  std::string name =
      format(".palette-batch-%ld-%u.tmp", this_process, temporary_serial.fetch_add(1));
  return folder.empty() ? name : folder + "/" + name;
}

bool names_an_input(const file_job& job) {
  file_identity identity;
  return identity_of_path(job.output_path, identity) && job.inputs->count(identity) != 0;
}

// The refusal's text, and the advice where compaction would change the outcome.
std::string reason_with_advice(const translation_memory& memory, const file_job& job,
                               const translation_report& report, compaction_check* compaction) {
  std::string reason = refusal_text(report);
  *compaction = check_compaction(memory, *job.parameters, report);
  std::string advice = compaction_advice_text(*compaction);
  return advice.empty() ? reason : reason + " (" + advice + ")";
}

file_card card_of(const work_image& image, const translation_report& report, float share) {
  file_card card;
  card.width = image.header.width;
  card.rows = image.header.rows;
  std::copy_n(image.output_prefix + bmp::HEADERS_SIZE, bmp::PALETTE_SIZE, card.palette.begin());
  card.used_count = image.used_count;
  card.grays = near_background_step_on(share);
  card.tally = report.tally;
  return card;
}

bool translate_input(const file_job& job, job_buffers& buffers, work_image& image, std::string* err,
                     job_details* details) {
  opened_file file;
  if (!open_regular_file(job.input_path, file, err)) return false;
  translation_report report = check_file_size(file.size);
  if (!report.done()) {
    close_file(file);
    return failed(err, refusal_text(report));
  }
  if (!read_and_close(file, buffers.input, err)) return false;
  translation_memory memory =
      memory_in_vectors(buffers.input, buffers.prefix.data(), buffers.equivalent);
  // One thread per file: the workers already keep every processor busy.
  memory.processors = 1;
  memory.tally = job.for_report;
  report = translate_file(memory, *job.parameters, image);
  if (!report.done())
    return failed(err, reason_with_advice(memory, job, report, &details->compaction));
  if (job.for_report) details->card = card_of(image, report, job.parameters->background_share);
  return true;
}

bool write_output(const file_job& job, const work_image& image, job_buffers& buffers,
                  std::string* err) {
  std::string folder = parent_of(job.output_path);
  std::string reason;
  if (folder != buffers.folder_made) {
    if (!make_folders(folder, &reason))
      return failed(err, "cannot create the folder " + folder + ": " + reason);
    buffers.folder_made = folder;
  }
  if (names_an_input(job))
    return failed(err, "the output " + job.output_path + " is an input file");
  auto pixel_length = static_cast<std::size_t>(output_length(image)) - bmp::OUTPUT_PIXEL_OFFSET;
  return write_through_temporary(job.output_path, image.output_prefix, bmp::OUTPUT_PIXEL_OFFSET,
                                 image.output_pixels, pixel_length, err);
}

}  // namespace

bool write_through_temporary(const std::string& path, const void* first, std::size_t first_length,
                             const void* second, std::size_t second_length, std::string* err) {
  std::string folder = parent_of(path);
  std::string temporary = temporary_path(path);
  std::string reason;
  int handle = create_new_file(temporary, &reason);
  if (handle < 0)
    return failed(err,
                  "cannot create a file in " + (folder.empty() ? "." : folder) + ": " + reason);
  if (write_and_close(handle, first, first_length, second, second_length, &reason) &&
      replace_file(temporary, path, &reason))
    return true;
  remove_file(temporary);
  return failed(err, "cannot write " + path + ": " + reason);
}

bool run_file_job(const file_job& job, job_buffers& buffers, std::string* err,
                  job_details* details) {
  work_image image;
  return translate_input(job, buffers, image, err, details) &&
         write_output(job, image, buffers, err);
}
