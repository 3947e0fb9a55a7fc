#include "report.h"

#include "kit/exit_status.h"
#include "kit/html_card.h"
#include "kit/refusal_words.h"
#include "kit/text_escape.h"
#include "kit/text_format.h"

namespace {

constexpr auto FIXED_SLOT_COUNT = static_cast<std::size_t>(FIXED_SLOTS);

std::string hex_of(rgb color) {
  return format("#%02X%02X%02X", color.red, color.green, color.blue);
}

const char* orientation(std::int32_t height) {
  return height < 0 ? "top-down" : "bottom-up";
}

// ", 37 colours" once a true-colour picture's pixels were counted, else "".
std::string colours_of(bool true_colour, std::uint32_t colours) {
  if (!true_colour || colours == 0) return "";
  return ", " + colour_count(colours) + (colours == 1 ? " colour" : " colours");
}

std::string form_of(const bmp_header& header) {
  std::string kind =
      header.core ? "12-byte core header" : format("%u-byte info header", header.info_size);
  return format("%u bits per pixel, %s, %s", header.bits, compression_name(header.compression),
                kind.c_str()) +
         colours_of(is_true_colour(header), header.colours);
}

std::string header_lines(const inspection& found) {
  const bmp_header& header = found.header;
  std::string text = format("  file size          %lld bytes (size field %u)\n",
                            static_cast<long long>(found.file_size), found.size_field);
  text += format("  form               %s\n", form_of(header).c_str());
  text += format("  width              %d\n", header.width);
  text += format("  height             %d (%s)\n", header.height, orientation(header.height));
  text += format("  bits per pixel     %u\n", header.bits);
  text += format("  compression        %u\n", header.compression);
  text += format("  colours used       %d\n", header.colors_used);
  text += format("  info header size   %u\n", header.info_size);
  text += format("  pixel data offset  %u\n", header.pixel_offset);
  if (header.compression == bmp::COMPRESSION_BITFIELDS && header.masks[0] != 0)
    text += "  masks              " + mask_list(header) + "\n";
  return text;
}

// "PNG, palette, 4 bits, interlaced"
std::string png_form_of(const png_header& png) {
  if (png.width == 0) return "PNG";
  return format("PNG, %s, %u bit%s%s", png_color_type_name(png.color_type), png.depth,
                png.depth == 1 ? "" : "s", png.interlace != 0 ? ", interlaced" : "") +
         colours_of(is_true_colour(png), png.colours);
}

// "0, 5 and 7", or "none"
std::string transparent_list(const png_header& png) {
  std::vector<std::size_t> entries;
  for (std::size_t k = 0; k < png.alpha.size(); ++k) {
    if (png.alpha[k] == 0) entries.push_back(k);
  }
  if (entries.empty()) return "none";
  std::string text;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i > 0) text += i + 1 == entries.size() ? " and " : ", ";
    text += std::to_string(entries[i]);
  }
  return text;
}

// What a PNG's chunks hold, as far as they were read.
std::string png_lines(const inspection& found) {
  const png_header& png = found.png;
  std::string text =
      format("  file size          %lld bytes\n", static_cast<long long>(found.file_size));
  text += format("  form               %s\n", png_form_of(png).c_str());
  if (png.width == 0) return text;
  text += format("  width              %u\n", png.width);
  text += format("  height             %u\n", png.height);
  text +=
      format("  colour type        %u (%s)\n", png.color_type, png_color_type_name(png.color_type));
  text += format("  bit depth          %u\n", png.depth);
  text += format("  interlace          %s\n", png.interlace != 0 ? "Adam7" : "none");
  if (compacted_by_form(found.outcome))
    text += "  gray levels        256, taken as the grays its pixels use (always compacted)\n";
  else if (is_true_colour(png))
    text +=
        "  palette            its colours, in the order they first appear from the "
        "lower-left pixel\n";
  else if (png.entries != 0)
    text += format("  %s    %u\n", png.color_type == 0 ? "gray levels    " : "palette entries",
                   png.entries);
  text += format("  transparent        %s\n", transparent_list(png).c_str());
  return text;
}

std::string translation_lines(const inspection& found) {
  std::string text = format("  stride             %u\n", found.stride);
  text += format("  used count         %lld", static_cast<long long>(found.used_count));
  if (found.guessed_used_count != 0)
    text += format(", raised from %lld by the pixels",
                   static_cast<long long>(found.guessed_used_count));
  text += " (the catch-all entry included)\n";
  text += format("  first pixel        %d\n", found.first_pixel);
  text += format("  distinct values    %d", found.distinct_values);
  if (found.compacted && found.distinct_values > 0)
    text += format(" (compacted into entries 0 to %d)", found.distinct_values - 1);
  else if (found.compacted)
    text += " (compacted)";
  return text + "\n";
}

std::string swatch(rgb color) {
  return format("\x1b[48;2;%u;%u;%um    \x1b[0m  ", color.red, color.green, color.blue);
}

