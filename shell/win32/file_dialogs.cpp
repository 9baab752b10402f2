#include "shell/win32/file_dialogs.h"

#include <commdlg.h>

#include <string_view>

#include "shell/save_name.h"
#include "shell/win32/framework.h"

namespace qelva::win32 {
namespace {

// The open dialog's filters: caption, "|", patterns, "|", ... ("&" is a plain character in a
// caption here).
constexpr std::string_view kOpenFilter =
    "ﾀｲﾄﾙ&ｱｲｷｬｯﾁ|Ic*.bin;Title*.bin;Load*.bin;Eye1.bin|"
    "壁紙|Kabe??.bin;Wall1.bin;Omake??.bin|"
    "背景|BG*.bin|"
    "ｱｲﾃﾑ|Item??.bin|"
    "ｴﾝﾃﾞｨﾝｸﾞ|??_cg.bin;??_spr.bin|"
    "大判ﾌﾞﾛﾏｲﾄﾞ|omall.dat|"
    "全てのﾌｧｲﾙ|*.*";

// A filter written with "|" between its parts, as the dialog takes it: NUL between them and
// two at the end.
std::wstring DialogFilter(std::string_view barSeparated) {
  std::wstring text = W(barSeparated);
  for (wchar_t& c : text) {
    if (c == L'|') c = L'\0';
  }
  text.append(2, L'\0');
  return text;
}

// A multiple selection comes back as the folder, NUL, each name, NUL, and a final NUL; a single
// file as its full path alone.
std::vector<std::string> ChosenPaths(const wchar_t* buffer) {
  std::vector<std::wstring> parts;
  for (const wchar_t* p = buffer; *p; p += parts.back().size() + 1) parts.emplace_back(p);
  std::vector<std::string> paths;
  if (parts.size() == 1) {
    paths.push_back(U8(parts[0]));
    return paths;
  }
  std::wstring folder = parts.empty() ? std::wstring() : parts[0];
  if (!folder.empty() && folder.back() != L'\\') folder.push_back(L'\\');
  for (size_t i = 1; i < parts.size(); ++i) paths.push_back(U8(folder + parts[i]));
  return paths;
}

}  // namespace

std::vector<std::string> RunOpenDialog(HWND owner) {
  const std::wstring filters = DialogFilter(kOpenFilter);
  // Room for many long names; the dialog says when a selection does not fit.
  std::wstring buffer(64 * 1024, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filters.c_str();
  // Like the dialog object of a form, the filter chosen last is offered again next time.
  static DWORD filterIndex = 1;
  dialog.nFilterIndex = filterIndex;
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = static_cast<DWORD>(buffer.size());
  dialog.lpstrDefExt = L"bin";
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_ENABLESIZING;
  if (!GetOpenFileNameW(&dialog)) return {};
  filterIndex = dialog.nFilterIndex;
  return ChosenPaths(buffer.c_str());
}

bool RunSaveDialog(HWND owner, std::string& fileName, int& filterIndex) {
  const std::wstring filters = DialogFilter(shell::kSaveFilter);
  std::wstring buffer = W(fileName);
  // Room for a long path; a preset name longer than that is not offered.
  constexpr size_t kRoom = 32 * 1024;
  if (buffer.size() >= kRoom) buffer.clear();
  buffer.resize(kRoom, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filters.c_str();
  dialog.nFilterIndex = static_cast<DWORD>(filterIndex);
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = static_cast<DWORD>(buffer.size());
  // The program's current folder stays where it was started: names given on its command line
  // and to further windows are read from there.
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameW(&dialog)) return false;
  fileName = U8(buffer.c_str());
  filterIndex = static_cast<int>(dialog.nFilterIndex);
  return true;
}

}  // namespace qelva::win32
