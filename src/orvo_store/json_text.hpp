#pragma once

#include <string>
#include <string_view>

namespace orvo::store {

// `value` with the fewest digits that read back as the same double: "1.5", "1000.0", "-0.0",
// "0.0001", "1e+16", "1e-7", "1.8446744073709552e+19" (exponent form below 1e-5 and from 1e16).
[[nodiscard]] std::string float_text(double value);

}  // namespace orvo::store
