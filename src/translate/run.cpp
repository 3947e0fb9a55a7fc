#include "run.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

#include "checked_io.h"
#include "kit/exit_status.h"
#include "kit/file_names.h"
#include "kit/guarded_run.h"
#include "kit/number_parse.h"
#include "kit/refusal_words.h"
#include "kit/text_escape.h"
#include "kit/text_format.h"
#include "kit/version.h"
#include "load_bitmap.h"
#include "os/file_identity.h"
#include "os/process.h"
#include "palette/translation.h"

namespace {

constexpr int PARAMETER_COUNT = 6;
constexpr std::string_view COMPACT_OPTION = "--compact-palette";

constexpr const char* BANNER =
    "\n\n" PRODUCT_NAME_TEXT ". Ver." PRODUCT_VERSION_TEXT " (May 24 2003)";
constexpr const char* INSUFFICIENT_PARAMETERS = "\nInsufficient parameters.";
constexpr const char* USAGE =
    "\n\nusage: palette-translate [--compact-palette] INPUT OUTPUT RED GREEN BLUE PERCENT\n"
    "Reads a palette bitmap, or a palette or grayscale PNG, or a true-colour PNG or\n"
    "bitmap of at most 256 colours (each colour an entry, in the order they first\n"
    "appear from the lower-left pixel), moves the background colour to palette index 0\n"
    "and the marker colours into their fixed slots, and writes the\n"
    "result as an 8-bit bitmap, or as a palette PNG where OUTPUT ends in .png (its\n"
    "transparency kept). With PERCENT above 0, pixels whose colour lies within RED,\n"
    "GREEN and BLUE of the background become background or one of seven grays, PERCENT\n"
    "percent of them background.\n"
    "With --compact-palette (only as the first parameter), the palette is first cut\n"
    "down to the colours the pixels use, so that a picture drawn in a full 256-colour\n"
    "palette finds room; the picture itself stays as it was.\n"
    "Status: 0 written; 255 too few parameters or a file or memory failure; 254 an input\n"
    "it cannot translate; 253 the palette is full.\n"
    "Manual: man palette-translate\n";

// A run that went to its end: what it prints after the banner (nothing for a translation).
using run_end = or_failure<std::string>;

run_end finished(std::string text = "") {
  return {std::move(text), std::nullopt};
}

// Only a run with exactly one parameter can ask for help or the release: the banner,
// already printed, is the release.
std::optional<std::string> answer_to(std::string_view request) {
  if (request == "--help" || request == "-h") return USAGE;
  if (request == "--version") return "\n";
  return std::nullopt;
}

failure refused(const translation_report& report) {
  std::string text = refusal_text(report);
  return {refusal_status(report.refused), text.empty() ? text : "\n" + text};
}

failure same_file(const char* path) {
  return {STATUS_FAILURE, format("\nThe output path \"%s\" names the input file; nothing was "
                                 "written.",
                                 path)};
}

// The memory of the one translation a process makes, the input and a decoded form's 8-bit
// rows taken through the checked allocation and given back at the run's end; a failure
// there is kept for the run to print.
struct run_memory {
  std::uint8_t prefix[bmp::OUTPUT_PIXEL_OFFSET] = {};
  step_failure allocation;
  step_failure reading;  // of a band of rows
  step_failure writing;  // of a band of streamed rows
  translation_memory memory;
  std::vector<std::unique_ptr<void, decltype(&std::free)>> blocks;

