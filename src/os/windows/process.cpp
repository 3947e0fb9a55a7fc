#include "os/process.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <bit>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "file_handles.h"
#include "wide_text.h"

namespace {

void (*stop_note)(int signal_number) = nullptr;

// A program started without a console or with a standard stream closed has no handle
// behind descriptors 0 to 2; NUL takes their place, so that every text has a place to go.
void open_standard_descriptors() {
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    if (_get_osfhandle(descriptor) >= 0) continue;
    int opened = _wopen(L"NUL", _O_RDWR | _O_BINARY);
    if (opened < 0) continue;
    if (opened != descriptor) {
      _dup2(opened, descriptor);
      _close(opened);
    }
  }
}

HANDLE stream_handle(standard_stream stream) {
  return GetStdHandle(stream == standard_stream::output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

// Runs on a thread of its own. Ctrl-C and Ctrl-Break stop the run as an interrupt does
// elsewhere; closing the window or logging off ends the process as Windows would.
BOOL WINAPI console_event(DWORD event) {
  if (stop_note == nullptr || (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)) return FALSE;
  stop_note(SIGINT);
  return TRUE;
}

}  // namespace

void prepare_process() {
  open_standard_descriptors();
  std::setvbuf(stdout, nullptr, _IONBF, 0);
}

// A closed pipe makes a write fail here; no signal is ever raised for it.
void ignore_broken_pipes() {}

bool is_terminal(standard_stream stream) {
  DWORD mode = 0;
  return GetConsoleMode(stream_handle(stream), &mode) != 0;
}

os_status write_text(standard_stream stream, const std::string& text) {
  std::FILE* file = stream == standard_stream::output ? stdout : stderr;
  DWORD mode = 0;
  HANDLE console = stream_handle(stream);
  if (!GetConsoleMode(console, &mode)) {
    if (std::fputs(text.c_str(), file) < 0 || std::fflush(file) != 0)
      return failed_with(errno_error("write", errno));
    return {};
  }
  std::fflush(file);
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    end = end == std::string::npos ? text.size() : end + 1;
    std::wstring line = wide_text(text.substr(at, end - at));
    DWORD written = 0;
    if (!WriteConsoleW(console, line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
      return failed_with(last_error("WriteConsoleW"));
    at = end;
  }
  return {};
}

bool console_takes_colour(standard_stream stream) {
  HANDLE console = stream_handle(stream);
  DWORD mode = 0;
  if (!GetConsoleMode(console, &mode)) return false;
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
         SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

const char* environment_value(const char* name) {
  return std::getenv(name);
}

// Past 64 processors Windows makes groups of them, and a process's affinity mask covers
// only its own group; Windows 11 runs a process's threads on every group.
unsigned processors_available() {
  if (GetActiveProcessorGroupCount() > 1) {
    DWORD all = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    if (all > 0) return static_cast<unsigned>(all);
  }
  DWORD_PTR process_mask = 0;
  DWORD_PTR system_mask = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask) && process_mask != 0)
    return static_cast<unsigned>(std::popcount(process_mask));
  unsigned count = std::thread::hardware_concurrency();
  return count == 0 ? 1 : count;
}

std::int64_t process_id() {
  return static_cast<std::int64_t>(GetCurrentProcessId());
}

void on_stop_request(void (*note)(int signal_number)) {
  stop_note = note;
  SetConsoleCtrlHandler(console_event, TRUE);
}

// A console program stopped by Ctrl-C ends with this status on Windows. exit, not
// ExitProcess, so that the console gets its own code page back.
void end_by_signal(int /*signal_number*/) {
  std::exit(static_cast<int>(STATUS_CONTROL_C_EXIT));
}
