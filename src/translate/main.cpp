#include "translate/run.h"

int main(int argc, char** argv) {
  return run_translation(argc, argv);
}
