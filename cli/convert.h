// The converter's work: game pictures, archives and folders in, picture files out.
#pragma once

#include "cli/console.h"
#include "cli/options.h"

namespace qelva::cli {

// Converts (or, with --list, lists) every input. Each failed input or archive entry gets one
// line "<path>: <message>" on the console's error stream and does not stop the others.
// Returns the exit status: 0 when everything was converted, 1 when something failed.
int RunConversion(const Options& options, Console& console);

// The whole program after the arguments are split: usage errors give 2.
int RunConverter(std::span<const std::string> args, Console& console);

}  // namespace qelva::cli
