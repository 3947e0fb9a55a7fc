#include "report_checks.h"

#include <nlohmann/json.hpp>

bool is_json(const std::string& text) {
  return nlohmann::json::accept(text);
}

bool is_plain_text(const std::string& text) {
  for (char c : text) {
    if (c != '\n' && static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}
