#pragma once
// The translation of one loaded file, from the size check to the finished output: the one
// pipeline every command, the benchmark and the reference model's driver run. It reports
// what it refused; the caller decides what to print.
//
//   check_file_size      the size limits, before anything is read or allocated
//   prepare_translation  + one header parse, a decoded form into its 8-bit equivalent, the
//                        values compacted when asked, the used count and the room check,
//                        the prefix assembled, the clamp
//   plan_translation     + the slot table and the near-background decisions: everything
//                        but the pixel rows, which palette-inspect stops before
//   translate_file       + the one pass over the rows, in place
//
// The rows are counted where a rule needs to know the pixels: where the used count comes
// from the palette guess (it keeps every value a pixel uses), and where the slot table can
// reach an entry a swap moved (it never writes over one in use). translate_file alone may
// take the guess as it stands where nothing else needs the counts, and has the pixel pass
// check it as it goes, so that the commonest pictures are read once.

#include <cstdint>
#include <functional>
#include <vector>

#include "image/bmp_header.h"
#include "image/file_part.h"
#include "image/palette_strip.h"
#include "image/png_header.h"
#include "image/refusal.h"
#include "image/value_counts.h"
#include "image/work_image.h"
#include "palette/gray_ramp.h"
#include "palette/pixel_plan.h"
#include "palette/slot_table.h"

// The pixel kernels a translation runs on: the best this processor has, unless a test or
// the benchmark names others.
struct pixel_kernels;
const pixel_kernels& best_kernels();
// The name of that tier ("avx512", "simd128", "portable" ...), for --version.
const char* best_tier_name();

struct translation_parameters {
  int red_tolerance = 0;
  int green_tolerance = 0;
  int blue_tolerance = 0;
  float background_share = 0.0f;
  // --compact-palette: the picture taken with only the palette values its pixels use.
  bool compact_palette = false;
};

enum class file_form { bmp, png };

// What a translation found, as far as it got.
struct translation_report {
  refusal refused = refusal::none;
  file_form form = file_form::bmp;
  bmp_header header;            // a bitmap's own, as far as it was read: what a refusal names
  png_header png;               // a PNG's chunks, as far as they were read
  bool loaded = false;          // the header was usable and the image describes the rows
  std::int64_t counted = 0;     // the used-count rule's count, the catch-all included
  std::int64_t guessed = 0;     // the palette's guess where the rule took it, else 0
  std::int64_t used_count = 0;  // where it stopped: at the room check, or after the slot table
  near_background_tally tally;  // when the memory asked for it
  // Taken with only the palette values its pixels use: asked for, or an 8-bit grayscale
  // PNG, whose palette of 256 grays nobody chose.
  bool compacted = false;
  bool done() const { return refused == refusal::none; }
};

// Gives a buffer of `size` bytes, for a decoded form's 8-bit equivalent, or null when it
// has none: the translation then refuses the file as out_of_memory.
using allocate_bytes = std::function<std::uint8_t*(std::int32_t size)>;

// An allocate_bytes that resizes the buffer, for callers that keep their memory in vectors.
inline allocate_bytes allocate_in(std::vector<std::uint8_t>& buffer) {
  return [&buffer](std::int32_t size) {
    buffer.resize(static_cast<std::size_t>(size));
    return buffer.data();
  };
}

// What a caller that reads its file in parts loads first. Where these bytes show a
// true-colour bitmap (rows_read_in_bands), they are all it need hold: the rows are read
// through translation_memory::read_part a band at a time, so that a big picture costs its
// 8-bit rows and no copy of the file.
constexpr std::int64_t FILE_HEAD_SIZE = 4096;

// The caller's memory for one translation; it must outlive the image.
struct translation_memory {
  std::uint8_t* file = nullptr;    // the loaded file, whose rows become the output's rows
  std::int64_t file_size = 0;      // of the whole file
  std::uint8_t* prefix = nullptr;  // OUTPUT_PIXEL_OFFSET bytes for the output's headers
  allocate_bytes allocate;
  // The processors the pixel pass may use; a big picture's rows are cut into that many
  // ranges at most (threads_for_picture decides).
  unsigned processors = 1;
  // For tests: where the row ranges start instead (see work_image::row_cuts).
  std::vector<std::uint32_t> row_cuts;
  // Count what the near-background step did into the report's tally: one more count.
  bool tally = false;
  // Set only where `file` holds just the first FILE_HEAD_SIZE bytes of a file for which
  // rows_read_in_bands or (with write_part) rows_streamed holds; any other file is then
  // refused as read_failed.
  read_file_part read_part = {};
  // Where the output is a bitmap: its rows' way out. A file for which rows_streamed holds
  // is then translated a band at a time, each band written at its place in the output file
  // as it is done, and the output's blocks are its prefix alone; a failed write is refused
  // as write_failed. Without the tally only: that counts the output's rows afterwards.
  write_file_part write_part = {};
};

// The memory of a caller that keeps the loaded file and the decoded equivalent in vectors.
inline translation_memory memory_in_vectors(std::vector<std::uint8_t>& file, std::uint8_t* prefix,
                                            std::vector<std::uint8_t>& equivalent) {
  translation_memory memory;
  memory.file = file.data();
  memory.file_size = static_cast<std::int64_t>(file.size());
  memory.prefix = prefix;
  memory.allocate = allocate_in(equivalent);
  return memory;
}

