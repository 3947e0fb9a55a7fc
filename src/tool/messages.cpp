#include "tool/messages.h"

const char* fault_message(bitmap_fault fault) {
  switch (fault) {
    case bitmap_fault::too_short:
      return "\nNot a bitmap: the file is shorter than the 54 bytes of its headers.";
    case bitmap_fault::too_large:
      return "\nThe input is too large: it must be smaller than 2147482624 bytes.";
    case bitmap_fault::zero_height:
      return "\nBad bitmap header: the height is 0.";
    case bitmap_fault::negative_width:
      return "\nBad bitmap header: the width is negative.";
    case bitmap_fault::pixel_offset_in_headers:
      return "\nBad bitmap header: the pixel data offset points inside the 54 bytes of the "
             "headers.";
    case bitmap_fault::pixel_offset_past_end:
      return "\nBad bitmap header: the pixel data offset points past the end of the file.";
    case bitmap_fault::negative_colors_used:
      return "\nBad bitmap header: the colours-used field is negative.";
    case bitmap_fault::width_exceeds_stride:
      return "\nBad bitmap: the file is too short to hold its pixel rows at the stated width.";
    case bitmap_fault::none:
      break;
  }
  return "";
}
