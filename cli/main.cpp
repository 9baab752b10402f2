// qelvaconv: converts game pictures, archives and whole game folders in one command.
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/convert.h"

#ifdef _WIN32
#include "common/wide_text_win.h"

// Windows hands the arguments over as UTF-16; inside the program they are UTF-8.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(qelva::NarrowToUtf8(argv[i]));
  auto console = qelva::cli::MakeProcessConsole();
  return qelva::cli::RunConverter(args, *console);
}
#else
#include <signal.h>

int main(int argc, char** argv) {
  // A write past the file-size limit (ulimit -f) then fails with EFBIG and is reported like any
  // failed write, its temporary file removed; by default SIGXFSZ would end the program there,
  // with no message and the temporary file left behind.
  signal(SIGXFSZ, SIG_IGN);
  std::vector<std::string> args(argv + 1, argv + argc);
  auto console = qelva::cli::MakeProcessConsole();
  return qelva::cli::RunConverter(args, *console);
}
#endif
