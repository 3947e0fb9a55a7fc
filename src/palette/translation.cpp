#include "palette/translation.h"

#include <algorithm>

#include "image/assemble.h"
#include "image/bmp_decode.h"
#include "image/bmp_true_colour.h"
#include "image/byte_order.h"
#include "image/compaction.h"
#include "image/input_checks.h"
#include "image/palette_entry.h"
#include "image/png_chunks.h"
#include "image/png_layout.h"
#include "image/png_read.h"
#include "image/png_write.h"
#include "image/used_colors.h"
#include "near_background.h"
#include "pixel_kernels.h"
#include "pixel_transform.h"
#include "row_ranges.h"
#include "slot_placement.h"

namespace {

// Streamed rows go a band of about this many bytes at a time (whole rows, at least one): it
// stays in the cache between its read, its pass and its write.
constexpr std::uint32_t STREAMED_BAND_BYTES = std::uint32_t{1} << 20;

std::uint32_t rows_per_band(const bmp_header& header) {
  return std::max<std::uint32_t>(1, STREAMED_BAND_BYTES / header.stride);
}

// The caller's cuts where they fit the rows, else as many even ranges as the picture's
// size and the processors allow; streamed rows, cut into their bands.
std::vector<std::uint32_t> row_cuts_for(const translation_memory& memory, const bmp_header& header,
                                        bool streamed) {
  if (streamed) {
    std::vector<std::uint32_t> cuts;
    std::uint32_t band = rows_per_band(header);
    for (std::uint32_t cut = band; cut < header.rows; cut += band) cuts.push_back(cut);
    return cuts;
  }
  if (memory.row_cuts.empty()) {
    std::uint64_t pixels = std::uint64_t{header.stride} * header.rows;
    return even_row_cuts(header.rows, threads_for_picture(pixels, memory.processors));
  }
  std::vector<std::uint32_t> cuts;
  for (std::uint32_t cut : memory.row_cuts) {
    if (cut > 0 && cut < header.rows && (cuts.empty() || cut > cuts.back())) cuts.push_back(cut);
  }
  return cuts;
}

// Memory for a decoded form's 8-bit rows, which become the image's input; decoding may
// want a block larger than the rows.
bool take_equivalent(const translation_memory& memory, std::int32_t length, work_image& image,
                     std::int32_t block) {
  std::uint8_t* equivalent = memory.allocate(block);
  image.input_bytes = equivalent;
  image.file_size = length;
  return equivalent != nullptr;
}

// Whether the memory gives the rows a band at a time both ways.
bool streams(const translation_memory& memory) {
  return memory.read_part && memory.write_part && !memory.tally &&
         rows_streamed(memory.file, memory.file_size, memory.processors);
}

// Streamed rows: only the head is held, and one band.
refusal take_band(const translation_memory& memory, work_image& image) {
  image.file_size = static_cast<std::int32_t>(FILE_HEAD_SIZE);
  std::uint32_t rows = std::min(rows_per_band(image.header), image.header.rows);
  image.streamed.band = memory.allocate(static_cast<std::int32_t>(rows * image.header.stride));
  if (image.streamed.band == nullptr) return refusal::out_of_memory;
  image.streamed.read = &memory.read_part;
  image.streamed.write = &memory.write_part;
  return refusal::none;
}

// A bitmap: 8-bit uncompressed in place, any other form into its 8-bit equivalent.
refusal load_bitmap_rows(const translation_memory& memory, bool streamed, work_image& image,
                         translation_report& report) {
  auto size = static_cast<std::int32_t>(memory.file_size);
  if (size < static_cast<std::int32_t>(bmp::CORE_HEADERS_SIZE)) return refusal::too_short;
  refusal fault = read_bmp_header(memory.file, size, report.header);
  if (fault != refusal::none) return fault;
  image.input_bytes = memory.file;
  image.file_size = size;
  image.header = report.header;
  if (report.header.in_place) return streamed ? take_band(memory, image) : refusal::none;
  std::int32_t length = equivalent_size(report.header);
  if (!take_equivalent(memory, length, image, length)) return refusal::out_of_memory;
  stored_file file{memory.file, static_cast<std::uint64_t>(size),
                   memory.read_part ? &memory.read_part : nullptr};
  fault = write_bitmap_equivalent(file, report.header, image.input_bytes, image.input_alpha);
  image.header = equivalent_header(report.header);
  return fault;
}

// A PNG into its 8-bit equivalent, with its alphas.
refusal load_png_rows(const translation_memory& memory, work_image& image,
                      translation_report& report) {
  report.form = file_form::png;
  refusal fault =
      read_png_header(memory.file, static_cast<std::size_t>(memory.file_size), report.png);
  if (fault != refusal::none) return fault;
  if (!take_equivalent(memory, png_equivalent_size(report.png), image, png_decode_size(report.png)))
    return refusal::out_of_memory;
  fault = write_png_equivalent(report.png, image.input_bytes);
  if (fault != refusal::none) return fault;
  image.header = png_equivalent_header(report.png);
  image.input_alpha = report.png.alpha;
  return refusal::none;
}

bool starts_as_bitmap(const translation_memory& memory) {
  return memory.file_size < 2 || (memory.file[0] == 'B' && memory.file[1] == 'M');
}

// The header is read once; a decoded form's equivalent comes with its header made.
translation_report load_rows(const translation_memory& memory, work_image& image) {
  translation_report report = check_file_size(memory.file_size);
  if (!report.done()) return report;
  // Only its head is held: anything but a true-colour bitmap would be read past it.
  bool streamed = streams(memory);
  if (memory.read_part && !rows_read_in_bands(memory.file, memory.file_size) && !streamed) {
    report.refused = refusal::read_failed;
    return report;
  }
  if (looks_like_png(memory.file, static_cast<std::size_t>(memory.file_size)))
    report.refused = load_png_rows(memory, image, report);
  else if (starts_as_bitmap(memory))
    report.refused = load_bitmap_rows(memory, streamed, image, report);
  else
    report.refused = refusal::not_an_image;
  if (!report.done()) return report;
  image.output_prefix = memory.prefix;
  image.row_cuts = row_cuts_for(memory, image.header, rows_are_streamed(image));
  report.loaded = true;
  return report;
}

}  // namespace

