#include <windows.h>

#include <string>

#include "os/windows/wide_text.h"
#include "subprocess.h"

namespace {

// One argument as the C runtime's parser reads it back: quoted, with the backslashes
// before a quote doubled.
std::wstring quoted(const std::wstring& argument) {
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(2 * backslashes, L'\\');
  return out + L"\"";
}

// A temporary file the child inherits as a standard stream; both ends share its position.
HANDLE capture_file() {
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  wchar_t folder[MAX_PATH];
  wchar_t name[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  GetTempFileNameW(folder, L"cap", 0, name);
  return CreateFileW(name, GENERIC_READ | GENERIC_WRITE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherited,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

std::string without_carriage_returns(std::string text) {
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
    text.erase(at, 1);
  return text;
}

std::string read_back(HANDLE file) {
  std::string text;
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  CloseHandle(file);
  return text;
}

running_program start_in(const std::string& folder, const std::string& path,
                         const std::vector<std::string>& arguments, bool new_group) {
  std::wstring line = quoted(wide_text(path));
  for (const std::string& argument : arguments) line += L" " + quoted(wide_text(argument));
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                             OPEN_EXISTING, 0, nullptr);
  running_program program;
  program.out = capture_file();
  program.err = capture_file();
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = program.out;
  startup.hStdError = program.err;
  PROCESS_INFORMATION child{};
  std::wstring start_folder = wide_text(folder);
  // Wine, on a loaded machine, rarely fails to start a process that starts on the next try;
  // a start that keeps failing says why in the captured error stream.
  DWORD error = 0;
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (attempt > 0) Sleep(200 * attempt);
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                       new_group ? CREATE_NEW_PROCESS_GROUP : 0, nullptr,
                       folder.empty() ? nullptr : start_folder.c_str(), &startup, &child)) {
      program.process = child.hProcess;
      program.id = child.dwProcessId;
      CloseHandle(child.hThread);
      break;
    }
    error = GetLastError();
  }
  if (program.process == nullptr) {
    std::string why = "CreateProcessW failed with error " + std::to_string(error) + "\n";
    DWORD written = 0;
    WriteFile(program.err, why.data(), static_cast<DWORD>(why.size()), &written, nullptr);
  }
  CloseHandle(input);
  return program;
}

}  // namespace

process_result run_program(const std::string& path, const std::vector<std::string>& arguments) {
  return run_program_in("", path, arguments);
}

process_result run_program_in(const std::string& folder, const std::string& path,
                              const std::vector<std::string>& arguments) {
  running_program program = start_in(folder, path, arguments, false);
  return finish_program(program);
}

running_program start_program(const std::string& path, const std::vector<std::string>& arguments,
                              bool new_group) {
  return start_in("", path, arguments, new_group);
}

bool program_ended(const running_program& program, unsigned milliseconds) {
  return program.process == nullptr ||
         WaitForSingleObject(program.process, milliseconds) == WAIT_OBJECT_0;
}

process_result finish_program(running_program& program) {
  process_result result;
  if (program.process != nullptr) {
    WaitForSingleObject(program.process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(program.process, &code);
    result.exit_code = static_cast<int>(code);
    result.status = static_cast<int>(code & 0xFF);
    CloseHandle(program.process);
  }
  result.raw_out = read_back(program.out);
  result.out = without_carriage_returns(result.raw_out);
  result.raw_err = read_back(program.err);
  result.err = without_carriage_returns(result.raw_err);
  program = {};
  return result;
}

// Neither a fork nor a pseudo-terminal nor bash exists here; the tests that need them skip
// before they ask, and these answer as a run that could not start.
process_result run_child(const std::function<int()>& /*body*/) {
  return {};
}

process_result run_program_in_terminal(const std::string& /*path*/,
                                       const std::vector<std::string>& /*arguments*/,
                                       const std::vector<std::string>& /*environment*/) {
  return {};
}

process_result run_shell(const std::string& /*script*/) {
  return {};
}
