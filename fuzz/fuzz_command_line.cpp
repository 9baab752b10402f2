// Fuzz target: the viewer's command line (splitting, the "/" switches, the lines of further
// processes) and the converter's options, given any bytes. Only a ConvertError or a UsageError
// may come out, and the lines made for further processes must split back into what they carry.
//
// Byte 0 picks the check; the rest is the line, or arguments separated by NUL bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"
#include "common/errors.h"
#include "shell/command_line.h"

namespace {

using namespace qelva::shell;

[[noreturn]] void Fail(const char* what) {
  std::fputs(what, stderr);
  std::fputc('\n', stderr);
  std::abort();
}

std::vector<std::string> SplitAtNul(std::string_view text) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\0') {
      parts.emplace_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

void CheckStartup(std::string_view line) {
  const std::vector<std::string> arguments = SplitArguments(line);
  for (const std::string& argument : arguments) {
    if (argument.empty()) Fail("an empty argument");
    if (argument.find('"') != std::string::npos) Fail("a quote left in an argument");
  }
  const StartupPlan plan = PlanStartup(arguments);
  if (!plan.failure.empty()) {
    if (plan.hasPicture || !plan.further.empty()) Fail("a failed switch still opens pictures");
    return;
  }
  size_t pictures = 0, switches = 0;
  for (const std::string& argument : arguments) (IsSwitch(argument) ? switches : pictures) += 1;
  if (plan.hasEntry != (switches > 0)) Fail("the entry does not follow the switches");
  if (plan.further.size() + (plan.hasPicture ? 1 : 0) != pictures) Fail("a picture was lost");
  for (const std::string& argument : arguments) {
    if (IsSwitch(argument) && SwitchText(argument).size() > 4 * 15) Fail("a switch text too long");
  }
}

// The line of a further process must give its picture back as the one argument, and the entry
// line the switch of its number. Names with quotes or NUL bytes cannot be carried (no Windows
// name has them); neither can an empty one. The program's path is never empty: an empty pair
// of quotes at the start of a line is skipped, and the program's name would run on.
void CheckFurtherLines(std::string_view text) {
  const std::vector<std::string> parts = SplitAtNul(text);
  if (parts.size() < 2) return;
  const std::string& program = parts[0];
  const std::string& picture = parts[1];
  if (program.empty() || picture.empty() || picture.find('"') != std::string::npos ||
      program.find('"') != std::string::npos)
    return;
  const std::vector<std::string> one = SplitArguments(FurtherInstanceCommandLine(program, picture));
  if (one.size() != 1 || one[0] != picture) Fail("the further line does not carry its picture");

  int32_t entry = 0;
  for (size_t i = 0; i < 4 && i < parts[1].size(); ++i)
    entry = static_cast<int32_t>(static_cast<uint32_t>(entry) << 8 | uint8_t(parts[1][i]));
  const std::vector<std::string> two =
      SplitArguments(FurtherEntryCommandLine(program, picture, entry));
  if (two.size() != 2 || two[0] != picture || SwitchValue(two[1]) != entry)
    Fail("the entry line does not carry its archive and entry");
  // A Windows path never starts with "/"; a name that does is read as a switch.
  if (IsSwitch(picture)) return;
  const StartupPlan plan = PlanStartup(two);
  if (!plan.hasEntry || plan.entryIndex != entry || plan.picture != picture)
    Fail("the entry line does not plan its entry");
}

void CheckOptions(std::string_view text) {
  const std::vector<std::string> args = SplitAtNul(text);
  try {
    const qelva::cli::Options options = qelva::cli::ParseOptions(args);
    if (options.jobs < 1 || options.jobs > qelva::cli::kMaxJobs) Fail("jobs out of range");
    if (options.paths.empty() && !options.help && !options.version) Fail("no paths accepted");
  } catch (const qelva::cli::UsageError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  try {
    switch (data[0] % 4) {
      case 0: CheckStartup(text); break;
      case 1: CheckFurtherLines(text); break;
      case 2: CheckOptions(text); break;
      case 3: SwitchValue(text); break;
    }
  } catch (const qelva::ConvertError&) {
  }
  return 0;
}
