#include "inspect/report.h"

#include <cstdio>

#include "tool/exit_status.h"
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

std::string form_of(const bmp_header& header) {
  std::string kind =
      header.core ? "12-byte core header" : format("%u-byte info header", header.info_size);
  return format("%u bits per pixel, %s, %s", header.bits, compression_name(header.compression),
                kind.c_str());
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
  return text;
}

std::string translation_lines(const inspection& found) {
  std::string text = format("  stride             %u\n", found.stride);
  text += format("  used count         %lld (the catch-all entry included)\n",
                 static_cast<long long>(found.used_count));
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

// The length of the well-formed UTF-8 sequence at `at`, or 0 for a stray byte.
std::size_t utf8_length(const std::string& text, std::size_t at) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  std::size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  }
  // Overlong forms, surrogates and code points past U+10FFFF.
  unsigned char second = byte(at + 1);
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
      (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90))
    return 0;
  return length;
}

bool valid_utf8(const std::string& text) {
  for (std::size_t at = 0; at < text.size();) {
    std::size_t length = utf8_length(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

// A JSON string; bytes that are not UTF-8 become U+FFFD.
std::string json_string(const std::string& value) {
  std::string text = "\"";
  for (std::size_t at = 0; at < value.size();) {
    std::size_t length = utf8_length(value, at);
    char c = value[at];
    if (length == 0) {
      text += "\\ufffd";
      length = 1;
    } else if (c == '"' || c == '\\') {
      text += '\\';
      text += c;
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      text += format("\\u%04x", c);
    } else {
      text.append(value, at, length);
    }
    at += length;
  }
  return text + "\"";
}

// A file name as the terminal should show it: control characters, backslashes and bytes
// that are not UTF-8 written as visible escapes, so no name can move the cursor or
// change colours.
std::string visible_name(const std::string& name) {
  std::string text;
  for (std::size_t at = 0; at < name.size();) {
    std::size_t length = utf8_length(name, at);
    auto c = static_cast<unsigned char>(name[at]);
    if (length == 0 || c < 0x20 || c == 0x7F) {
      text += format("\\x%02X", c);
      length = 1;
    } else if (c == '\\') {
      text += "\\\\";
    } else {
      text.append(name, at, length);
    }
    at += length;
  }
  return text;
}

// The name's raw bytes in hex, for a name JSON cannot hold exactly.
std::string hex_bytes(const std::string& name) {
  std::string text;
  for (char c : name) text += format("%02x", static_cast<unsigned char>(c));
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
  std::string text =
      format(", \"ok\": %s, \"status\": %d", file_ok(file) ? "true" : "false", file_status(file));
  if (file.read_error.empty())
    text += format(", \"verdict\": \"%s\"", verdict_name(file.found.judged()));
  if (!problem.empty()) text += ", \"problem\": " + json_string(problem);
  return text;
}

std::string json_file(const inspected_file& file) {
  const inspection& found = file.found;
  std::string text = "{\"path\": " + json_string(file.path);
  if (!valid_utf8(file.path)) text += ", \"path_hex\": \"" + hex_bytes(file.path) + "\"";
  text += json_verdict(file);
  if (!file.read_error.empty()) return text + "}";
  text += format(", \"file_size\": %lld", static_cast<long long>(found.file_size));
  if (found.has_headers) text += ", " + json_header(found);
  if (!found.measured) return text + "}";
  text += format(", \"stride\": %u, \"used_count\": %lld, \"first_pixel\": %d, ", found.stride,
                 static_cast<long long>(found.used_count), found.first_pixel);
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
                file_status(file));
}

}  // namespace

bool file_ok(const inspected_file& file) {
  return file.read_error.empty() && file.found.usable();
}

int file_status(const inspected_file& file) {
  if (!file.read_error.empty()) return shell_status(STATUS_FAILURE);
  if (file.found.usable()) return STATUS_OK;
  return shell_status(refusal_status(file.found.outcome));
}

std::string problem_of(const inspected_file& file) {
  if (!file.read_error.empty()) return file.read_error;
  std::string message = refusal_message(file.found.outcome);
  return message.empty() ? message : message.substr(1);
}

std::string text_report(const inspected_file& file, bool color) {
  std::string text = visible_name(file.path) + "\n";
  const inspection& found = file.found;
  std::string problem = problem_of(file);
  if (!file.read_error.empty()) return text + "  problem            " + problem + "\n";
  if (found.has_headers) text += header_lines(found);
  if (found.measured) text += translation_lines(found);
  text += verdict_line(file);
  if (!problem.empty()) text += "  problem            " + problem + "\n";
  if (found.measured) text += palette_table(found, color);
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
