#include "subprocess.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

std::string drain(int fd) {
  std::string out;
  char buffer[4096];
  ssize_t n = 0;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<std::size_t>(n));
  return out;
}

int shell_status(int wait_status) {
  if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
  return 128 + WTERMSIG(wait_status);
}

// Standard error goes to an unnamed file, read once the child has ended, so that neither
// stream can fill its pipe while the other is drained.
process_result run_forked(const std::function<void()>& in_child) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return {};
  std::FILE* errors = std::tmpfile();
  if (errors == nullptr) return {};
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(pipe_fds[1], STDOUT_FILENO);
    dup2(fileno(errors), STDERR_FILENO);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    in_child();
  }
  close(pipe_fds[1]);
  process_result result;
  result.out = drain(pipe_fds[0]);
  result.raw_out = result.out;
  close(pipe_fds[0]);
  int wait_status = 0;
  waitpid(pid, &wait_status, 0);
  result.status = shell_status(wait_status);
  result.exit_code = result.status;
  lseek(fileno(errors), 0, SEEK_SET);
  result.err = drain(fileno(errors));
  result.raw_err = result.err;
  std::fclose(errors);
  return result;
}

[[noreturn]] void exec_program(const std::string& path, const std::vector<std::string>& arguments) {
  std::vector<char*> argv{const_cast<char*>(path.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  execv(path.c_str(), argv.data());
  _exit(127);
}

}  // namespace

process_result run_child(const std::function<int()>& body) {
  return run_forked([&] { std::exit(body()); });
}

process_result run_program(const std::string& path, const std::vector<std::string>& arguments) {
  return run_forked([&] { exec_program(path, arguments); });
}

process_result run_program_in(const std::string& folder, const std::string& path,
                              const std::vector<std::string>& arguments) {
  return run_forked([&] {
    if (chdir(folder.c_str()) != 0) _exit(127);
    exec_program(path, arguments);
  });
}

process_result run_program_in_terminal(const std::string& path,
                                       const std::vector<std::string>& arguments,
                                       const std::vector<std::string>& environment) {
  int terminal = posix_openpt(O_RDWR | O_NOCTTY);
  if (terminal < 0 || grantpt(terminal) != 0 || unlockpt(terminal) != 0) return {};
  std::string side = ptsname(terminal);
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    int screen = open(side.c_str(), O_RDWR | O_NOCTTY);
    dup2(screen, STDOUT_FILENO);
    dup2(screen, STDERR_FILENO);
    for (const std::string& entry : environment) putenv(const_cast<char*>(entry.c_str()));
    exec_program(path, arguments);
  }
  process_result result;
  int wait_status = 0;
  // The terminal reports an error once the child has gone and everything is read.
  char buffer[4096];
  for (ssize_t n = 0; (n = read(terminal, buffer, sizeof buffer)) > 0;)
    result.out.append(buffer, static_cast<std::size_t>(n));
  waitpid(pid, &wait_status, 0);
  close(terminal);
  result.status = shell_status(wait_status);
  result.exit_code = result.status;
  return result;
}

timed_run run_program_timed(const std::string& path, const std::vector<std::string>& arguments,
                            const std::string& stdout_path) {
  auto start = std::chrono::steady_clock::now();
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(open(stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
    exec_program(path, arguments);
  }
  int wait_status = 0;
  rusage usage{};
  wait4(pid, &wait_status, 0, &usage);
  std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return {elapsed.count(), usage.ru_maxrss, shell_status(wait_status)};
}

process_result run_shell(const std::string& script) {
  return run_program("/bin/bash", {"-c", script});
}
