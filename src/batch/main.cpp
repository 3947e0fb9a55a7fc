// palette-batch: translates every .bmp file under one folder into another, as
// palette-translate would translate each, several files at once.
// Usage: palette-batch [-j N] [--json] [--compact-palette] [--report PAGE.html] [--]
//                      IN_DIR OUT_DIR RED GREEN BLUE PERCENT

#include <cstdio>
#include <exception>

#include "batch_options.h"
#include "batch_run.h"
#include "kit/exit_status.h"
#include "kit/guarded_run.h"
#include "kit/text_format.h"
#include "os/command_entry.h"
#include "os/process.h"

namespace {

or_failure<int> batch_files(int argc, char** argv) {
  or_failure<batch_options> parsed = parse_batch_options(argc, argv);
  if (!parsed.ok()) return {0, parsed.failed};
  if (!parsed.value.answer.empty()) {
    os_status written = write_text(standard_stream::output, parsed.value.answer);
    if (!written.ok())
      return fail_with<int>(
          BATCH_SOME_FAILED,
          format("palette-batch: cannot write the answer: %s\n", written.error->reason.c_str()));
    return {BATCH_ALL_TRANSLATED, std::nullopt};
  }
  stop_batch_on_signals();
  return run_batch(parsed.value);
}

}  // namespace

// No failure may end the run without a status and a reason, not even a failed allocation.
int command_main(int argc, char** argv) {
  prepare_process();
  or_failure<int> status = guarded(
      [&] { return batch_files(argc, argv); },
      [](const std::string& reason) {
        return fail_with<int>(BATCH_SOME_FAILED, format("palette-batch: %s\n", reason.c_str()));
      });
  // Stopped by a signal: end as that signal would have ended the run.
  if (int signal_number = batch_stop_signal(); signal_number != 0) end_by_signal(signal_number);
  if (!status.ok()) {
    // Standard error is the last place to say it: a failure there has nowhere to go.
    (void)write_text(standard_stream::error, status.failed->text);
    return status.failed->status;
  }
  return status.value;
}
