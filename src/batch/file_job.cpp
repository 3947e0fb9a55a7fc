#include "file_job.h"

#include <atomic>
#include <cerrno>
#include <cinttypes>

#include "kit/exit_status.h"
#include "kit/file_names.h"
#include "kit/input_file.h"
#include "kit/refusal_words.h"
#include "kit/text_format.h"
#include "os/files.h"
#include "os/process.h"

namespace {

std::atomic<unsigned> temporary_serial{0};
const std::int64_t this_process = process_id();

failure file_failed(std::string reason) {
  return {BATCH_SOME_FAILED, std::move(reason)};
}

// Hidden, short whatever the output's name, unique among the workers and processes, and
// without a .bmp ending, so that no later scan takes it for an input.
std::string temporary_path(const std::string& output_path) {
  std::string folder = parent_of(output_path);
  std::string name =
      format(".palette-batch-%" PRId64 "-%u.tmp", this_process, temporary_serial.fetch_add(1));
  return joined_path(folder, name);
}

bool names_an_input(const file_job& job) {
  os_result<file_identity> identity = identity_of_path(job.output_path);
  // An output that is not there yet replaces nothing.
  return identity.ok() && job.inputs->count(identity.value) != 0;
}

// The refusal's text, and the advice where compaction would change the outcome.
std::string reason_with_advice(const translation_memory& memory, const file_job& job,
                               const translation_report& report, compaction_check& compaction) {
  std::string reason = refusal_text(report);
  compaction = check_compaction(memory, *job.parameters, report);
  std::string advice = compaction_advice_text(compaction);
  return advice.empty() ? reason : reason + " (" + advice + ")";
}

or_failure<job_details> translate_input(const file_job& job, job_buffers& buffers,
                                        work_image& image) {
  job_details details;
  or_failure<std::int64_t> read = read_input(job.input_path, buffers.input);
  if (!read.ok()) return {details, file_failed(read.failed->text)};
  translation_report report = check_file_size(read.value);
  if (!report.done()) return {details, file_failed(refusal_text(report))};
  translation_memory memory =
      memory_in_vectors(buffers.input, buffers.prefix.data(), buffers.equivalent);
  // One thread per file: the workers already keep every processor busy.
  memory.processors = 1;
  memory.tally = job.for_report;
  report = translate_file(memory, *job.parameters, image);
  if (report.refused == refusal::too_many_colours) {
    details.too_many_colours = true;
    return {details, file_failed(too_many_colours_fact(report))};
  }
  if (!report.done()) {
    std::string reason = reason_with_advice(memory, job, report, details.compaction);
    return {details, file_failed(std::move(reason))};
  }
  if (job.for_report) details.card = card_of(image, report, *job.parameters);
  return {details, std::nullopt};
}

step_failure write_output(const file_job& job, const work_image& image, job_buffers& buffers) {
  std::string folder = parent_of(job.output_path);
  if (folder != buffers.folder_made) {
    os_status made = make_folders(folder);
    if (!made.ok())
      return file_failed("cannot create the folder " + folder + ": " + made.error->reason);
    buffers.folder_made = folder;
  }
  if (names_an_input(job))
    return file_failed("the output " + job.output_path + " is an input file");
  output_blocks blocks;
  if (refusal refused = output_in_blocks(image, names_png(job.output_path), 1, buffers.png, blocks);
      refused != refusal::none)
    return file_failed(refusal_text(refused, {}, 0));
  return write_through_temporary(job.output_path, blocks.first, blocks.first_length, blocks.second,
                                 blocks.second_length);
}

}  // namespace

step_failure write_through_temporary(const std::string& path, const void* first,
                                     std::size_t first_length, const void* second,
                                     std::size_t second_length) {
  std::string folder = parent_of(path);
  std::string temporary = temporary_path(path);
  os_result<int> handle = create_new_file(temporary);
  // A file left by a run that was killed may hold the name: the next serial is tried.
  for (int tries = 1; !handle.ok() && handle.error->code == EEXIST && tries < 100; ++tries) {
    temporary = temporary_path(path);
    handle = create_new_file(temporary);
  }
  if (!handle.ok())
    return file_failed("cannot create a file in " + (folder.empty() ? "." : folder) + ": " +
                       handle.error->reason);
  os_status written = write_and_close(handle.value, first, first_length, second, second_length);
  if (written.ok()) written = replace_file(temporary, path);
  if (written.ok()) return std::nullopt;
  // The temporary file may be gone already; the failure to report is the write's.
  (void)remove_file(temporary);
  return file_failed("cannot write " + path + ": " + written.error->reason);
}

or_failure<job_details> run_file_job(const file_job& job, job_buffers& buffers) {
  work_image image;
  or_failure<job_details> translated = translate_input(job, buffers, image);
  if (!translated.ok()) return translated;
  if (step_failure written = write_output(job, image, buffers)) return {translated.value, written};
  return translated;
}