std::string palette_row_line(std::size_t k, const palette_row& row, const report_style& style) {
  std::string shown = style.color ? swatch(row.color) : std::string();
  std::string alpha = style.alpha ? format(" %5u", row.alpha) : std::string();
  std::string text =
      format("  %5zu  %s%3u %5u %4u%s  %s %8llu  %s", k, shown.c_str(), row.color.red,
             row.color.green, row.color.blue, alpha.c_str(), hex_of(row.color).c_str(),
             static_cast<unsigned long long>(row.pixels), row.role.c_str());
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text + '\n';
}

// The rows a reader needs: those in use, the fixed slots, any with a role or with pixels.
bool worth_a_row(const inspection& found, std::size_t k) {
  const palette_row& row = found.palette[k];
  return static_cast<std::int64_t>(k) < found.used_count || k < FIXED_SLOT_COUNT ||
         !row.role.empty() || row.pixels != 0;
}

// One line for a stretch of rows left out: all of them unused, most often all black.
std::string skipped_rows_line(const inspection& found, std::size_t first, std::size_t end) {
  rgb color = found.palette[first].color;
  bool one_color = true;
  for (std::size_t k = first; k < end; ++k)
    one_color = one_color && found.palette[k].color == color;
  std::size_t count = end - first;
  std::string what = one_color ? format("(%u,%u,%u)", color.red, color.green, color.blue)
                               : std::string("of several colours");
  return format("  \u2026 %zu entries %s, no pixels\n", count, what.c_str());
}

std::string palette_table(const inspection& found, const report_style& style) {
  // A PNG's entries show their alphas.
  report_style shown = style;
  shown.alpha = found.form == file_form::png;
  std::string text = format("  index  %sred green blue%s  hex       pixels  role\n",
                            shown.color ? "swatch  " : "", shown.alpha ? " alpha" : "");
  for (std::size_t k = 0; k < found.palette.size();) {
    if (style.all_entries || worth_a_row(found, k)) {
      text += palette_row_line(k, found.palette[k], shown);
      ++k;
      continue;
    }
    std::size_t end = k + 1;
    while (end < found.palette.size() && !worth_a_row(found, end)) ++end;
    // A line for one entry would save nothing: the row itself is shown.
    text += end == k + 1 ? palette_row_line(k, found.palette[k], shown)
                         : skipped_rows_line(found, k, end);
    k = end;
  }
  return text;
}

std::string json_header(const inspection& found) {
  const bmp_header& header = found.header;
  return format(
      "\"header\": {\"size_field\": %u, \"pixel_offset\": %u, \"info_size\": %u, "
      "\"core_header\": %s, \"width\": %d, \"height\": %d, \"top_down\": %s, \"bits\": %u, "
      "\"compression\": %u, \"colors_used\": %d}",
      found.size_field, header.pixel_offset, header.info_size, header.core ? "true" : "false",
      header.width, header.height, header.height < 0 ? "true" : "false", header.bits,
      header.compression, header.colors_used);
}

std::string json_palette(const inspection& found) {
  std::string text = "\"palette\": [";
  for (std::size_t k = 0; k < found.palette.size(); ++k) {
    const palette_row& row = found.palette[k];
    text += format(
        "%s\n    {\"index\": %zu, \"red\": %u, \"green\": %u, \"blue\": %u, \"hex\": \"%s\", "
        "\"pixels\": %llu, ",
        k == 0 ? "" : ",", k, row.color.red, row.color.green, row.color.blue,
        hex_of(row.color).c_str(), static_cast<unsigned long long>(row.pixels));
    if (found.form == file_form::png) text += format("\"alpha\": %u, ", row.alpha);
    text += "\"role\": " + (row.role.empty() ? std::string("null") : json_string(row.role)) + "}";
  }
  return text + "]";
}

const char* verdict_name(verdict judged) {
  switch (judged) {
    case verdict::usable:
      return "usable";
    case verdict::usable_without_grays:
      return "usable_without_grays";
    case verdict::refused:
      break;
  }
  return "refused";
}

std::string json_verdict(const inspected_file& file) {
  std::string problem = problem_of(file);
  std::string text = format(", \"ok\": %s, \"status\": %d", file_ok(file) ? "true" : "false",
                            shell_status(file_status(file)));
  if (!file.unread) text += format(", \"verdict\": \"%s\"", verdict_name(file.found.judged()));
  if (!problem.empty()) text += ", \"problem\": " + json_string(problem);
  compaction_advice advice = file.found.compaction.advice;
  if (!file.unread && advice != compaction_advice::none)
    text += format(", \"compact_palette\": \"%s\"", compaction_advice_name(advice));
  return text;
}

std::string json_png(const png_header& png) {
  std::string transparent;
  for (std::size_t k = 0; k < png.alpha.size(); ++k) {
    if (png.alpha[k] == 0) transparent += (transparent.empty() ? "" : ", ") + std::to_string(k);
  }
  return format(
      "\"png\": {\"color_type\": %u, \"bit_depth\": %u, \"interlaced\": %s, \"palette_entries\": "
      "%u, \"transparent_entries\": [%s]}",
      png.color_type, png.depth, png.interlace != 0 ? "true" : "false", png.entries,
      transparent.c_str());
}

