#pragma once
// Just enough JSON to read back palette-inspect's document in the tests.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct json_value {
  enum class kind { null, boolean, number, string, array, object } type = kind::null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<json_value> items;
  std::map<std::string, json_value> fields;

  const json_value& operator[](const std::string& key) const { return fields.at(key); }
  const json_value& operator[](std::size_t index) const { return items.at(index); }
};

// The value, or nothing when the text is not one JSON value.
std::optional<json_value> parse_json(const std::string& text);
