#pragma once
// The before-and-after page: a card per translated file (the input and the output side by
// side, scaled up with crisp pixels, the output palette as a strip of swatches and what
// the near-background step did) in one HTML file that needs nothing from anywhere else.

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "palette/translation.h"

// What a page shows of one translated file; the one record palette-batch and
// palette-inspect fill for their pages.
struct html_card {
  std::string title;      // as shown: visible_name of the path, or the path relative to IN_DIR
  std::string input_src;  // a relative link (percent-encoded) or a data: URI
  std::string output_src;
  std::int32_t width = 0;  // the picture's size in pixels
  std::uint32_t rows = 0;
  std::array<rgb, 256> palette{};  // the output's
  int used_count = 0;              // after the slot table: the grays, when added, follow it
  bool grays = false;
  near_background_tally tally;
};

// The card of a finished translation, all but its title and pictures' sources.
html_card card_of(const work_image& image, const translation_report& report,
                  const translation_parameters& parameters);

// Text made safe between tags and in attribute values.
std::string html_escape(const std::string& text);

// A relative path as a link: every byte but letters, digits, "-._~" and "/" as %XX, so
// that quotes, ampersands and bytes that are not UTF-8 reach the file they name.
std::string percent_encoded(const std::string& path);

// A link from the page to a file, given as relative_path_from gives it: percent-encoded,
// and a path on another drive ("D:/art/x.bmp") as a file: URL, which a bare "D:" would not
// be (a browser would take it for a scheme or for a name in the page's folder).
std::string file_link(const std::string& path);

// The bytes as a data: URI of the given type.
std::string data_uri(const char* type, const std::vector<std::uint8_t>& bytes);

// The palette strips of one page, each stored once as a style class: the files of one
// game or editor palette mostly share their output palette, and a strip is most of a card.
struct palette_strips {
  std::map<std::string, std::size_t> classes;  // the strip's data: URI -> its number
};

// From <!doctype html> to the start of the body, with the page's style sheet.
std::string html_page_start(const std::string& title);

// The strips' style classes, then the end of the page.
std::string html_page_end(const palette_strips& strips);

std::string html_card_section(const html_card& card, palette_strips& strips);

// "<p>tolerances 40, 40, 40; percentage 30; palette as stored</p>"
std::string html_parameters_line(const translation_parameters& parameters);
