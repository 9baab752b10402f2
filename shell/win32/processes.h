// This program's own path and command line, and the start of further processes of it.
#pragma once

#include <string>
#include <string_view>

namespace qelva::win32 {

// The full path of the program's executable file, however long.
std::string ProgramPath();
// The command line the process was started with.
std::string ProcessCommandLine();
// The current folder, however long.
std::wstring CurrentFolder();

// Starts a further process with this command line, this process's start-up information and
// current folder, and its own error mode. Whether it started is not reported; its handles are
// closed at once, since nothing here waits for it.
void StartInstance(std::string_view commandLine);

// Where the windows hand the command lines of further processes: to StartInstance in the
// program, to a recorder in tests of the windows.
class InstanceStarter {
 public:
  virtual ~InstanceStarter() = default;
  virtual void Start(std::string_view commandLine) = 0;
};
class ProcessStarter final : public InstanceStarter {
 public:
  void Start(std::string_view commandLine) override { StartInstance(commandLine); }
};

}  // namespace qelva::win32
