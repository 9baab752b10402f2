// Mapping of the operating system's errors onto the runtime's input/output codes.
#pragma once

#include <system_error>

namespace qelva {

// POSIX errors (errno values, std::filesystem errors) by their meaning; an error without a
// runtime code keeps its own number, shown as "I/O ｴﾗｰ (n)".
int IoCodeFromErrorCode(const std::error_code& error);

#ifdef _WIN32
// Windows error numbers are the codes themselves, but for end of file and a full disk.
int IoCodeFromWinError(unsigned long error);
#endif

}  // namespace qelva