bool compacted_by_form(const translation_report& report) {
  return report.form == file_form::png && report.png.color_type == png::GRAYSCALE &&
         report.png.depth == 8;
}

bool is_true_colour(const translation_report& report) {
  return report.form == file_form::png ? is_true_colour(report.png) : is_true_colour(report.header);
}

std::uint32_t true_colour_count(const translation_report& report) {
  return report.form == file_form::png ? report.png.colours : report.header.colours;
}

translation_report check_file_size(std::int64_t file_size) {
  translation_report report;
  report.refused = check_input_size(file_size);
  return report;
}

static_assert(FILE_HEAD_SIZE >= static_cast<std::int64_t>(bmp::ALPHA_MASK_FIELD + 4));

namespace {

// The header of a bitmap bigger than its head, read from the head alone.
bool read_head_header(const std::uint8_t* head, std::int64_t file_size, bmp_header& header) {
  if (file_size <= FILE_HEAD_SIZE || !check_file_size(file_size).done()) return false;
  if (head[0] != 'B' || head[1] != 'M') return false;
  // The header's fields all lie within the head; the size only bounds offsets.
  return read_bmp_header(head, static_cast<std::int32_t>(file_size), header) == refusal::none;
}

}  // namespace

bool rows_read_in_bands(const std::uint8_t* head, std::int64_t file_size) {
  bmp_header header;
  return read_head_header(head, file_size, header) && !header.in_place && is_true_colour(header);
}

