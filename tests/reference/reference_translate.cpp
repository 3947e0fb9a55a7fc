// The reference model as a command with the tool's parameters and statuses, for the
// benchmark: palette-translate-reference IN OUT RED GREEN BLUE PERCENT

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "reference_model.h"
#include "tool/number_parse.h"

int main(int argc, char** argv) {
  if (argc < 7) return -1;
  std::ifstream in(argv[1], std::ios::binary);
  std::vector<std::uint8_t> input{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
  if (!in || check_input_size(static_cast<std::int64_t>(input.size())) != bitmap_fault::none)
    return -2;
  work_image image;
  image.input_bytes = input.data();
  image.file_size = static_cast<std::int32_t>(input.size());
  std::vector<std::uint8_t> equivalent;
  translation_report loaded = load_equivalent(image, [&](std::int32_t size) {
    equivalent.resize(static_cast<std::size_t>(size));
    return equivalent.data();
  });
  if (loaded.outcome != translation_outcome::done) return -2;
  std::vector<std::uint8_t> output(static_cast<std::size_t>(image.file_size) + bmp::OUTPUT_EXTRA);
  image.output_prefix = output.data();
  translation_parameters parameters{parse_number(argv[3]), parse_number(argv[4]),
                                    parse_number(argv[5]),
                                    background_share_of(parse_number(argv[6]))};
  translation_report report = reference_translate(image, parameters);
  if (report.outcome == translation_outcome::palette_full) return -3;
  if (report.outcome != translation_outcome::done) return -2;
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(output.data()), output_length(image));
  return out ? 0 : -1;
}
