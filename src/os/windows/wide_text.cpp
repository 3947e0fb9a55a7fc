#include "wide_text.h"

#include <io.h>

std::wstring wide_text(const std::string& text) {
  if (text.empty()) return {};
  int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string utf8_text(const wchar_t* text) {
  int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return {};
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), length, nullptr, nullptr);
  utf8.pop_back();  // the terminating zero
  return utf8;
}

namespace {

constexpr std::size_t LONGEST_USUAL_FOLDER = MAX_PATH - 12;

bool starts_with(const std::wstring& text, const wchar_t* prefix) {
  return text.rfind(prefix, 0) == 0;
}

}  // namespace

std::wstring full_path(const std::wstring& path) {
  DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring full(needed, L'\0');
  DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return path;
  full.resize(length);
  return full;
}

std::wstring system_path(const std::string& path) {
  std::wstring wide = wide_text(path);
  if (starts_with(wide, L"\\\\?\\")) {
    for (wchar_t& c : wide) {
      if (c == L'/') c = L'\\';
    }
    return wide;
  }
  // Devices (\\.\) and short paths go as they are.
  if (starts_with(wide, L"\\\\.\\") || wide.empty()) return wide;
  std::wstring full = full_path(wide);
  if (full.size() < LONGEST_USUAL_FOLDER) return wide;
  if (starts_with(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::string windows_reason(DWORD error) {
  wchar_t* message = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  if (length == 0) return "system error " + std::to_string(error);
  std::string reason = utf8_text(message);
  LocalFree(message);
  // The system ends its messages with a full stop and a line break.
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                             reason.back() == ' ' || reason.back() == '.'))
    reason.pop_back();
  return reason;
}

HANDLE system_handle(int handle) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(handle));
}