bool rows_streamed(const std::uint8_t* head, std::int64_t file_size, unsigned processors) {
  bmp_header header;
  if (processors != 1 || !read_head_header(head, file_size, header) || !header.in_place)
    return false;
  // Everything the translation reads but the rows, the palette and the first pixel, lies
  // within the head.
  return header.palette_offset + bmp::PALETTE_SIZE <= FILE_HEAD_SIZE &&
         header.pixel_offset < FILE_HEAD_SIZE;
}

eight_bit_form read_eight_bit_form(const std::vector<std::uint8_t>& file) {
  eight_bit_form form;
  std::vector<std::uint8_t> bytes = file;
  std::uint8_t prefix[bmp::OUTPUT_PIXEL_OFFSET];
  work_image image;
  translation_report report = load_rows(memory_in_vectors(bytes, prefix, form.bytes), image);
  form.refused = report.refused;
  if (!report.done()) return form;
  form.header = image.header;
  form.alpha = image.input_alpha;
  if (report.form == file_form::bmp && report.header.in_place) form.bytes = std::move(bytes);
  // Without the room that decoding took past the rows.
  form.bytes.resize(static_cast<std::size_t>(image.file_size));
  return form;
}

refusal output_in_blocks(const work_image& image, bool as_png, unsigned threads,
                         std::vector<std::uint8_t>& png, output_blocks& blocks) {
  if (as_png) {
    refusal refused = png_output(image, threads, png);
    blocks = {png.data(), refused == refusal::none ? png.size() : 0, nullptr, 0};
    return refused;
  }
  // Streamed rows are written already.
  auto pixel_length = rows_are_streamed(image) ? std::size_t{0}
                                               : static_cast<std::size_t>(output_length(image)) -
                                                     bmp::OUTPUT_PIXEL_OFFSET;
  blocks = {image.output_prefix, bmp::OUTPUT_PIXEL_OFFSET, image.output_pixels, pixel_length};
  return refusal::none;
}

namespace {

// The used count, the room check, the prefix and the clamp. Without the counts, a guessed
// used count is taken as it stands, to be checked by the pixel pass (image.pixel_limit).
void settle_used_count(translation_report& report, work_image& image) {
  bool known = image.census.known;
  report.guessed = used_count_guessed(image) ? palette_guess(image) : 0;
  report.counted =
      count_used_colors(image, known ? highest_value(picture_counts(image)) : std::nullopt);
  report.used_count = report.counted;
  report.refused = check_palette_room(report.counted);
  if (!report.done()) return;
  image.used_count = static_cast<int>(report.counted);
  bool assumed = report.guessed != 0 && !known;
  image.pixel_limit = assumed ? image.used_count - 1 : bmp::PALETTE_ENTRIES;
  assemble_prefix(image);
  clamp_index_map(image);
}

// Whether the settled used count or the slot table to come needs the counts it lacks.
bool counts_needed(const work_image& image, bool may_assume) {
  if (image.census.known) return false;
  bool assumed = image.pixel_limit < bmp::PALETTE_ENTRIES;
  // A first pixel at or above the limit breaks the guess at once.
  if (assumed && (!may_assume || first_input_pixel(image) >= image.pixel_limit)) return true;
  return held_entries_matter(image);
}

translation_report prepare(const translation_memory& memory,
                           const translation_parameters& parameters, work_image& image,
                           const pixel_kernels& kernels, bool may_assume) {
  translation_report report = load_rows(memory, image);
  if (!report.done()) return report;
  report.compacted = parameters.compact_palette || compacted_by_form(report);
  if (report.compacted) {
    count_rows(image, kernels);
    compact_values(image);
  }
  settle_used_count(report, image);
  if (report.done() && counts_needed(image, may_assume)) {
    count_rows(image, kernels);
    settle_used_count(report, image);
  }
  return report;
}

// The slot table and the near-background decisions, after the prefix and the clamp.
void plan_after_prefix(translation_report& report, const translation_parameters& parameters,
                       work_image& image, pixel_plan& plan) {
  held_entries held = entries_in_use(image);
  report.refused = apply_slot_table(image, held);
  if (!report.done()) return;
  report.used_count = image.used_count;
  report.refused =
      near_background_pass(image, parameters.red_tolerance, parameters.green_tolerance,
                           parameters.blue_tolerance, parameters.background_share, plan);
}

// A band that could not be read or written: whatever the rows it lacked led to, the
// translation is that failure.
translation_report with_streaming_failure(const work_image& image, translation_report report) {
  if (image.streamed.failed != refusal::none) report.refused = image.streamed.failed;
  return report;
}

}  // namespace

