#include "whole_files.h"

#include <fstream>
#include <iterator>
#include <regex>

#include "image/byte_order.h"

std::filesystem::path utf8_path(const std::string& text) {
#ifdef _WIN32
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
#else
  return text;  // the bytes as they are, UTF-8 or not
#endif
}

std::string utf8_of(const std::filesystem::path& path) {
#ifdef _WIN32
  std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
#else
  return path.generic_string();
#endif
}

std::vector<std::uint8_t> read_file(const std::string& path) {
  std::ifstream in(utf8_path(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool write_file(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(utf8_path(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

void patch_le16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
  write_le16(bytes.data() + at, value);
}

void patch_le32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  write_le32(bytes.data() + at, value);
}

std::vector<std::uint8_t> patched32(std::vector<std::uint8_t> bytes, std::size_t at,
                                    std::uint32_t value) {
  patch_le32(bytes, at, value);
  return bytes;
}

int pick(std::mt19937& random, int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(random);
}

std::vector<std::string> attribute_values(const std::string& page, const std::string& name) {
  std::vector<std::string> values;
  std::regex pattern(" " + name + "=\"([^\"]*)\"");
  for (std::sregex_iterator it(page.begin(), page.end(), pattern), end; it != end; ++it)
    values.push_back((*it)[1]);
  return values;
}

std::string percent_decoded(const std::string& link) {
  std::string decoded;
  for (std::size_t i = 0; i < link.size(); ++i) {
    if (link[i] == '%' && i + 2 < link.size()) {
      decoded += static_cast<char>(std::stoi(link.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      decoded += link[i];
    }
  }
  return decoded;
}
