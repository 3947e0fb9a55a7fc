#pragma once
// The literal translation, kept as the oracle for the single-pass engine: a separate
// output buffer, a full pixel pass for every palette swap, and one scan of the image for
// every palette value that passes the near-background test, drawing from the shared
// sequence pixel by pixel.

#include <vector>

#include "palette/translation.h"

// The pipeline's preparation, then the literal steps. The output's rows go to `rows`; the
// loaded file is left unchanged.
translation_report reference_translate(const translation_memory& memory,
                                       const translation_parameters& parameters, work_image& image,
                                       std::vector<std::uint8_t>& rows);
