#pragma once
// The words the commands print for the core's reasons: every refusal and every outcome of
// the --compact-palette check, in one place.

#include <string>

#include "palette/translation.h"

// (The names of PNG colour types and bitmap compressions, png_color_type_name and
// compression_name, come from the core with the formats they name.)

// A bitfields bitmap's masks: "red 0x00FF0000, green 0x0000FF00, blue 0x000000FF, alpha
// 0x00000000".
std::string mask_list(const bmp_header& header);

// A true-colour picture's count of colours: "37", or "at least 257" where counting stopped.
std::string colour_count(std::uint32_t colours);

// The two halves of the too_many_colours text: what was counted, and what to do, which
// palette-batch gives once for all such files.
std::string too_many_colours_fact(const translation_report& report);
std::string too_many_colours_advice();

// One line, without a line feed; "" for none. The form refusals name the header's fields,
// no_room_for_grays the used count it stopped at.
std::string refusal_text(refusal reason, const bmp_header& header, std::int64_t used_count);

// The refusal's text for this file, without a line feed; "" when done.
std::string refusal_text(const translation_report& report);

// "its pixels use 76 colours; --compact-palette would translate it", or "" for none.
std::string compaction_advice_text(const compaction_check& check);

// The advice as a JSON value's word: "would_translate" ...; "" for none.
const char* compaction_advice_name(compaction_advice advice);
