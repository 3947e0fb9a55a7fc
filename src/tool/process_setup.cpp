#include "tool/process_setup.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace {

void open_standard_descriptors() {
  for (int descriptor = 0; descriptor <= STDERR_FILENO; ++descriptor) {
    if (fcntl(descriptor, F_GETFD) != -1) continue;
    // open gives the lowest free descriptor: the one that was closed.
    int opened = open("/dev/null", O_RDWR);
    if (opened != descriptor && opened >= 0) close(opened);
  }
}

}  // namespace

void prepare_process() {
  open_standard_descriptors();
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}
