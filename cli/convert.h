// The converter's work: game pictures, archives and folders in, picture files out.
#pragma once

#include "cli/console.h"
#include "cli/console_progress.h"
#include "cli/options.h"

namespace qelva::cli {

// Converts (or, with --list, lists) every input, options.jobs pictures at once. Each failed
// input or archive entry gets one line "<path>: <message>" on the console's error stream and
// does not stop the others. Files, lines and their order are those of a run with one job:
// pictures are decoded and written in any order, but reported in input order, and of two
// pictures with one output file the first in input order keeps it. On a terminal (unless
// options.quiet) a progress line timed by the clock shows meanwhile.
// Returns the exit status: 0 when everything was converted, 1 when something failed.
int RunConversion(const Options& options, Console& console, Clock& clock);
int RunConversion(const Options& options, Console& console);  // the steady clock

// The whole program after the arguments are split: usage errors give 2.
int RunConverter(std::span<const std::string> args, Console& console, Clock& clock);
int RunConverter(std::span<const std::string> args, Console& console);  // the steady clock

}  // namespace qelva::cli
