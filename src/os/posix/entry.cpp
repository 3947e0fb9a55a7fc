#include "os/command_entry.h"

// The arguments arrive as the bytes the shell passed: names in any encoding open as given.
int main(int argc, char** argv) {
  return command_main(argc, argv);
}
