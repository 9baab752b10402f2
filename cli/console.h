// Where the converter's texts go. Lines are UTF-8; on a Windows console they are shown through
// the wide-character API so that Japanese messages read correctly on every code page.
#pragma once

#include <memory>
#include <string_view>

namespace qelva::cli {

class Console {
 public:
  virtual ~Console() = default;
  virtual void Out(std::string_view line) = 0;  // one line on standard output
  virtual void Err(std::string_view line) = 0;  // one line on standard error
  // Whether standard error is a terminal, where a progress line may be drawn and redrawn.
  virtual bool ErrIsTerminal() const = 0;
  // Draws text as the progress line (replacing the previous one); empty text clears it.
  virtual void Progress(std::string_view text) = 0;
};

// The process's own standard output and error.
std::unique_ptr<Console> MakeProcessConsole();

}  // namespace qelva::cli