translation_report check_file_size(std::int64_t file_size);

// Whether a file of `file_size` bytes, whose first FILE_HEAD_SIZE bytes `head` holds, is a
// true-colour bitmap that translates with only those bytes held.
bool rows_read_in_bands(const std::uint8_t* head, std::int64_t file_size);

// Whether a file of `file_size` bytes, whose first FILE_HEAD_SIZE bytes `head` holds, is an
// 8-bit bitmap that translates a band of rows at a time with only those bytes held: on one
// processor the pixel pass loses nothing by it, and the file never needs to be in memory.
bool rows_streamed(const std::uint8_t* head, std::int64_t file_size, unsigned processors);

// The most colours a true-colour picture may hold and still translate with the grays: the
// catch-all, the three markers and four placeholders the slot table adds (where none of
// them is in the picture) and the seven grays must all fit beside them.
constexpr int MOST_TRUE_COLOURS = MAX_USED_FOR_GRAYS - 1 - (FIXED_SLOTS - 1);
static_assert(MOST_TRUE_COLOURS == 240);

// An 8-bit grayscale PNG: always taken as compacted, as if --compact-palette were given.
bool compacted_by_form(const translation_report& report);

// Colours stored whole (a true-colour PNG or bitmap), which U numbers.
bool is_true_colour(const translation_report& report);

// A true-colour picture's distinct colours, once decoded (257: more than 256).
std::uint32_t true_colour_count(const translation_report& report);

// A file as the translation reads it, before any of its rules: the file itself when it is
// 8-bit uncompressed, else its decoded 8-bit equivalent; with the header of those bytes.
struct eight_bit_form {
  refusal refused = refusal::none;
  bmp_header header;
  std::vector<std::uint8_t> bytes;
  std::array<std::uint8_t, bmp::PALETTE_ENTRIES> alpha = opaque();  // of each palette entry
};

eight_bit_form read_eight_bit_form(const std::vector<std::uint8_t>& file);

translation_report prepare_translation(const translation_memory& memory,
                                       const translation_parameters& parameters, work_image& image,
                                       const pixel_kernels& kernels = best_kernels());

// The pixel rows are left as read; they are counted where the used count or the slot table
// needs them.
translation_report plan_translation(const translation_memory& memory,
                                    const translation_parameters& parameters, work_image& image,
                                    pixel_plan& plan,
                                    const pixel_kernels& kernels = best_kernels());

// When done, image.output_prefix and image.output_pixels hold the output, output_length
// bytes in all; the output's rows are the loaded file's own, transformed in place.
translation_report translate_file(const translation_memory& memory,
                                  const translation_parameters& parameters, work_image& image,
                                  const pixel_kernels& kernels = best_kernels());

// The output file of a done translation, as the commands write it: a bitmap in two blocks,
// the prefix and the rows, which are written where they lie; or a PNG, made whole into
// `png` (the first block then, the second empty).
struct output_blocks {
  const std::uint8_t* first = nullptr;
  std::size_t first_length = 0;
  const std::uint8_t* second = nullptr;
  std::size_t second_length = 0;
};

// The blocks of the output in either form; out_of_memory where a PNG found none. The
// blocks point into the image and into `png`, which must outlive them.
refusal output_in_blocks(const work_image& image, bool as_png, unsigned threads,
                         std::vector<std::uint8_t>& png, output_blocks& blocks);

// A planned picture's palette as a report shows it, as the translation reads it (by rank
// when compacted). Before the pixel pass only: the rows are counted first if they are not
// yet, and the pass changes them.
struct picture_palette {
  std::array<rgb, bmp::PALETTE_ENTRIES> colors{};
  std::array<std::uint8_t, bmp::PALETTE_ENTRIES> alpha{};
  value_counts pixels{};                // how many of the picture's pixels hold each value
  int distinct = 0;                     // the values at least one pixel holds
  std::uint8_t first_pixel = 0;         // the first stored pixel's value, as translated
  std::uint8_t stored_first_pixel = 0;  // the file's own byte there (0 past its end)
};

picture_palette read_picture_palette(work_image& image,
                                     const pixel_kernels& kernels = best_kernels());

// The file-size field of a bitmap's file header, as stored; the file holds at least the
// 26 bytes of a core header.
std::uint32_t stored_file_size_field(const std::vector<std::uint8_t>& file);

// What --compact-palette would do for a file that the plain translation refused for want
// of palette room: refused as palette-full, or with no room for the gray ramp.
enum class compaction_advice {
  none,                        // the file was not refused for room, or was already compacted
  translates,                  // the compacted translation is done
  translates_at_percentage_0,  // palette-full, but compacted only the grays lack room
  makes_room_for_grays,        // no room for the grays, and compacted there is
  does_not_help,
};

struct compaction_check {
  compaction_advice advice = compaction_advice::none;
  int distinct = 0;  // the values the picture's pixels use
};

// Plans the compacted translation of a file that `plain` refused for room; the loaded file
// must be as it was read (a refused translation leaves it so).
compaction_check check_compaction(const translation_memory& memory,
                                  const translation_parameters& parameters,
                                  const translation_report& plain);
