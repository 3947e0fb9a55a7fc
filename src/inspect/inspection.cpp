#include "inspection.h"

#include <algorithm>

namespace {

const char* slot_role(int slot) {
  switch (slot) {
    case 1:
      return "marker (255,150,255)";
    case 4:
      return "marker magenta";
    case 5:
      return "marker yellow";
    default:
      return "placeholder";
  }
}

void mark_fixed_slots(inspection& found) {
  if (found.first_pixel == 0) found.palette[0].role = "background";
  for (const slot_step& step : SLOT_TABLE) {
    if (step.source.kind == source_kind::background) continue;
    palette_row& row = found.palette[static_cast<std::size_t>(step.slot)];
    if (row.color == step.color) row.role = slot_role(step.slot);
  }
}

bool ramp_starts_at(const inspection& found, std::size_t start) {
  for (std::size_t i = 0; i < gray_ramp.size(); ++i) {
    auto level = static_cast<std::uint8_t>(gray_ramp[i]);
    if (found.palette[start + i].color != rgb{level, level, level}) return false;
  }
  return true;
}

void mark_gray_ramp(inspection& found) {
  for (std::size_t start = 0; start + gray_ramp.size() <= found.palette.size(); ++start) {
    if (!ramp_starts_at(found, start)) continue;
    for (std::size_t i = 0; i < gray_ramp.size(); ++i) {
      found.palette[start + i].role = "gray ramp " + std::to_string(gray_ramp[i]);
    }
    return;
  }
}

// Compacted, the palette and the counts are the ranks'.
void read_palette_and_pixels(const picture_palette& read, inspection& found) {
  for (std::size_t k = 0; k < found.palette.size(); ++k) {
    found.palette[k].color = read.colors[k];
    found.palette[k].alpha = read.alpha[k];
    found.palette[k].pixels = read.pixels[k];
  }
  found.distinct_values = read.distinct;
}

// A PNG's one transparent entry does not become the background: the lower-left pixel's
// entry does, whatever its alpha.
void note_transparent_background(const picture_palette& read, inspection& found) {
  if (found.form != file_form::png || found.png.transparent != 1) return;
  auto transparent = static_cast<int>(std::find(found.png.alpha.begin(), found.png.alpha.end(), 0) -
                                      found.png.alpha.begin());
  int first = read.stored_first_pixel;
  if (first == transparent) return;
  found.transparent_entry = transparent;
  found.background_entry = first;
}

// The smallest parameters that turn the near-background step on: the grays must fit.
constexpr translation_parameters WITH_GRAYS{1, 1, 1, 0.01f};

translation_parameters with_grays(bool compact) {
  translation_parameters parameters = WITH_GRAYS;
  parameters.compact_palette = compact;
  return parameters;
}

}  // namespace

verdict inspection::judged() const {
  if (outcome.done()) return verdict::usable;
  if (outcome.refused == refusal::no_room_for_grays) return verdict::usable_without_grays;
  return verdict::refused;
}

inspection inspect_size(std::int64_t file_size) {
  inspection found;
  found.file_size = file_size;
  found.outcome = check_file_size(file_size);
  return found;
}

// The translation runs up to the pixel rows, which it leaves as they are, as the tool
// would; the report is drawn from what it found.
inspection inspect_bitmap(std::vector<std::uint8_t> file, bool compact) {
  inspection found = inspect_size(static_cast<std::int64_t>(file.size()));
  if (!found.outcome.done()) return found;
  std::uint8_t prefix[bmp::OUTPUT_PIXEL_OFFSET];
  std::vector<std::uint8_t> equivalent;
  translation_memory memory = memory_in_vectors(file, prefix, equivalent);
  work_image image;
  pixel_plan plan;
  found.outcome = plan_translation(memory, with_grays(compact), image, plan);
  found.outcome.png.data.clear();
  found.form = found.outcome.form;
  found.header = found.outcome.header;
  found.png = found.outcome.png;
  found.has_headers = found.form == file_form::bmp && file.size() >= bmp::CORE_HEADERS_SIZE &&
                      found.outcome.refused != refusal::not_an_image;
  if (found.has_headers) found.size_field = stored_file_size_field(file);
  if (!found.outcome.loaded) return found;
  found.measured = true;
  found.stride = image.header.stride;
  found.used_count = found.outcome.counted;
  if (found.outcome.guessed != 0 && found.outcome.guessed < found.used_count)
    found.guessed_used_count = found.outcome.guessed;
  picture_palette read = read_picture_palette(image);
  found.first_pixel = read.first_pixel;
  found.compacted = compact || found.outcome.compacted;
  read_palette_and_pixels(read, found);
  mark_fixed_slots(found);
  mark_gray_ramp(found);
  note_transparent_background(read, found);
  // Last: it plans again in the same memory, which the image points into.
  found.compaction = check_compaction(memory, with_grays(compact), found.outcome);
  return found;
}

translated_file translate_in_memory(std::vector<std::uint8_t> file,
                                    const translation_parameters& parameters) {
  translated_file translated;
  std::uint8_t prefix[bmp::OUTPUT_PIXEL_OFFSET];
  std::vector<std::uint8_t> equivalent;
  translation_memory memory = memory_in_vectors(file, prefix, equivalent);
  memory.tally = true;
  work_image image;
  translated.report = check_file_size(memory.file_size);
  if (translated.report.done()) translated.report = translate_file(memory, parameters, image);
  if (!translated.report.done()) return translated;
  // A PNG comes out as a PNG, with its transparency.
  translated.png = translated.report.form == file_form::png;
  std::vector<std::uint8_t> png;
  output_blocks blocks;
  translated.report.refused =
      output_in_blocks(image, translated.png, memory.processors, png, blocks);
  translated.output.assign(blocks.first, blocks.first + blocks.first_length);
  if (blocks.second_length > 0)
    translated.output.insert(translated.output.end(), blocks.second,
                             blocks.second + blocks.second_length);
  translated.card = card_of(image, translated.report, parameters);
  return translated;
}
