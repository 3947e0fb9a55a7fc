#include "kit/html_card.h"

#include <algorithm>
#include <cinttypes>
#include <cstdint>

#include "kit/text_format.h"

namespace {

constexpr const char* STYLE =
    "body{font:14px/1.4 system-ui,sans-serif;margin:1em;background:#eee;color:#222}"
    "h1{font-size:20px}code{word-break:break-all}"
    ".card{display:inline-block;vertical-align:top;background:#fff;border:1px solid #bbb;"
    "margin:0 1em 1em 0;padding:.5em 1em}"
    ".card h2{font-size:14px;margin:.2em 0 .5em;word-break:break-all;max-width:544px}"
    ".pair{display:flex;gap:32px}figure{margin:0}figcaption{color:#555}"
    "img{image-rendering:pixelated;image-rendering:crisp-edges;"
    "background:repeating-conic-gradient(#ccc 0% 25%,#fff 0% 50%) 0 0/16px 16px}"
    ".strip{position:relative;width:544px;height:34px;margin-top:.5em}"
    ".swatches{width:544px;height:16px;background-size:100% 100%;image-rendering:pixelated}"
    ".mark{position:absolute;top:18px;border-top:2px solid #222;font-size:11px;"
    "text-align:center;white-space:nowrap}"
    ".facts{max-width:544px}.failed li{margin:.3em 0}";

// Pictures show at 256 pixels on their longer side at most, scaled by whole factors.
constexpr int SHOWN = 256;

struct shown_size {
  std::int64_t width;
  std::int64_t height;
};

shown_size shown(std::int32_t width, std::uint32_t rows) {
  std::int64_t longer = std::max<std::int64_t>({1, width, std::int64_t{rows}});
  if (longer <= SHOWN) {
    std::int64_t scale = SHOWN / longer;
    return {width * scale, std::int64_t{rows} * scale};
  }
  return {std::max<std::int64_t>(1, width * SHOWN / longer),
          std::max<std::int64_t>(1, std::int64_t{rows} * SHOWN / longer)};
}

std::string picture(const std::string& src, const char* alt, shown_size size, bool link) {
  std::string image = format("<img src=\"%s\" width=\"%" PRId64 "\" height=\"%" PRId64
                             "\" loading=\"lazy\" "
                             "alt=\"%s\">",
                             src.c_str(), size.width, size.height, alt);
  if (!link) return image;
  return "<a href=\"" + src + "\">" + image + "</a>";
}

// A marker under the strip for entries first .. first + count - 1 of `entries`.
std::string mark(const char* kind, const char* label, int first, int count, int entries) {
  return format("<span class=\"mark %s\" style=\"left:%.4f%%;width:%.4f%%\">%s</span>", kind,
                100.0 * first / entries, 100.0 * count / entries, label);
}

// Built forwards, not by inserting: GCC 12 warns falsely (-Wrestrict) on the insert.
std::string with_commas(std::uint64_t value) {
  std::string digits = std::to_string(value);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

}  // namespace

html_card card_of(const work_image& image, const translation_report& report,
                  const translation_parameters& parameters) {
  html_card card;
  card.width = image.header.width;
  card.rows = image.header.rows;
  card.palette = palette_colors(image.output_prefix + bmp::HEADERS_SIZE);
  card.used_count = image.used_count;
  card.grays = near_background_step_on(parameters.background_share);
  card.tally = report.tally;
  return card;
}

std::string html_escape(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&#39;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string percent_encoded(const std::string& path) {
  std::string encoded;
  for (char c : path) {
    auto byte = static_cast<unsigned char>(c);
    bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                 (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                 c == '/';
    encoded += plain ? std::string(1, c) : format("%%%02X", byte);
  }
  return encoded;
}

std::string file_link(const std::string& path) {
  bool on_a_drive = path.size() >= 3 && path[1] == ':' && path[2] == '/' &&
                    ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  if (!on_a_drive) return percent_encoded(path);
  return "file:///" + path.substr(0, 2) + percent_encoded(path.substr(2));
}

std::string data_uri(const char* type, const std::vector<std::uint8_t>& bytes) {
  static constexpr char DIGITS[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text = std::string("data:") + type + ";base64,";
  for (std::size_t at = 0; at < bytes.size(); at += 3) {
    std::uint32_t group = std::uint32_t{bytes[at]} << 16;
    if (at + 1 < bytes.size()) group |= std::uint32_t{bytes[at + 1]} << 8;
    if (at + 2 < bytes.size()) group |= bytes[at + 2];
    text += DIGITS[(group >> 18) & 63];
    text += DIGITS[(group >> 12) & 63];
    text += at + 1 < bytes.size() ? DIGITS[(group >> 6) & 63] : '=';
    text += at + 2 < bytes.size() ? DIGITS[group & 63] : '=';
  }
  return text;
}

std::string html_page_start(const std::string& title) {
  return "<!doctype html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
         html_escape(title) + "</title>\n<style>" + STYLE + "</style>\n</head>\n<body>\n";
}

std::string html_page_end(const palette_strips& strips) {
  std::string text = "<style>\n";
  for (const auto& [uri, number] : strips.classes)
    text += format(".s%zu{background-image:url(", number) + uri + ")}\n";
  return text + "</style>\n</body>\n</html>\n";
}

std::string html_parameters_line(const translation_parameters& parameters) {
  return format("<p>tolerances %d, %d, %d; percentage %.0f; %s</p>\n", parameters.red_tolerance,
                parameters.green_tolerance, parameters.blue_tolerance,
                static_cast<double>(parameters.background_share) * 100.0,
                parameters.compact_palette ? "palette compacted" : "palette as stored");
}

std::string html_card_section(const html_card& card, palette_strips& strips) {
  shown_size size = shown(card.width, card.rows);
  bool linked = card.input_src.rfind("data:", 0) != 0;
  // The strip shows the slots, the used entries and the grays: never fewer than the slots.
  int entries = std::clamp(card.used_count + (card.grays ? GRAY_COUNT : 0), FIXED_SLOTS, 256);
  std::string strip = data_uri("image/bmp", palette_strip_bmp(card.palette, entries));
  std::size_t strip_class = strips.classes.emplace(strip, strips.classes.size()).first->second;
  std::string text = "<section class=\"card\">\n<h2>" + html_escape(card.title) + "</h2>\n";
  text += "<div class=\"pair\">\n<figure>" + picture(card.input_src, "input", size, linked) +
          "<figcaption>before</figcaption></figure>\n";
  text += "<figure>" + picture(card.output_src, "output", size, linked) +
          "<figcaption>after</figcaption></figure>\n</div>\n";
  text += format(
      "<div class=\"strip\"><div class=\"swatches s%zu\" role=\"img\" data-entries=\"%d\" "
      "aria-label=\"output palette, %d entries\"></div>",
      strip_class, entries, entries);
  text += mark("slots", "0&ndash;7", 0, FIXED_SLOTS, entries);
  if (card.grays) text += mark("grays", "grays", card.used_count, GRAY_COUNT, entries);
  text += "</div>\n";
  text += format("<p class=\"facts\">used count %d", card.used_count);
  if (card.grays) {
    text += "; within the tolerances of the background, " + with_commas(card.tally.to_background) +
            " pixels ended as background (its own colour included) and " +
            with_commas(card.tally.to_gray) + " as gray";
  }
  return text + "</p>\n</section>\n";
}
