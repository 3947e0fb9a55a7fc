#pragma once

#include <string>

// Whether the text is one well-formed JSON document. Kept out of the fuzz target's own
// file so that the parser's branches neither steer the search nor slow it.
bool is_json(const std::string& text);
