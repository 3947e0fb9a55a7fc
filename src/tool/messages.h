#pragma once
// Why an input is refused, in the words both commands use: palette-translate prints the
// message after its banner, palette-inspect shows it as the file's problem.

#include <string>

#include "palette/translation.h"

// One line of text after a line feed; "" for a translation that is done.
std::string refusal_message(const translation_report& report);

// The message without its line feed, for a command that prints it after a file name or in
// JSON; "" for a translation that is done.
std::string refusal_reason(const translation_report& report);

// The run status of a refusal: STATUS_PALETTE_FULL or STATUS_BAD_INPUT; STATUS_OK when done.
int refusal_status(const translation_report& report);

// What a compression field value stands for: "uncompressed", "RLE8", "JPEG or OS/2 RLE24" ...
const char* compression_name(std::uint32_t compression);