std::string json_file(const inspected_file& file) {
  const inspection& found = file.found;
  // Appended, not "{" + ...: GCC 12 warns falsely (-Wrestrict) on that form.
  std::string text = "{";
  text += json_path_member(file.path);
  text += json_verdict(file);
  if (file.unread) return text + "}";
  text +=
      format(", \"file_size\": %lld, \"format\": \"%s\"", static_cast<long long>(found.file_size),
             found.form == file_form::png ? "png" : "bmp");
  if (found.has_headers) text += ", " + json_header(found);
  if (found.form == file_form::png && found.png.width != 0) text += ", " + json_png(found.png);
  // The count, or null where it passed 256; not there before the pixels were read.
  if (std::uint32_t colours = true_colour_count(found.outcome);
      is_true_colour(found.outcome) && colours != 0)
    text += colours > bmp::OUTPUT_COLORS_USED ? std::string(", \"colours\": null")
                                              : format(", \"colours\": %u", colours);
  if (std::string advice = background_advice(found); !advice.empty())
    text += ", \"background_advice\": " + json_string(advice);
  if (!found.measured) return text + "}";
  text += format(", \"stride\": %u, \"used_count\": %lld, ", found.stride,
                 static_cast<long long>(found.used_count));
  if (found.guessed_used_count != 0)
    text += format("\"used_count_raised_from\": %lld, ",
                   static_cast<long long>(found.guessed_used_count));
  text += format("\"first_pixel\": %d, ", found.first_pixel);
  text += format("\"distinct_values\": %d, ", found.distinct_values);
  if (found.compacted) text += "\"compacted\": true, ";
  return text + json_palette(found) + "}";
}

std::string verdict_line(const inspected_file& file) {
  switch (file.found.judged()) {
    case verdict::usable:
      return "  verdict            usable\n";
    case verdict::usable_without_grays:
      return "  verdict            usable only with percentage 0\n";
    case verdict::refused:
      break;
  }
  return format("  verdict            refused: palette-translate would exit with %d\n",
                shell_status(file_status(file)));
}

}  // namespace

bool file_ok(const inspected_file& file) {
  return !file.unread && file.found.usable();
}

int file_status(const inspected_file& file) {
  if (file.unread) return file.unread->status;
  if (file.found.usable()) return STATUS_OK;
  return refusal_status(file.found.outcome.refused);
}

std::string problem_of(const inspected_file& file) {
  if (file.unread) return file.unread->text;
  return refusal_text(file.found.outcome);
}

std::string background_advice(const inspection& found) {
  if (found.transparent_entry < 0) return "";
  rgb color = found.png.palette[static_cast<std::size_t>(found.background_entry)];
  return format(
      "the background will be the lower-left pixel's colour, entry %d (%u,%u,%u), not the "
      "transparent entry %d",
      found.background_entry, color.red, color.green, color.blue, found.transparent_entry);
}

std::string advice_of(const inspected_file& file) {
  if (file.unread) return "";
  return compaction_advice_text(file.found.compaction);
}

std::string text_report(const inspected_file& file, const report_style& style) {
  std::string text = visible_name(file.path) + "\n";
  const inspection& found = file.found;
  std::string problem = problem_of(file);
  if (file.unread) return text + "  problem            " + problem + "\n";
  if (found.form == file_form::png) text += png_lines(found);
  if (found.has_headers) text += header_lines(found);
  if (found.measured) text += translation_lines(found);
  text += verdict_line(file);
  if (!problem.empty()) text += "  problem            " + problem + "\n";
  if (std::string advice = advice_of(file); !advice.empty())
    text += "  advice             " + advice + "\n";
  if (std::string advice = background_advice(found); !advice.empty())
    text += "  advice             " + advice + "\n";
  if (found.measured) text += palette_table(found, style);
  return text;
}

std::string json_report(const std::vector<inspected_file>& files) {
  std::string text = "{\"files\": [";
  for (std::size_t i = 0; i < files.size(); ++i) {
    text += i == 0 ? "\n  " : ",\n  ";
    text += json_file(files[i]);
  }
  return text + "\n]}\n";
}

std::string html_report(const inspected_file& file, const std::vector<std::uint8_t>& input,
                        const translated_file& translated,
                        const translation_parameters& parameters) {
  std::string name = visible_name(file.path);
  std::string text = html_page_start(name + " - palette-inspect");
  text += html_parameters_line(parameters);
  if (!translated.report.done() || file.unread) {
    std::string problem = file.unread ? file.unread->text : refusal_text(translated.report);
    text += "<section class=\"failed\">\n<h2>" + html_escape(name) + "</h2>\n<p>" +
            html_escape(problem) + "</p>\n";
    if (std::string advice = advice_of(file); !advice.empty())
      text += "<p>" + html_escape(advice) + "</p>\n";
    return text + "</section>\n" + html_page_end({});
  }
  html_card card = translated.card;
  card.title = name;
  const char* type = translated.png ? "image/png" : "image/bmp";
  card.input_src = data_uri(type, input);
  card.output_src = data_uri(type, translated.output);
  palette_strips strips;
  text += html_card_section(card, strips);
  return text + html_page_end(strips);
}
