#include "inspect/report.h"

#include <cstdio>

#include "tool/messages.h"

namespace {

std::string format(const char* pattern, auto... values) {
  char text[256];
  std::snprintf(text, sizeof text, pattern, values...);
  return text;
}

std::string hex_of(rgb color) {
  return format("#%02X%02X%02X", color.red, color.green, color.blue);
}

const char* orientation(std::int32_t height) {
  return height < 0 ? "top-down" : "bottom-up";
}

std::string header_lines(const inspection& found) {
  std::string text = format("  file size          %lld bytes (size field %u)\n",
                            static_cast<long long>(found.file_size), found.size_field);
  text += format("  width              %d\n", found.width);
  text += format("  height             %d (%s)\n", found.height, orientation(found.height));
  text += format("  bits per pixel     %u\n", found.bits);
  text += format("  compression        %u\n", found.compression);
  text += format("  colours used       %d\n", found.colors_used);
  text += format("  info header size   %u\n", found.info_size);
  text += format("  pixel data offset  %u\n", found.pixel_offset);
  return text;
}

std::string translation_lines(const inspection& found) {
  std::string text = format("  stride             %u\n", found.stride);
  text +=
      format("  used count         %lld%s\n", static_cast<long long>(found.used_count),
             found.used_count > 255 ? " (the palette is full: the translation would stop)" : "");
  text += format("  first pixel        %d\n", found.first_pixel);
  return text;
}

std::string swatch(rgb color) {
  return format("\x1b[48;2;%u;%u;%um    \x1b[0m  ", color.red, color.green, color.blue);
}

std::string palette_table(const inspection& found, bool color) {
  std::string text = color ? "  index  swatch  red green blue  hex       pixels  role\n"
                           : "  index  red green blue  hex       pixels  role\n";
  for (std::size_t k = 0; k < found.palette.size(); ++k) {
    const palette_row& row = found.palette[k];
    text += format("  %5zu  ", k);
    if (color) text += swatch(row.color);
    text += format("%3u %5u %4u  %s %8llu  %s", row.color.red, row.color.green, row.color.blue,
                   hex_of(row.color).c_str(), static_cast<unsigned long long>(row.pixels),
                   row.role.c_str());
    while (!text.empty() && text.back() == ' ') text.pop_back();
    text += '\n';
  }
  return text;
}

std::string json_string(const std::string& value) {
  std::string text = "\"";
  for (char c : value) {
    if (c == '"' || c == '\\') {
      text += '\\';
      text += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      text += format("\\u%04x", c);
    } else {
      text += c;
    }
  }
  return text + "\"";
}

std::string json_header(const inspection& found) {
  return format(
      "\"header\": {\"size_field\": %u, \"pixel_offset\": %u, \"info_size\": %u, \"width\": %d, "
      "\"height\": %d, "
      "\"top_down\": %s, \"bits\": %u, \"compression\": %u, \"colors_used\": %d}",
      found.size_field, found.pixel_offset, found.info_size, found.width, found.height,
      found.height < 0 ? "true" : "false", found.bits, found.compression, found.colors_used);
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
    text += "\"role\": " + (row.role.empty() ? std::string("null") : json_string(row.role)) + "}";
  }
  return text + "]";
}

std::string json_file(const inspected_file& file) {
  const inspection& found = file.found;
  std::string text = "{\"path\": " + json_string(file.path);
  std::string problem = problem_of(file);
  text += format(", \"ok\": %s", problem.empty() ? "true" : "false");
  if (!problem.empty()) text += ", \"problem\": " + json_string(problem);
  if (!file.read_error.empty()) return text + "}";
  text += format(", \"file_size\": %lld", static_cast<long long>(found.file_size));
  if (found.has_headers) text += ", " + json_header(found);
  if (!found.usable()) return text + "}";
  text += format(", \"stride\": %u, \"used_count\": %lld, \"first_pixel\": %d, ", found.stride,
                 static_cast<long long>(found.used_count), found.first_pixel);
  return text + json_palette(found) + "}";
}

}  // namespace

std::string problem_of(const inspected_file& file) {
  if (!file.read_error.empty()) return file.read_error;
  const inspection& found = file.found;
  if (found.has_headers && !found.supported) {
    return format("not an uncompressed 8-bit bitmap (%u bits per pixel, compression %u)",
                  found.bits, found.compression);
  }
  if (found.fault != bitmap_fault::none) return std::string(fault_message(found.fault) + 1);
  return "";
}

std::string text_report(const inspected_file& file, bool color) {
  std::string text = file.path + "\n";
  const inspection& found = file.found;
  if (file.read_error.empty() && found.has_headers) text += header_lines(found);
  std::string problem = problem_of(file);
  if (!problem.empty()) return text + "  problem            " + problem + "\n";
  return text + translation_lines(found) + palette_table(found, color);
}

std::string json_report(const std::vector<inspected_file>& files) {
  std::string text = "{\"files\": [";
  for (std::size_t i = 0; i < files.size(); ++i) {
    text += i == 0 ? "\n  " : ",\n  ";
    text += json_file(files[i]);
  }
  return text + "\n]}\n";
}
