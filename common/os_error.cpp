#include "common/os_error.h"

#include <cerrno>
#include <initializer_list>

#include "common/errors.h"

namespace qelva {

int IoCodeFromErrorCode(const std::error_code& error) {
  const std::error_condition condition = error.default_error_condition();
  const auto is = [&](std::initializer_list<std::errc> meanings) {
    for (std::errc meaning : meanings) {
      if (condition == meaning) return true;
    }
    return false;
  };
  using std::errc;
  if (is({errc::no_such_file_or_directory})) return IoError::kFileNotFound;
  if (is({errc::not_a_directory, errc::filename_too_long, errc::invalid_argument,
          errc::too_many_symbolic_link_levels})) {
    return IoError::kInvalidFileName;
  }
  if (is({errc::too_many_files_open, errc::too_many_files_open_in_system})) {
    return IoError::kTooManyOpenFiles;
  }
  if (is({errc::permission_denied, errc::operation_not_permitted, errc::read_only_file_system,
          errc::is_a_directory})) {
    return IoError::kAccessDenied;
  }
  if (is({errc::no_space_on_device})) return IoError::kDiskFull;
#ifdef EDQUOT
  if (condition == std::error_condition(EDQUOT, std::generic_category())) return IoError::kDiskFull;
#endif
  return error.value();
}

}  // namespace qelva
