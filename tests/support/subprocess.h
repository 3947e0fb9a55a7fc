#pragma once
// Runs code or a program in a child process and captures its standard output and status:
// the tool's diagnostics go to standard output and end the process.

#include <functional>
#include <string>
#include <vector>

#include "whole_files.h"

struct process_result {
  int status = -1;  // the exit status as a POSIX shell sees it; 128 + signal when killed
  // The whole exit code where the platform keeps one (Windows: -1 stays -1); else status.
  int exit_code = -1;
  // Standard output and error, each line ending in a line feed. Windows programs end
  // console lines with CR LF, which these hold as LF; raw_out keeps the bytes as written.
  std::string out;
  std::string err;  // standard error; on a terminal both go to out
  std::string raw_out;
  std::string raw_err;
};

process_result run_child(const std::function<int()>& body);
process_result run_program(const std::string& path, const std::vector<std::string>& arguments);
// The same, started in `folder` as its current folder.
process_result run_program_in(const std::string& folder, const std::string& path,
                              const std::vector<std::string>& arguments);

// The same with standard output and standard error on a pseudo-terminal, and with extra environment
// entries
// ("NAME=value"); the output is what the terminal received.
process_result run_program_in_terminal(const std::string& path,
                                       const std::vector<std::string>& arguments,
                                       const std::vector<std::string>& environment = {});

// A program run with its standard output sent to a file (or /dev/null), timed from the
// fork to its end, with its peak resident memory: what the benchmark measures.
struct timed_run {
  double seconds = 0;
  long peak_kib = 0;
  int status = -1;
};
timed_run run_program_timed(const std::string& path, const std::vector<std::string>& arguments,
                            const std::string& stdout_path);

// A fresh directory under the system's temporary directory, removed with its files.
struct temp_dir {
  std::string path;
  temp_dir();
  ~temp_dir();
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;
  std::string file(const std::string& name) const { return path + "/" + name; }
};

bool file_exists(const std::string& path);

// The separator palette-batch joins names with, and shows them with: '/', or on Windows
// '\\'.
extern const char* const JOIN;

// A backslash in a shown name: doubled, or on Windows, where it separates, single.
extern const char* const BACKSLASH_SHOWN;

// folder/relative as palette-batch joins them: every '/' of the relative part as JOIN.
std::string batch_joined(const std::string& folder, const std::string& relative);

// A bash script in a child, its standard output and status captured.
process_result run_shell(const std::string& script);

#ifdef _WIN32
// A program left running while the test does something to it; finish_program waits for
// it and collects what run_program would have. new_group starts it as a process group of
// its own, for a console control event aimed at it alone.
struct running_program {
  void* process = nullptr;
  void* out = nullptr;
  void* err = nullptr;
  unsigned long id = 0;
};
running_program start_program(const std::string& path, const std::vector<std::string>& arguments,
                              bool new_group = false);
// True once the program has ended, waiting at most `milliseconds` for it.
bool program_ended(const running_program& program, unsigned milliseconds);
process_result finish_program(running_program& program);
#endif

// What a test needs that this platform lacks: it skips, saying why.
#ifdef _WIN32
#define SKIP_ON_WINDOWS(why) GTEST_SKIP() << "not on Windows: " << (why)
#else
#define SKIP_ON_WINDOWS(why) static_cast<void>(0)
#endif
