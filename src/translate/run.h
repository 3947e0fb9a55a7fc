#pragma once

#include "kit/exit_status.h"

// The whole run: banner, parameters, files, translation, output. Returns the status.
int run_translation(int argc, char** argv);
