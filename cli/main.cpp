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
#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char** argv) {
  // A write past the file-size limit (ulimit -f) then fails with EFBIG and is reported like any
  // failed write, its temporary file removed; by default SIGXFSZ would end the program there,
  // with no message and the temporary file left behind.
  signal(SIGXFSZ, SIG_IGN);
#ifdef __GLIBC__
  // A picture's blocks are allocated and freed again for every picture. By default the C
  // library maps the larger ones afresh each time and hands memory at the top of its heaps back
  // to the system when it is freed; every such change of the address space while other threads
  // run interrupts them to flush their translation buffers, and every page mapped again is
  // faulted in and zeroed again. Here the memory freed stays with the process for the next
  // picture: blocks up to 16 MiB come from the heaps (which then never shrink), and the program
  // holds no more than its largest pictures at once needed.
  mallopt(M_MMAP_THRESHOLD, 16 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
  std::vector<std::string> args(argv + 1, argv + argc);
  auto console = qelva::cli::MakeProcessConsole();
  return qelva::cli::RunConverter(args, *console);
}
#endif
