#include "common/wide_text_win.h"

#include <windows.h>

namespace qelva {

std::wstring WidenUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string NarrowToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

std::wstring WindowsFilePath(std::string_view utf8Path) {
  std::wstring path = WidenUtf8(utf8Path);
  // A directory path must leave room for a name of 8.3 characters: CreateDirectory's limit.
  constexpr size_t kShortEnough = MAX_PATH - 12;
  if (path.size() < kShortEnough || path.starts_with(L"\\\\?\\")) return path;
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return path;
  full.resize(length);
  if (full.starts_with(L"\\\\.\\") || full.starts_with(L"\\\\?\\")) return full;  // devices
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share
  return L"\\\\?\\" + full;
}

std::string Utf8FromWindowsFilePath(std::wstring_view path) {
  if (path.starts_with(L"\\\\?\\UNC\\")) return "\\\\" + NarrowToUtf8(path.substr(8));
  if (path.starts_with(L"\\\\?\\")) return NarrowToUtf8(path.substr(4));
  return NarrowToUtf8(path);
}

}  // namespace qelva
