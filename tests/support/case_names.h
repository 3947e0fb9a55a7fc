#pragma once
// Names for the rows of table-driven tests, so that one row runs alone:
// --gtest_filter='*UsedCountCases*field_16*'.

#include <string>

// The case's words as a test name: letters and digits kept, every other run of characters
// one underscore.
inline std::string case_name(const char* words) {
  std::string name;
  for (const char* c = words; *c != '\0'; ++c) {
    bool plain = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9');
    if (plain)
      name += *c;
    else if (!name.empty() && name.back() != '_')
      name += '_';
  }
  while (!name.empty() && name.back() == '_') name.pop_back();
  return name.empty() ? "unnamed" : name;
}

// A parameter name generator for INSTANTIATE_TEST_SUITE_P over cases with a `name`.
struct named_case {
  template <typename Info>
  std::string operator()(const Info& info) const {
    return case_name(info.param.name);
  }
};
