// palette-batch: translates every .bmp file under one folder into another, as
// palette-translate would translate each, several files at once.
// Usage: palette-batch [-j N] [--json] [--compact-palette] [--report PAGE.html] [--]
//                      IN_DIR OUT_DIR RED GREEN BLUE PERCENT

#include <cstdio>
#include <exception>

#include "batch/batch_options.h"
#include "batch/batch_run.h"
#include "kit/exit_status.h"
#include "os/command_entry.h"
#include "os/process.h"

namespace {

int batch_files(int argc, char** argv) {
  batch_options options;
  switch (parse_batch_options(argc, argv, options)) {
    case parse_result::answered:
      return BATCH_ALL_TRANSLATED;
    case parse_result::usage:
      return BATCH_USAGE_ERROR;
    case parse_result::run:
      break;
  }
  stop_batch_on_signals();
  return run_batch(options);
}

}  // namespace

// No failure may end the run without a status and a reason, not even a failed allocation.
int command_main(int argc, char** argv) {
  prepare_process();
  int status = BATCH_SOME_FAILED;
  try {
    status = batch_files(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "palette-batch: %s\n", error.what());
    return BATCH_SOME_FAILED;
  }
  // Stopped by a signal: end as that signal would have ended the run.
  if (int signal_number = batch_stop_signal(); signal_number != 0) {
    end_by_signal(signal_number);
  }
  return status;
}
