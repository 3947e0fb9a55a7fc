#pragma once
// What palette-inspect's reports must be. Kept out of the fuzz target's own file, so that
// these loops and the JSON parser's branches neither steer the search nor slow it.

#include <string>

// Whether the text is one well-formed JSON document.
bool is_json(const std::string& text);

// Whether the text holds no terminal control byte but line feeds.
bool is_plain_text(const std::string& text);