translation_report prepare_translation(const translation_memory& memory,
                                       const translation_parameters& parameters, work_image& image,
                                       const pixel_kernels& kernels) {
  return prepare(memory, parameters, image, kernels, false);
}

translation_report plan_translation(const translation_memory& memory,
                                    const translation_parameters& parameters, work_image& image,
                                    pixel_plan& plan, const pixel_kernels& kernels) {
  translation_report report = prepare(memory, parameters, image, kernels, false);
  if (report.done()) plan_after_prefix(report, parameters, image, plan);
  return report;
}

translation_report translate_file(const translation_memory& memory,
                                  const translation_parameters& parameters, work_image& image,
                                  const pixel_kernels& kernels) {
  pixel_plan plan;
  translation_report report = prepare(memory, parameters, image, kernels, true);
  if (report.done()) plan_after_prefix(report, parameters, image, plan);
  near_background_tally* tally = memory.tally ? &report.tally : nullptr;
  bool assumed = image.pixel_limit < bmp::PALETTE_ENTRIES;
  if (report.done() ? transform_pixels(image, plan, kernels, tally) : !assumed)
    return with_streaming_failure(image, report);
  // A refusal made on a guessed used count, or a pixel that breaks the guess: the plan
  // again, from the counts. The pass left the rows as read.
  count_rows(image, kernels);
  settle_used_count(report, image);
  if (report.done()) plan_after_prefix(report, parameters, image, plan);
  if (report.done()) transform_pixels(image, plan, kernels, tally);
  return with_streaming_failure(image, report);
}

picture_palette read_picture_palette(work_image& image, const pixel_kernels& kernels) {
  picture_palette palette;
  for (int k = 0; k < bmp::PALETTE_ENTRIES; ++k) {
    auto entry = static_cast<std::size_t>(k);
    palette.colors[entry] = input_palette_color(image, k);
    palette.alpha[entry] = input_alpha_of(image, entry);
  }
  count_rows(image, kernels);
  palette.pixels = picture_counts(image);
  palette.distinct = count_distinct(palette.pixels);
  palette.first_pixel = first_input_pixel(image);
  palette.stored_first_pixel = input_byte_or_zero(image, image.header.pixel_offset);
  return palette;
}

std::uint32_t stored_file_size_field(const std::vector<std::uint8_t>& file) {
  return read_le32(file.data() + bmp::FILE_SIZE_FIELD);
}

compaction_check check_compaction(const translation_memory& memory,
                                  const translation_parameters& parameters,
                                  const translation_report& plain) {
  compaction_check check;
  bool no_room =
      plain.refused == refusal::palette_full || plain.refused == refusal::no_room_for_grays;
  if (parameters.compact_palette || plain.compacted || !no_room) return check;
  translation_parameters compacted = parameters;
  compacted.compact_palette = true;
  work_image image;
  pixel_plan plan;
  translation_report report = plan_translation(memory, compacted, image, plan);
  check.distinct = image.compaction.distinct;
  if (report.done()) {
    check.advice = plain.refused == refusal::palette_full ? compaction_advice::translates
                                                          : compaction_advice::makes_room_for_grays;
  } else if (report.refused == refusal::no_room_for_grays &&
             plain.refused == refusal::palette_full) {
    check.advice = compaction_advice::translates_at_percentage_0;
  } else {
    check.advice = compaction_advice::does_not_help;
  }
  return check;
}
