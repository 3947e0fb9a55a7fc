#pragma once
// The process and its console, as the commands meet them: set-up, terminal detection,
// processors, signals.

#include <cstdint>
#include <string>

#include "os/os_result.h"

// Makes the process safe to run from any shell or script, before anything is opened:
// - descriptors 0, 1 and 2 are open (on /dev/null where they were closed), so that no
//   file the tool opens becomes standard output and receives console text;
// - standard output is unbuffered, so each text is out when printed and never lands,
//   at exit, in an output file that is also standard output;
// - SIGPIPE and SIGXFSZ are ignored: a closed console or a file-size limit make a write
//   fail with a status, instead of killing the run.
void prepare_process();

// Only the broken-pipe part of prepare_process, for a command that keeps its buffers.
void ignore_broken_pipes();

enum class standard_stream { output, error };

bool is_terminal(standard_stream stream);

// Writes the text to the stream and flushes it. On a Windows console each line goes in
// one call, as UTF-16, so that no character is split between writes; elsewhere the bytes
// go as they are (with CR LF line ends on Windows).
os_status write_text(standard_stream stream, const std::string& text);

// Whether the stream is a terminal that shows colour sequences; on Windows the console is
// asked to interpret them, which older consoles refuse.
bool console_takes_colour(standard_stream stream);

// The value of an environment variable, or null.
const char* environment_value(const char* name);

// The processors this process may run on; at least 1.
unsigned processors_available();

std::int64_t process_id();

// Calls note(signal) when the user or the system asks the process to stop (interrupt,
// terminate, hang-up).
void on_stop_request(void (*note)(int signal_number));

// Ends the process as the signal would have ended it; on Windows, as Ctrl-C ends a console
// program (STATUS_CONTROL_C_EXIT).
[[noreturn]] void end_by_signal(int signal_number);
