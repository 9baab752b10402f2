#include <windows.h>

#include <cstdio>
#include <string>

#include "cli/console.h"
#include "common/wide_text_win.h"

namespace qelva::cli {
namespace {

bool IsConsole(HANDLE h) {
  DWORD mode = 0;
  return h != INVALID_HANDLE_VALUE && h != nullptr && GetConsoleMode(h, &mode);
}

class ProcessConsole final : public Console {
 public:
  ProcessConsole()
      : out_(GetStdHandle(STD_OUTPUT_HANDLE)),
        err_(GetStdHandle(STD_ERROR_HANDLE)),
        outIsConsole_(IsConsole(out_)),
        errIsConsole_(IsConsole(err_)) {}

  void Out(std::string_view line) override { Put(out_, outIsConsole_, line); }
  void Err(std::string_view line) override {
    Progress({});
    Put(err_, errIsConsole_, line);
  }
  bool ErrIsTerminal() const override { return errIsConsole_; }
  void Progress(std::string_view text) override {
    if (!ErrIsTerminal() || (text.empty() && shownWidth_ == 0)) return;
    std::wstring wide = L"\r" + WidenUtf8(text);
    const size_t width = wide.size() - 1;
    if (width < shownWidth_) wide.append(shownWidth_ - width, L' ');
    shownWidth_ = width;
    if (text.empty()) wide += L'\r';
    WriteWide(err_, wide);
  }

 private:
  // A console gets UTF-16; a file or pipe gets the UTF-8 bytes.
  static void Put(HANDLE h, bool isConsole, std::string_view line) {
    if (isConsole) {
      WriteWide(h, WidenUtf8(line) + L"\r\n");
    } else {
      const std::string bytes = std::string(line) + "\r\n";
      DWORD written = 0;
      WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
  }
  static void WriteWide(HANDLE h, const std::wstring& text) {
    DWORD written = 0;
    WriteConsoleW(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }

  HANDLE out_;
  HANDLE err_;
  bool outIsConsole_;
  bool errIsConsole_;
  size_t shownWidth_ = 0;
};

}  // namespace

std::unique_ptr<Console> MakeProcessConsole() { return std::make_unique<ProcessConsole>(); }

}  // namespace qelva::cli
