#include <unistd.h>

#include <cstdio>
#include <string>

#include "cli/console.h"

namespace qelva::cli {
namespace {

class ProcessConsole final : public Console {
 public:
  void Out(std::string_view line) override { Put(stdout, line); }
  void Err(std::string_view line) override {
    Progress({});
    Put(stderr, line);
  }
  bool ErrIsTerminal() const override { return errIsTerminal_; }
  void Progress(std::string_view text) override {
    if (!ErrIsTerminal() || (text.empty() && !shown_)) return;
    // Carriage return, the text, then erase whatever the previous line left to the right.
    std::fputc('\r', stderr);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputs("\x1b[K", stderr);
    std::fflush(stderr);
    shown_ = !text.empty();
  }

 private:
  static void Put(std::FILE* to, std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), to);
    std::fputc('\n', to);
  }
  const bool errIsTerminal_ = isatty(STDERR_FILENO) == 1;
  bool shown_ = false;
};

}  // namespace

std::unique_ptr<Console> MakeProcessConsole() { return std::make_unique<ProcessConsole>(); }

}  // namespace qelva::cli
