#include "orvo_store/json_text.hpp"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace orvo::store {

std::string float_text(double value) {
  if (value == 0) {
    return std::signbit(value) ? "-0.0" : "0.0";
  }
  // The shortest scientific form, e.g. "-1.2345e+02", split into sign, digits and exponent.
  char buffer[64];
  const auto end =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific).ptr;
  const std::string_view sci(buffer, static_cast<std::size_t>(end - buffer));
  const std::size_t e = sci.find('e');
  std::string out;
  std::string digits;
  for (char c : sci.substr(0, e)) {
    if (c == '-') {
      out += '-';
    } else if (c != '.') {
      digits += c;
    }
  }
  // The exponent is parsed within the view: to_chars writes no terminating NUL.
  int exponent = 0;
  const std::string_view exponent_text = sci.substr(e + 1);
  std::from_chars(exponent_text.data() + (exponent_text.front() == '+' ? 1 : 0),
                  exponent_text.data() + exponent_text.size(), exponent);
  const auto length = static_cast<int>(digits.size());
  const int point = exponent + 1;  // digits before the decimal point
  const std::string_view all(digits);
  if (point >= length && point <= 16) {
    out.append(all).append(static_cast<std::size_t>(point - length), '0').append(".0");
  } else if (point > 0 && point <= 16) {
    const auto split = static_cast<std::size_t>(point);
    out.append(all.substr(0, split)).append(".").append(all.substr(split));
  } else if (point > -5 && point <= 0) {
    out.append("0.").append(static_cast<std::size_t>(-point), '0').append(all);
  } else {
    out.append(all.substr(0, 1));
    if (length > 1) {
      out.append(".").append(all.substr(1));
    }
    out += fmt::format("e{}{}", exponent < 0 ? "-" : "+", std::abs(exponent));
  }
  return out;
}

}  // namespace orvo::store
