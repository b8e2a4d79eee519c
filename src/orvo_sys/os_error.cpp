#include "orvo_sys/os_error.hpp"

#include <cerrno>
#include <cstring>

namespace orvo::sys {

std::string OsError::message() const {
  char buffer[256];
  // GNU strerror_r may return a static string instead of filling the buffer.
  const char* text = strerror_r(code, buffer, sizeof buffer);
  return std::string(text) + " (os error " + std::to_string(code) + ")";
}

OsError OsError::last() { return OsError{errno}; }

}  // namespace orvo::sys
