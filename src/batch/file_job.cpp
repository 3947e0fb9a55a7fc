#include "batch/file_job.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "tool/messages.h"
#include "tool/text_format.h"
#include "tool/whole_file.h"

namespace {

std::atomic<unsigned> temporary_serial{0};
const long process_id = static_cast<long>(getpid());

std::string failure(const char* action, const std::string& path, int error) {
  return std::string("cannot ") + action + " " + path + ": " + std::strerror(error);
}

std::string parent_of(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Hidden, short whatever the output's name, unique among the workers and processes, and
// without a .bmp ending, so that no later scan takes it for an input.
std::string temporary_path(const std::string& output_path) {
  std::string folder = parent_of(output_path);
  std::string name = format(".palette-batch-%ld-%u.tmp", process_id, temporary_serial.fetch_add(1));
  return folder.empty() ? name : folder + "/" + name;
}

bool names_an_input(const file_job& job) {
  struct stat info {};
  return stat(job.output_path.c_str(), &info) == 0 &&
         job.inputs->count({info.st_dev, info.st_ino}) != 0;
}

std::string translate_file(const file_job& job, job_buffers& buffers, work_image& image) {
  opened_file file;
  std::string error = open_regular_file(job.input_path, file);
  if (!error.empty()) return error;
  translation_report report = check_file_size(file.size);
  if (report.outcome != translation_outcome::done) {
    close_file(file);
    return refusal_reason(report);
  }
  error = read_and_close(file, buffers.input);
  if (!error.empty()) return error;
  image.input_bytes = buffers.input.data();
  image.file_size = static_cast<std::int32_t>(buffers.input.size());
  image.output_prefix = buffers.prefix.data();
  report = translate_loaded(image, *job.parameters, [&](std::int32_t size) {
    buffers.equivalent.resize(static_cast<std::size_t>(size));
    return buffers.equivalent.data();
  });
  return refusal_reason(report);
}

std::string write_output(const file_job& job, const work_image& image, job_buffers& buffers) {
  std::string folder = parent_of(job.output_path);
  if (folder != buffers.folder_made) {
    int error = make_folders(folder);
    if (error != 0) return failure("create the folder", folder, error);
    buffers.folder_made = folder;
  }
  if (names_an_input(job)) return "the output " + job.output_path + " is an input file";
  std::string temporary = temporary_path(job.output_path);
  int handle = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (handle < 0) return failure("create a file in", folder.empty() ? "." : folder, errno);
  auto pixel_length = static_cast<std::size_t>(output_length(image)) - bmp::OUTPUT_PIXEL_OFFSET;
  int error = write_blocks(handle, image.output_prefix, bmp::OUTPUT_PIXEL_OFFSET,
                           image.output_pixels, pixel_length);
  if (close(handle) != 0 && error == 0) error = errno;
  if (error == 0 && rename(temporary.c_str(), job.output_path.c_str()) != 0) error = errno;
  if (error == 0) return "";
  unlink(temporary.c_str());
  return failure("write", job.output_path, error);
}

}  // namespace

std::string run_file_job(const file_job& job, job_buffers& buffers) {
  work_image image;
  std::string reason = translate_file(job, buffers, image);
  return reason.empty() ? write_output(job, image, buffers) : reason;
}

int make_folders(const std::string& folder) {
  if (folder.empty() || mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST) return 0;
  if (errno != ENOENT) return errno;
  int error = make_folders(parent_of(folder));
  if (error != 0) return error;
  if (mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST) return 0;
  return errno;
}
