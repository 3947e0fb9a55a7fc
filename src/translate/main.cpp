#include "os/command_entry.h"
#include "run.h"

int command_main(int argc, char** argv) {
  return run_translation(argc, argv);
}
