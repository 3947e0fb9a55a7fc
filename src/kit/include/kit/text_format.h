#pragma once
// printf-style formatting into a string, sized to the text: the one helper every console
// text and report line is built with. The compiler checks every pattern against its values.

#include <string>

// MinGW's own printf is the Windows runtime's, which lacks %zu; the runtime the tool links
// there is MinGW's ISO one, checked as GNU printf.
#ifdef __MINGW32__
#define CHECKED_PATTERN [[gnu::format(gnu_printf, 1, 2)]]
#else
#define CHECKED_PATTERN [[gnu::format(printf, 1, 2)]]
#endif

CHECKED_PATTERN std::string format(const char* pattern, ...);
