#pragma once

#include "kit/exit_status.h"
#include "kit/failure.h"

// The whole run: banner, parameters, files, translation, output. Returns the status.
int run_translation(int argc, char** argv);

// Opens the output without cutting it, locked, and cuts it only once the open file is known
// not to be the input (the input's open handle), so that a name swapped to the input after
// the run's name check still cannot reach its bytes.
or_failure<int> open_output(int input, const char* path);
