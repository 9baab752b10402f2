// Mapping of the operating system's error numbers onto the runtime's input/output codes.
#pragma once

namespace qelva {

#ifdef _WIN32
// Windows error numbers are the codes themselves, but for end of file and a full disk.
int IoCodeFromWinError(unsigned long error);
#else
int IoCodeFromErrno(int err);
#endif

}  // namespace qelva
