#pragma once

#include <string>
#include <string_view>

namespace orvo::sys {

// An operating-system error number with the text users see for it.
struct OsError {
  int code = 0;

  // "{description} (os error {n})", the description being the C library's strerror text.
  [[nodiscard]] std::string message() const;

  // The text without its " (os error {n})" suffix.
  [[nodiscard]] std::string description() const;

  // The name of the error's category as diagnostics show it ("NotFound", "PermissionDenied",
  // ...), "Uncategorized" for a number without one.
  [[nodiscard]] std::string_view kind_name() const;

  // The error of the calling thread's errno.
  [[nodiscard]] static OsError last();
};

}  // namespace orvo::sys
