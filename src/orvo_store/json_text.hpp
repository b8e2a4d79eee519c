#pragma once

#include <string>
#include <string_view>

namespace orvo::store {

// `text` between double quotes as the JSON reader's messages show decoded strings: `"` and `\`
// escaped, tab, line feed, carriage return and NUL as \t \n \r \0, other control and invisible
// characters (C0, DEL, C1, format and separator characters, combining marks, private use) as
// \u{hex}; everything else as it is.
[[nodiscard]] std::string debug_quoted(std::string_view text);

// `value` with the fewest digits that read back as the same double: "1.5", "1000.0", "-0.0",
// "0.0001", "1e+16", "1e-7", "1.8446744073709552e+19" (exponent form below 1e-5 and from 1e16).
[[nodiscard]] std::string float_text(double value);

}  // namespace orvo::store
