#pragma once
// The literal translation, kept as the oracle for the single-pass engine: a separate
// output buffer, a full pixel pass for every palette swap, and one scan of the image for
// every palette value that passes the near-background test, drawing from the shared
// sequence pixel by pixel.

#include "palette/translation.h"

// image holds the loaded input and output_prefix points at a buffer of file_size + 1024
// bytes, the whole output file; the input is left unchanged.
translation_report reference_translate(work_image& image, const translation_parameters& parameters);
