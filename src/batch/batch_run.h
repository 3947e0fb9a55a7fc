#pragma once
// palette-batch's run: the folders checked, the inputs found, the files translated by a
// pool of workers, and the end reported. Returns the command's status.

#include <cstddef>
#include <string>

#include "batch_options.h"
#include "kit/failure.h"

// The status the run ends with; a failure that stops it (a folder that cannot be used, a
// summary or report page that cannot be written) with its words for standard error.
or_failure<int> run_batch(const batch_options& options);

// Makes the run stop taking new files after a signal; the files being written are
// finished first, so no temporary file stays behind.
void stop_batch_on_signals();

// The signal that stopped the run, or 0.
int batch_stop_signal();

// What wipes a progress line as it was drawn (its carriage return first) before the next
// text: the erase-line sequence where the console shows such sequences, else spaces over
// each character it shows, and not one more, which a line as wide as the console would
// wrap (a Windows console without them would print the sequence as it is).
std::string clearing_text(bool escapes, const std::string& drawn);
