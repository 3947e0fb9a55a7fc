#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "os/command_entry.h"
#include "os/process.h"
#include "wide_text.h"

namespace {

UINT console_code_page = 0;

void restore_console_code_page() {
  SetConsoleOutputCP(console_code_page);
}

// Ctrl-C, Ctrl-Break and closing the window end a command without its atexit calls: the
// code page comes back here first. Passed on (FALSE), so the event ends the process as
// before, or reaches palette-batch's own handler, registered later and so asked first.
BOOL WINAPI restore_at_console_event(DWORD /*event*/) {
  restore_console_code_page();
  return FALSE;
}

// Messages carry names in UTF-8; a console shows them right only in its UTF-8 code page,
// which is the console's and not the process's, so the user's own comes back at exit.
void use_utf8_console() {
  if (!is_terminal(standard_stream::output) && !is_terminal(standard_stream::error)) return;
  console_code_page = GetConsoleOutputCP();
  if (console_code_page == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return;
  std::atexit(restore_console_code_page);
  SetConsoleCtrlHandler(restore_at_console_event, TRUE);
}

}  // namespace

// The narrow command line is in the ANSI code page, which cannot hold every name: the
// wide one can, and becomes UTF-8 once, here.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> texts;
  texts.reserve(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) texts.push_back(utf8_text(argv[i]));
  std::vector<char*> arguments;
  for (std::string& text : texts) arguments.push_back(text.data());
  arguments.push_back(nullptr);
  use_utf8_console();
  return command_main(argc, arguments.data());
}
