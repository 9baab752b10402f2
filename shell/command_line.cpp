#include "shell/command_line.h"

#include <utility>

#include "common/errors.h"

namespace qelva::shell {
namespace {

// A switch converts at most this many characters after its slash.
constexpr size_t kSwitchCharacters = 15;

// The line as the runtime reads it: a zero byte ends it like the end of the text does.
class LineReader {
 public:
  explicit LineReader(std::string_view line) : line_(line) {}

  uint8_t At(size_t offset) const {
    const size_t i = pos_ + offset;
    return i < line_.size() ? static_cast<uint8_t>(line_[i]) : 0;
  }
  void Skip(size_t n) { pos_ += n; }

  // One argument: blanks and control characters before it are passed over, and so is an
  // empty pair of quotes at its start (then blanks again); it runs while the characters are
  // above the blank, and a double quote takes everything up to the next one (or the end) along.
  std::string NextArgument() {
    for (;;) {
      while (At(0) != 0 && At(0) <= ' ') Skip(1);
      if (At(0) != '"' || At(1) != '"') break;
      Skip(2);
    }
    std::string argument;
    while (At(0) > ' ') {
      if (At(0) == '"') {
        Skip(1);
        while (At(0) != 0 && At(0) != '"') {
          argument += static_cast<char>(At(0));
          Skip(1);
        }
        if (At(0) == '"') Skip(1);
      } else {
        argument += static_cast<char>(At(0));
        Skip(1);
      }
    }
    return argument;
  }

 private:
  std::string_view line_;
  size_t pos_ = 0;
};

bool IsUtf8Continuation(uint8_t b) { return (b & 0xC0) == 0x80; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::vector<std::string> SplitArguments(std::string_view commandLine) {
  LineReader reader(commandLine);
  reader.NextArgument();  // the program
  std::vector<std::string> arguments;
  for (std::string argument = reader.NextArgument(); !argument.empty();
       argument = reader.NextArgument()) {
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

bool IsSwitch(std::string_view argument) { return !argument.empty() && argument.front() == '/'; }

std::string SwitchText(std::string_view argument) {
  if (argument.size() <= 1) return {};
  // A character is one byte and the UTF-8 continuation bytes after it (at most three).
  size_t end = 1;
  for (size_t count = 0; count < kSwitchCharacters && end < argument.size(); ++count) {
    ++end;
    for (int more = 0; more < 3 && end < argument.size() &&
                       IsUtf8Continuation(static_cast<uint8_t>(argument[end]));
         ++more) {
      ++end;
    }
  }
  return std::string(argument.substr(1, end - 1));
}

int32_t StrToInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const bool hex = i < text.size() && text[i] == '$';
  if (hex) ++i;
  if (i == text.size()) throw ConvertError(text);

  // Decimal values may reach 2^31 (for -2147483648); hexadecimal ones any 32-bit pattern.
  const uint64_t limit = hex ? 0xFFFFFFFFu : (negative ? 0x80000000u : 0x7FFFFFFFu);
  const unsigned base = hex ? 16 : 10;
  uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0 || (!hex && digit > 9)) throw ConvertError(text);
    value = value * base + static_cast<unsigned>(digit);
    if (value > limit) throw ConvertError(text);
  }
  // Negation wraps in 32 bits, so "-$FFFFFFFF" is 1 and "-$80000000" the lowest value.
  uint32_t bits = static_cast<uint32_t>(value);
  if (negative) bits = 0u - bits;
  return static_cast<int32_t>(bits);
}

int32_t SwitchValue(std::string_view argument) { return StrToInt(SwitchText(argument)); }

StartupPlan PlanStartup(const std::vector<std::string>& arguments) {
  StartupPlan plan;
  // All switches are read before any picture is opened; a later one overwrites an earlier one.
  for (const std::string& argument : arguments) {
    if (!IsSwitch(argument)) continue;
    try {
      plan.entryIndex = SwitchValue(argument);
      plan.hasEntry = true;
    } catch (const ConvertError& error) {
      plan.failure = error.what();
      return plan;
    }
  }
  // Only argument 1 opens in this window; every other picture goes to a process of its own.
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (IsSwitch(arguments[i])) continue;
    if (i == 0) {
      plan.hasPicture = true;
      plan.picture = arguments[i];
    } else {
      plan.further.push_back(arguments[i]);
    }
  }
  return plan;
}

std::string FurtherInstanceCommandLine(std::string_view programPath, std::string_view picturePath) {
  std::string line;
  line.append("\"").append(programPath).append("\" \"").append(picturePath).append("\"");
  return line;
}

std::string FurtherEntryCommandLine(std::string_view programPath, std::string_view archivePath,
                                    int entry) {
  return FurtherInstanceCommandLine(programPath, archivePath) + " /" + std::to_string(entry);
}

}  // namespace qelva::shell
