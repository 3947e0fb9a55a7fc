#include "translate/run.h"

#include <cstdio>
#include <string_view>

#include "bitmap/work_image.h"
#include "kit/exit_status.h"
#include "kit/number_parse.h"
#include "kit/version.h"
#include "os/file_identity.h"
#include "os/process.h"
#include "palette/translation.h"
#include "translate/checked_io.h"
#include "translate/load_bitmap.h"

namespace {

constexpr int PARAMETER_COUNT = 6;
constexpr std::string_view COMPACT_OPTION = "--compact-palette";

constexpr const char* BANNER =
    "\n\n" PRODUCT_NAME_TEXT ". Ver." PRODUCT_VERSION_TEXT " (May 24 2003)";
constexpr const char* INSUFFICIENT_PARAMETERS = "\nInsufficient parameters.";
constexpr const char* USAGE =
    "\n\nusage: palette-translate [--compact-palette] INPUT.bmp OUTPUT.bmp\n"
    "                         RED GREEN BLUE PERCENT\n"
    "Moves the background colour to palette index 0 and the marker colours into their\n"
    "fixed slots, and writes the result as an 8-bit bitmap. With PERCENT above 0, pixels\n"
    "whose colour lies within RED, GREEN and BLUE of the background become background\n"
    "or one of seven grays, PERCENT percent of them background.\n"
    "With --compact-palette (only as the first parameter), the palette is first cut\n"
    "down to the colours the pixels use, so that a picture drawn in a full 256-colour\n"
    "palette finds room; the picture itself stays as it was.\n"
    "Status: 0 written; 255 too few parameters or a file or memory failure; 254 an input\n"
    "it cannot translate; 253 the palette is full.\n"
    "Manual: man palette-translate\n";
constexpr const char* SAME_FILE =
    "\nThe output path \"%s\" names the input file; nothing was written.";

// Only a run with exactly one parameter can ask for help or the release: the banner,
// already printed, is the release.
int answer_request(const char* argument) {
  std::string_view request = argument;
  if (request == "--help" || request == "-h") {
    std::fputs(USAGE, stdout);
    return STATUS_OK;
  }
  if (request == "--version") {
    std::fputs("\n", stdout);
    return STATUS_OK;
  }
  return STATUS_FAILURE;
}

int refuse(const translation_report& report) {
  std::string text = refusal_text(report);
  if (!text.empty()) std::printf("\n%s", text.c_str());
  return refusal_status(report.refused);
}

std::uint8_t* allocate_equivalent(std::int32_t size) {
  return static_cast<std::uint8_t*>(checked_alloc(size));
}

int translate(int input, int output, const translation_parameters& parameters) {
  // Alive until the process ends, as the checked wrappers may end it at any point.
  static work_image image;
  static std::uint8_t prefix[bmp::OUTPUT_PIXEL_OFFSET];
  static translation_memory memory;
  memory.prefix = prefix;
  memory.allocate = allocate_equivalent;
  memory.processors = processors_available();
  translation_report report = load_bitmap(input, memory);
  if (report.done()) report = translate_file(memory, parameters, image);
  if (!report.done()) return refuse(report);
  int pixel_length = output_length(image) - static_cast<int>(bmp::OUTPUT_PIXEL_OFFSET);
  checked_seek_write_pair(output, image.output_prefix, bmp::OUTPUT_PIXEL_OFFSET,
                          image.output_pixels, pixel_length, 0);
  close_handle(output);
  return STATUS_OK;
}

int refuse_same_file(const char* path) {
  std::printf(SAME_FILE, path);
  return STATUS_FAILURE;
}

// The output is opened without truncation and locked; only once the opened file is known
// not to be the input is it cut. A name swapped between the checks cannot reach the input.
int open_output(int input, const char* path) {
  int output = checked_open(path, OPEN_OUTPUT_MODE);
  lock_exclusively(output);
  if (same_open_file(input, output)) return -1;
  checked_truncate(output, path, OPEN_OUTPUT_MODE);
  return output;
}

}  // namespace

int run_translation(int argc, char** argv) {
  prepare_process();
  std::fputs(BANNER, stdout);
  if (argc == 2 && answer_request(argv[1]) == STATUS_OK) return STATUS_OK;
  // The option counts only in first place: anywhere else it is a file name or a number.
  bool compact = argc > 1 && argv[1] == COMPACT_OPTION;
  if (compact) {
    --argc;
    ++argv;
  }
  if (argc < PARAMETER_COUNT + 1) {
    std::fputs(INSUFFICIENT_PARAMETERS, stdout);
    return STATUS_FAILURE;
  }
  int input = checked_open(argv[1], OPEN_INPUT_MODE);
  // Said before the output is opened, so also when the input may not be opened for writing.
  if (names_open_file(input, argv[2])) return refuse_same_file(argv[2]);
  int output = open_output(input, argv[2]);
  if (output < 0) return refuse_same_file(argv[2]);
  translation_parameters parameters = parse_parameters(argv + 3);
  parameters.compact_palette = compact;
  return translate(input, output, parameters);
}
