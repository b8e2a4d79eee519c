#pragma once

#include <string>
#include <string_view>

#include <tl/expected.hpp>

#include "orvo_core/model.hpp"

namespace orvo::store {

// `time` as "YYYY-MM-DDTHH:MM:SS" with no fraction, or 3, 6 or 9 fraction digits (the fewest
// that hold its nanoseconds exactly), then "Z". A year outside 0 to 9999 is written with its sign.
[[nodiscard]] std::string format_rfc3339(core::UtcTime time);

// Parses an RFC 3339 date-time with any offset ("Z", "UTC" or a numeric offset) and converts
// it to UTC. The relaxed forms are accepted too: unpadded numbers, blanks between the parts, a
// "t" or blank between date and time, no colon in the offset, a signed year, more than nine
// fraction digits (the rest ignored). On refusal returns the fault: "input contains invalid
// characters", "premature end of input", "trailing input" or "input is out of range" (a field
// beyond its bounds, a day the month does not have, or an instant whose UTC form is not in the
// years 0 to 9999, which `format_rfc3339` could not write back).
[[nodiscard]] tl::expected<core::UtcTime, std::string> parse_rfc3339(std::string_view text);

}  // namespace orvo::store
