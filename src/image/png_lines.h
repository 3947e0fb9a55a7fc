#pragma once
// The lines of one stored picture or interlaced pass, as a reader takes them: inflated a
// band at a time, unfiltered against the line above, then handed over in turn.

#include <cstddef>
#include <cstdint>
#include <functional>

#include "compression.h"
#include "image/refusal.h"

// `take(line, samples)` gets each of the `lines` lines of `length` bytes, its filter
// undone; it returns a refusal to stop. The whole lines the stream holds are taken before a
// short or corrupt stream is refused, and a bad filter type is refused at its line, as
// reading a line at a time would.
refusal take_lines(
    inflate_stream& stream, std::uint32_t lines, std::size_t length, std::size_t pixel_bytes,
    const std::function<refusal(std::uint32_t line, const std::uint8_t* samples)>& take);
