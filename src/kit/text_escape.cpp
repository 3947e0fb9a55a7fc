#include "kit/text_escape.h"

#include "kit/text_format.h"
#include "os/paths.h"

namespace {

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

// The name's raw bytes in hex, for a name JSON cannot hold exactly.
std::string hex_bytes(const std::string& name) {
  std::string text;
  for (char c : name) text += format("%02x", static_cast<unsigned char>(c));
  return text;
}

}  // namespace

bool valid_utf8(const std::string& text) {
  for (std::size_t at = 0; at < text.size();) {
    std::size_t length = utf8_length(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

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
      text += format("\\u%04x", static_cast<unsigned char>(c));
    } else {
      text.append(value, at, length);
    }
    at += length;
  }
  return text + "\"";
}

std::string visible_name(const std::string& name) {
  std::string text;
  for (std::size_t at = 0; at < name.size();) {
    std::size_t length = utf8_length(name, at);
    auto c = static_cast<unsigned char>(name[at]);
    if (length == 0 || c < 0x20 || c == 0x7F) {
      text += format("\\x%02X", c);
      length = 1;
    } else if (c == '\\' && !is_path_separator('\\')) {
      // Doubled where it could be taken for an escape; on Windows it separates folders.
      text += "\\\\";
    } else {
      text.append(name, at, length);
    }
    at += length;
  }
  return text;
}

std::string json_path_member(const std::string& path) {
  std::string text = "\"path\": " + json_string(path);
  if (!valid_utf8(path)) text += ", \"path_hex\": \"" + hex_bytes(path) + "\"";
  return text;
}
