#include "json_check.h"

#include <nlohmann/json.hpp>

bool is_json(const std::string& text) {
  return nlohmann::json::accept(text);
}