  std::uint8_t* take(or_failure<void*> block) {
    if (block.ok()) blocks.emplace_back(block.value, &std::free);
    allocation = block.failed;
    return static_cast<std::uint8_t*>(block.value);
  }
};

// The output's bytes: the prefix and the rows of a bitmap, or a PNG built from them.
run_end write_output(int output, const work_image& image, bool png, unsigned processors) {
  std::vector<std::uint8_t> bytes;
  output_blocks blocks;
  translation_report report;
  report.refused = output_in_blocks(image, png, processors, bytes, blocks);
  if (!report.done()) return {"", refused(report)};
  // The checked calls count in int: a PNG past 2 GiB (incompressible rows at the input
  // size limit) reaches them as a negative length, which fails as a write.
  or_failure<int> written =
      checked_seek_write_pair(output, blocks.first, static_cast<int>(blocks.first_length),
                              blocks.second, static_cast<int>(blocks.second_length), 0);
  if (!written.ok()) return {"", written.failed};
  // The bytes are written; a failure the system reports only at the close is not checked,
  // as the tool never has.
  (void)close_handle(output);
  return finished();
}

run_end translate_loaded(run_memory& held, int input, int output, bool png,
                         const translation_parameters& parameters, work_image& image) {
  or_failure<translation_report> loaded = load_bitmap(input, held.memory, held.reading);
  if (!loaded.ok()) return {"", loaded.failed};
  if (held.memory.file != nullptr) held.blocks.emplace_back(held.memory.file, &std::free);
  translation_report report = loaded.value;
  if (report.done()) report = translate_file(held.memory, parameters, image);
  // Rows read in bands are all read now.
  if (held.memory.read_part) (void)close_handle(input);
  if (report.refused == refusal::out_of_memory && held.allocation) return {"", held.allocation};
  if (report.refused == refusal::read_failed && held.reading) return {"", held.reading};
  if (report.refused == refusal::write_failed && held.writing) return {"", held.writing};
  if (!report.done()) return {"", refused(report)};
  // A decoded form was translated in its own rows, so the file is read for good: given
  // back now, it does not add to the memory the output is built in.
  if (image.input_bytes != held.memory.file) {
    for (auto& block : held.blocks)
      if (block.get() == held.memory.file) block.reset();
  }
  return write_output(output, image, png, held.memory.processors);
}

run_end translate(int input, int output, const char* output_path,
                  const translation_parameters& parameters) {
  run_memory held;
  held.memory.prefix = held.prefix;
  held.memory.allocate = [&held](std::int32_t size) { return held.take(checked_alloc(size)); };
  held.memory.processors = processors_available();
  bool png = names_png(output_path);
  // A bitmap's rows may go out as they are done (rows_streamed).
  if (!png) {
    held.memory.write_part = [output, &held](std::uint64_t offset, const std::uint8_t* from,
                                             std::uint32_t length) {
      held.writing = checked_seek_write(output, from, static_cast<std::int64_t>(offset),
                                        static_cast<int>(length))
                         .failed;
      return !held.writing;
    };
  }
  work_image image;
  run_end end = translate_loaded(held, input, output, png, parameters, image);
  // Rows streamed out are in the output already: a run that fails leaves it cut, as it was
  // when opened.
  if (!end.ok() && rows_are_streamed(image))
    (void)checked_truncate(output, output_path, OPEN_OUTPUT_MODE);
  return end;
}

run_end run_steps(int argc, char** argv) {
  if (argc == 2) {
    if (std::optional<std::string> answer = answer_to(argv[1])) return finished(*answer);
  }
  // The option counts only in first place: anywhere else it is a file name or a number.
  bool compact = argc > 1 && argv[1] == COMPACT_OPTION;
  if (compact) {
    --argc;
    ++argv;
  }
  if (argc < PARAMETER_COUNT + 1) return {"", failure{STATUS_FAILURE, INSUFFICIENT_PARAMETERS}};
  or_failure<int> input = checked_open(argv[1], OPEN_INPUT_MODE);
  if (!input.ok()) return {"", input.failed};
  // Said before the output is opened, so also when the input may not be opened for writing.
  os_result<bool> named = names_open_file(input.value, argv[2]);
  if (!named.ok() || named.value) return {"", same_file(argv[2])};
  or_failure<int> output = open_output(input.value, argv[2]);
  if (!output.ok()) return {"", output.failed};
  translation_parameters parameters = parse_parameters(argv + 3);
  parameters.compact_palette = compact;
  return translate(input.value, output.value, argv[2], parameters);
}

}  // namespace

or_failure<int> open_output(int input, const char* path) {
  or_failure<int> output = checked_open(path, OPEN_OUTPUT_MODE);
  if (!output.ok()) return output;
  // A file system without locks still gets its output. A wait is said, once, so that a
  // run held by another program's lock does not look hung.
  os_result<bool> locked = lock_at_once(output.value);
  if (locked.ok() && !locked.value) {
    (void)write_text(standard_stream::error, "palette-translate: " + visible_name(path) +
                                                 " is locked by another program; waiting for it\n");
    (void)lock_exclusively(output.value);
  }
  os_result<bool> same = same_open_file(input, output.value);
  // Where it cannot be told, the output is not cut: it may be the input. Closed, so that its
  // lock leaves the input.
  if (!same.ok() || same.value) {
    (void)close_handle(output.value);
    return {-1, same_file(path)};
  }
  if (step_failure cut = checked_truncate(output.value, path, OPEN_OUTPUT_MODE)) return {-1, cut};
  return output;
}

int run_translation(int argc, char** argv) {
  prepare_process();
  // The banner and the message only tell what happened: the status and the output file
  // are the run's result, whether or not standard output takes them.
  (void)write_text(standard_stream::output, BANNER);
  // Said as the refusals are, after the banner; an output already cut stays empty.
  run_end end = guarded([&] { return run_steps(argc, argv); },
                        [](const std::string& reason) {
                          return run_end{"", failure{STATUS_FAILURE, "\n" + reason}};
                        });
  if (!end.ok()) return print_failure(*end.failed);
  (void)write_text(standard_stream::output, end.value);
  return STATUS_OK;
}
