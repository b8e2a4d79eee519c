#include "orvo_store/rfc3339.hpp"

#include <fmt/format.h>

#include <array>
#include <cstdint>
#include <limits>

#include "orvo_sys/text.hpp"

namespace orvo::store {
namespace {

using std::int64_t;

enum class Fault { OutOfRange, Invalid, TooShort, TooLong };

std::string describe(Fault fault) {
  switch (fault) {
    case Fault::OutOfRange:
      return "input is out of range";
    case Fault::Invalid:
      return "input contains invalid characters";
    case Fault::TooShort:
      return "premature end of input";
    case Fault::TooLong:
      break;
  }
  return "trailing input";
}

template <class T>
using Scan = tl::expected<T, Fault>;

constexpr int64_t kSecondsPerDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date.
constexpr int64_t days_from_civil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct Civil {
  int64_t year;
  int64_t month;
  int64_t day;
};

constexpr Civil civil_from_days(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  return {yoe + era * 400 + (m <= 2 ? 1 : 0), m, d};
}

constexpr bool is_leap_year(int64_t y) {
  return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
}

constexpr int64_t days_in_month(int64_t y, int64_t m) {
  constexpr std::array<int64_t, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && is_leap_year(y) ? 29 : kDays[static_cast<std::size_t>(m - 1)];
}

std::string_view trim_start(std::string_view s) {
  return sys::trim_start_if(s, sys::is_white_space);
}

std::string_view trim_colons_and_blanks(std::string_view s) {
  return sys::trim_start_if(s, [](char32_t c) { return c == ':' || sys::is_white_space(c); });
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// A non-negative number of `min` to `max` digits from the front of `s`; more digits are left.
Scan<int64_t> number(std::string_view& s, std::size_t min, std::size_t max) {
  if (s.size() < min) {
    return tl::unexpected(Fault::TooShort);
  }
  int64_t n = 0;
  std::size_t i = 0;
  for (; i < s.size() && i < max; ++i) {
    if (!is_digit(s[i])) {
      if (i < min) {
        return tl::unexpected(Fault::Invalid);
      }
      break;
    }
    if (__builtin_mul_overflow(n, 10, &n) || __builtin_add_overflow(n, s[i] - '0', &n)) {
      return tl::unexpected(Fault::OutOfRange);
    }
  }
  s.remove_prefix(i);
  return n;
}

// A number after optional leading white space, checked against [lo, hi].
Scan<int64_t> field(std::string_view& s, std::size_t max_digits, int64_t lo, int64_t hi) {
  s = trim_start(s);
  const auto value = number(s, 1, max_digits);
  if (value && (*value < lo || *value > hi)) {
    return tl::unexpected(Fault::OutOfRange);
  }
  return value;
}

// A year: up to four digits, or a sign and any number of digits.
Scan<int64_t> year(std::string_view& s) {
  s = trim_start(s);
  const bool negative = s.starts_with('-');
  Scan<int64_t> value;
  if (negative || s.starts_with('+')) {
    s.remove_prefix(1);
    value = number(s, 1, std::numeric_limits<std::size_t>::max());
  } else {
    value = number(s, 1, 4);
  }
  if (!value) {
    return value;
  }
  const int64_t y = negative ? -*value : *value;
  if (y < std::numeric_limits<int32_t>::min() || y > std::numeric_limits<int32_t>::max()) {
    return tl::unexpected(Fault::OutOfRange);
  }
  return y;
}

// White space, then `c`.
Scan<void> literal(std::string_view& s, char c) {
  s = trim_start(s);
  if (s.empty()) {
    return tl::unexpected(Fault::TooShort);
  }
  if (s.front() != c) {
    return tl::unexpected(Fault::Invalid);
  }
  s.remove_prefix(1);
  return {};
}

// The fraction after the seconds' ".": the first nine digits count, the rest are skipped.
Scan<int64_t> fraction(std::string_view& s) {
  const std::size_t before = s.size();
  const auto value = number(s, 1, 9);
  if (!value) {
    return value;
  }
  int64_t nanos = *value;
  for (std::size_t digits = before - s.size(); digits < 9; ++digits) {
    nanos *= 10;
  }
  while (!s.empty() && is_digit(s.front())) {
    s.remove_prefix(1);
  }
  return nanos;
}

// "Z", or a sign ("+", "-" or U+2212), two hour digits, any colons and blanks, two minute
// digits; in seconds east of UTC.
Scan<int64_t> offset(std::string_view& s) {
  if (s.starts_with('Z') || s.starts_with('z')) {
    s.remove_prefix(1);
    return 0;
  }
  bool negative = false;
  if (s.empty()) {
    return tl::unexpected(Fault::TooShort);
  }
  if (s.front() == '+' || s.front() == '-') {
    negative = s.front() == '-';
    s.remove_prefix(1);
  } else if (s.starts_with("\u2212")) {
    negative = true;
    s.remove_prefix(3);
  } else {
    return tl::unexpected(Fault::Invalid);
  }
  if (s.size() < 2) {
    return tl::unexpected(Fault::TooShort);
  }
  if (!is_digit(s[0]) || !is_digit(s[1])) {
    return tl::unexpected(Fault::Invalid);
  }
  const int64_t hours = (s[0] - '0') * 10 + (s[1] - '0');
  s = trim_colons_and_blanks(s.substr(2));
  if (s.size() < 2) {
    return tl::unexpected(Fault::TooShort);
  }
  if (!is_digit(s[0]) || !is_digit(s[1])) {
    return tl::unexpected(Fault::Invalid);
  }
  if (s[0] > '5') {
    return tl::unexpected(Fault::OutOfRange);
  }
  const int64_t minutes = (s[0] - '0') * 10 + (s[1] - '0');
  s.remove_prefix(2);
  const int64_t seconds = hours * 3600 + minutes * 60;
  return negative ? -seconds : seconds;
}

struct Fields {
  int64_t year, month, day, hour, minute, second, nanos, offset;
};

Scan<Fields> scan_fields(std::string_view s) {
  Fields f{};
  const auto step = [](Scan<int64_t> v, int64_t& out) -> Scan<void> {
    if (!v) {
      return tl::unexpected(v.error());
    }
    out = *v;
    return {};
  };
  Scan<void> ok = step(year(s), f.year);
  ok = ok.and_then([&] { return literal(s, '-'); });
  ok = ok.and_then([&] { return step(field(s, 2, 1, 12), f.month); });
  ok = ok.and_then([&] { return literal(s, '-'); });
  ok = ok.and_then([&] { return step(field(s, 2, 1, 31), f.day); });
  ok = ok.and_then([&]() -> Scan<void> {
    if (s.empty()) {
      return tl::unexpected(Fault::TooShort);
    }
    if (s.front() != 'T' && s.front() != 't' && s.front() != ' ') {
      return tl::unexpected(Fault::Invalid);
    }
    s.remove_prefix(1);
    return {};
  });
  ok = ok.and_then([&] { return step(field(s, 2, 0, 23), f.hour); });
  ok = ok.and_then([&] { return literal(s, ':'); });
  ok = ok.and_then([&] { return step(field(s, 2, 0, 59), f.minute); });
  ok = ok.and_then([&] { return literal(s, ':'); });
  ok = ok.and_then([&] { return step(field(s, 2, 0, 60), f.second); });
  ok = ok.and_then([&]() -> Scan<void> {
    if (!s.starts_with('.')) {
      return {};
    }
    s.remove_prefix(1);
    return step(fraction(s), f.nanos);
  });
  ok = ok.and_then([&]() -> Scan<void> {
    s = trim_start(s);
    if (s.size() >= 3 && (s[0] | 0x20) == 'u' && (s[1] | 0x20) == 't' && (s[2] | 0x20) == 'c') {
      s.remove_prefix(3);
      f.offset = 0;
      return {};
    }
    return step(offset(s), f.offset);
  });
  ok = ok.and_then([&]() -> Scan<void> {
    if (!trim_start(s).empty()) {
      return tl::unexpected(Fault::TooLong);
    }
    return {};
  });
  if (!ok) {
    return tl::unexpected(ok.error());
  }
  return f;
}

// The instant of the scanned fields, which the writer must be able to write back: its UTC form
// lies in the years 0 to 9999. A leap second (second 60) becomes the first second of the next
// minute, the nearest a UtcTime can hold.
Scan<core::UtcTime> to_utc(const Fields& f) {
  if (f.day > days_in_month(f.year, f.month)) {
    return tl::unexpected(Fault::OutOfRange);
  }
  if (f.offset <= -kSecondsPerDay || f.offset >= kSecondsPerDay) {
    return tl::unexpected(Fault::OutOfRange);
  }
  // The year fits 32 bits, so none of this overflows.
  const int64_t local = days_from_civil(f.year, f.month, f.day) * kSecondsPerDay + f.hour * 3600 +
                        f.minute * 60 + f.second;
  const int64_t utc = local - f.offset;
  constexpr int64_t kFirst = days_from_civil(0, 1, 1) * kSecondsPerDay;
  constexpr int64_t kLast = days_from_civil(9999, 12, 31) * kSecondsPerDay + 86399;
  if (utc < kFirst || utc > kLast) {
    return tl::unexpected(Fault::OutOfRange);
  }
  return core::UtcTime{utc, static_cast<std::uint32_t>(f.nanos)};
}

// The fewest of 0, 3, 6 or 9 fraction digits that hold `nanos` exactly, after a ".".
std::string fraction_text(int64_t nanos) {
  if (nanos == 0) {
    return {};
  }
  if (nanos % 1'000'000 == 0) {
    return fmt::format(".{:03}", nanos / 1'000'000);
  }
  if (nanos % 1000 == 0) {
    return fmt::format(".{:06}", nanos / 1000);
  }
  return fmt::format(".{:09}", nanos);
}

}  // namespace

std::string format_rfc3339(core::UtcTime time) {
  const int64_t of_day = (time.seconds % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay;
  const int64_t days = (time.seconds - of_day) / kSecondsPerDay;
  const Civil date = civil_from_days(days);
  std::string out = date.year >= 0 && date.year <= 9999 ? fmt::format("{:04}", date.year)
                                                        : fmt::format("{:+05}", date.year);
  out += fmt::format("-{:02}-{:02}T{:02}:{:02}:{:02}", date.month, date.day, of_day / 3600,
                     of_day / 60 % 60, of_day % 60);
  out += fraction_text(time.nanos);
  out += 'Z';
  return out;
}

tl::expected<core::UtcTime, std::string> parse_rfc3339(std::string_view text) {
  return scan_fields(text).and_then(to_utc).map_error(describe);
}

}  // namespace orvo::store
