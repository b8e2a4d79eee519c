#include "orvo_sys/entropy.hpp"

// getentropy is declared in <sys/random.h> on macOS and in <unistd.h> on glibc.
#include <sys/types.h>

#include <sys/random.h>
#include <unistd.h>

namespace orvo::sys {

tl::expected<void, OsError> fill_random(std::span<std::uint8_t> out) {
  if (getentropy(out.data(), out.size()) != 0) {
    return tl::unexpected(OsError::last());
  }
  return {};
}

}  // namespace orvo::sys
