// The program's command line: how it is split into arguments, what a "/" switch means, and the
// command lines of the further processes that show the pictures after the first.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qelva::shell {

// Splits a command line as the runtime does and returns arguments 1 to count (the first item of
// the line, the program, is passed over; argument 0 comes from the program's module path
// instead). Arguments are separated by runs of characters at or below the blank; a double
// quote opens a stretch that runs to the next double quote or the end, blanks included, and the
// quotes are dropped; an empty pair of quotes at the start of an argument is skipped. The list
// ends at the first empty argument.
std::vector<std::string> SplitArguments(std::string_view commandLine);

// Whether an argument is a switch: its first character is "/".
bool IsSwitch(std::string_view argument);

// The characters of a switch that are converted: those after the slash, at most 15 of them
// (whole UTF-8 characters).
std::string SwitchText(std::string_view argument);

// The runtime's string-to-integer conversion: optional leading blanks, an optional "+" or "-",
// then decimal digits, or "$" and hexadecimal digits. A decimal value must lie in the signed
// 32-bit range; hexadecimal digits may spell any 32-bit pattern ("$FFFFFFFF" is -1). Anything
// else raises ConvertError naming the text ("'%s' は整数ではありません").
int32_t StrToInt(std::string_view text);

// The entry number of a switch argument: StrToInt of its SwitchText.
int32_t SwitchValue(std::string_view argument);

// What the command line asks of a process that starts: the entry number of the last switch
// (when there is one), the picture this window opens (argument 1, when it is no switch), and
// the pictures that go to further processes, in order. A switch that does not convert ends the
// reading there: `failure` holds its conversion error's message, nothing is opened or passed on,
// and the entry number is that of the switches before it.
struct StartupPlan {
  bool hasEntry = false;
  int32_t entryIndex = 0;
  bool hasPicture = false;
  std::string picture;
  std::vector<std::string> further;
  std::string failure;
};
StartupPlan PlanStartup(const std::vector<std::string>& arguments);

// The command line of a further process: "<program>" "<picture>".
std::string FurtherInstanceCommandLine(std::string_view programPath, std::string_view picturePath);
// The same for an archive entry: "<program>" "<archive>" /<entry>.
std::string FurtherEntryCommandLine(std::string_view programPath, std::string_view archivePath,
                                    int entry);

}  // namespace qelva::shell
