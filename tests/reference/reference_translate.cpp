// The reference model as a command with the tool's parameters and statuses, for the
// benchmark: palette-translate-reference IN OUT RED GREEN BLUE PERCENT

#include "kit/exit_status.h"
#include "kit/number_parse.h"
#include "memory_run.h"
#include "whole_files.h"

int main(int argc, char** argv) {
  if (argc < 7) return STATUS_FAILURE;
  memory_run run;
  run.input = read_file(argv[1]);
  run_in_memory(run, parse_parameters(argv + 3), engine::reference);
  if (!run.report.done()) return refusal_status(run.report.refused);
  return write_file(argv[2], run.written()) ? STATUS_OK : STATUS_FAILURE;
}
