#pragma once

#include <string>

namespace orvo::sys {

// An operating-system error number with the text users see for it.
struct OsError {
  int code = 0;

  // "{description} (os error {n})", the description being the C library's strerror text.
  [[nodiscard]] std::string message() const;

  // The error of the calling thread's errno.
  [[nodiscard]] static OsError last();
};

}  // namespace orvo::sys
