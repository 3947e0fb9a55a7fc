#include "os/process.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

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
  ignore_broken_pipes();
  std::signal(SIGXFSZ, SIG_IGN);
}

void ignore_broken_pipes() {
  std::signal(SIGPIPE, SIG_IGN);
}

bool is_terminal(standard_stream stream) {
  return isatty(stream == standard_stream::output ? STDOUT_FILENO : STDERR_FILENO) != 0;
}

os_status write_text(standard_stream stream, const std::string& text) {
  std::FILE* file = stream == standard_stream::output ? stdout : stderr;
  if (std::fputs(text.c_str(), file) < 0 || std::fflush(file) != 0)
    return failed_with(errno_error("write", errno));
  return {};
}

bool console_takes_colour(standard_stream stream) {
  return is_terminal(stream);
}

const char* environment_value(const char* name) {
  return std::getenv(name);
}

unsigned processors_available() {
#ifdef __EMSCRIPTEN__
  // WebAssembly without shared memory has one thread.
  return 1;
#else
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(CPU_COUNT(&set));
  unsigned count = std::thread::hardware_concurrency();
  return count == 0 ? 1 : count;
#endif
}

std::int64_t process_id() {
  return static_cast<std::int64_t>(getpid());
}

void on_stop_request(void (*note)(int signal_number)) {
  struct sigaction action {};
  action.sa_handler = note;
  sigemptyset(&action.sa_mask);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal_number, &action, nullptr);
}

void end_by_signal(int signal_number) {
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
  std::_Exit(128 + signal_number);
}
