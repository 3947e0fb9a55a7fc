#pragma once
// Runs code or a program in a child process and captures its standard output and status:
// the tool's diagnostics go to standard output and end the process.

#include <functional>
#include <string>
#include <vector>

#include "whole_files.h"

struct process_result {
  int status = -1;  // the exit status as the shell sees it; 128 + signal when killed
  std::string out;
  std::string err;  // standard error; on a terminal both go to out
};

process_result run_child(const std::function<int()>& body);
process_result run_program(const std::string& path, const std::vector<std::string>& arguments);

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

// A bash script in a child, its standard output and status captured.
process_result run_shell(const std::string& script);
