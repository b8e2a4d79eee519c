#pragma once

#include <cstdint>
#include <span>

#include <tl/expected.hpp>

#include "orvo_sys/os_error.hpp"

namespace orvo::sys {

// Fills `out` (at most 256 bytes) from the operating system's entropy source.
[[nodiscard]] tl::expected<void, OsError> fill_random(std::span<std::uint8_t> out);

}  // namespace orvo::sys
