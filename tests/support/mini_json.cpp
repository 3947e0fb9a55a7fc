#include "mini_json.h"

#include <cstdlib>

namespace {

struct parser {
  const std::string& text;
  std::size_t at = 0;
  bool failed = false;

  void skip_space() {
    while (at < text.size() &&
           (text[at] == ' ' || text[at] == '\n' || text[at] == '\t' || text[at] == '\r'))
      ++at;
  }
  bool take(char c) {
    skip_space();
    if (at < text.size() && text[at] == c) return ++at, true;
    return false;
  }
  bool take_word(const std::string& word) {
    if (text.compare(at, word.size(), word) != 0) return false;
    at += word.size();
    return true;
  }
  std::string string_body() {
    std::string out;
    while (at < text.size() && text[at] != '"') {
      char c = text[at++];
      if (c != '\\') {
        out += c;
      } else if (at < text.size() && text[at] == 'u') {
        out += static_cast<char>(std::strtol(text.substr(at + 1, 4).c_str(), nullptr, 16));
        at += 5;
      } else if (at < text.size()) {
        out += text[at++];
      }
    }
    if (at >= text.size()) failed = true;
    ++at;
    return out;
  }
  json_value value();
  json_value array() {
    json_value v;
    v.type = json_value::kind::array;
    if (take(']')) return v;
    do v.items.push_back(value());
    while (!failed && take(','));
    if (!take(']')) failed = true;
    return v;
  }
  json_value object() {
    json_value v;
    v.type = json_value::kind::object;
    if (take('}')) return v;
    do {
      if (!take('"')) return failed = true, v;
      std::string key = string_body();
      if (!take(':')) return failed = true, v;
      v.fields[key] = value();
    } while (!failed && take(','));
    if (!take('}')) failed = true;
    return v;
  }
};

json_value parser::value() {
  json_value v;
  skip_space();
  if (take('{')) return object();
  if (take('[')) return array();
  if (take('"')) {
    v.type = json_value::kind::string;
    v.text = string_body();
  } else if (take_word("true") || take_word("false")) {
    v.type = json_value::kind::boolean;
    v.boolean = text[at - 1] == 'e' && text[at - 2] == 'u';
  } else if (take_word("null")) {
    v.type = json_value::kind::null;
  } else {
    char* end = nullptr;
    v.type = json_value::kind::number;
    v.number = std::strtod(text.c_str() + at, &end);
    if (end == text.c_str() + at) failed = true;
    at = static_cast<std::size_t>(end - text.c_str());
  }
  return v;
}

}  // namespace

std::optional<json_value> parse_json(const std::string& text) {
  parser p{text};
  json_value v = p.value();
  p.skip_space();
  if (p.failed || p.at != text.size()) return std::nullopt;
  return v;
}
