#include "orvo_store/json_scanner.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "orvo_sys/text.hpp"

namespace orvo::store {
namespace {

using std::int64_t;
using std::uint64_t;

constexpr std::string_view kEofValue = "EOF while parsing a value";
constexpr std::string_view kEofObject = "EOF while parsing an object";
constexpr std::string_view kEofList = "EOF while parsing a list";
constexpr std::string_view kEofString = "EOF while parsing a string";
constexpr std::string_view kExpectedValue = "expected value";
constexpr std::string_view kExpectedIdent = "expected ident";
constexpr std::string_view kExpectedColon = "expected `:`";
constexpr std::string_view kExpectedObjectCommaOrEnd = "expected `,` or `}`";
constexpr std::string_view kExpectedListCommaOrEnd = "expected `,` or `]`";
constexpr std::string_view kKeyMustBeAString = "key must be a string";
constexpr std::string_view kInvalidEscape = "invalid escape";
constexpr std::string_view kInvalidNumber = "invalid number";
constexpr std::string_view kNumberOutOfRange = "number out of range";
constexpr std::string_view kControlCharacter =
    "control character (\\u0000-\\u001F) found while parsing a string";
constexpr std::string_view kLoneSurrogate = "lone leading surrogate in hex escape";
constexpr std::string_view kUnexpectedEndOfHexEscape = "unexpected end of hex escape";
constexpr std::string_view kTrailingComma = "trailing comma";
constexpr std::string_view kTrailingCharacters = "trailing characters";

// The powers of ten a double can hold, each correctly rounded.
const std::array<double, 309>& powers_of_ten() {
  static const auto table = [] {
    std::array<double, 309> t{};
    for (std::size_t i = 0; i < t.size(); ++i) {
      t[i] = std::strtod(fmt::format("1e{}", i).c_str(), nullptr);
    }
    return t;
  }();
  return table;
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Whether `a * 10 + b` exceeds `max`.
template <class T>
bool overflows(T a, T b, T max) {
  return a >= max / 10 && (a > max / 10 || b > max % 10);
}

// A double as its shortest decimal: the sign, the fewest significant digits that read back as
// the same double (no leading or trailing zero), and the power of ten of the first digit.
struct ShortestDecimal {
  bool negative = false;
  std::string digits;
  int exponent = 0;
};

// Takes apart fmt's "{}" of a non-zero `value`, which holds those digits in a fixed form
// ("1000", "0.0001", "1.5") or an exponent form ("1e+16", "1.5e-07") of fmt's choosing.
ShortestDecimal shortest_decimal(double value) {
  const std::string text = fmt::format("{}", value);
  std::string_view rest(text);
  ShortestDecimal decimal;
  if (rest.front() == '-') {
    decimal.negative = true;
    rest.remove_prefix(1);
  }
  int written_exponent = 0;
  if (const std::size_t e = rest.find('e'); e != std::string_view::npos) {
    const std::string_view exponent = rest.substr(e + 1);
    std::from_chars(exponent.data() + (exponent.front() == '+' ? 1 : 0),
                    exponent.data() + exponent.size(), written_exponent);
    rest = rest.substr(0, e);
  }
  const std::size_t dot = rest.find('.');
  int point = static_cast<int>(dot == std::string_view::npos ? rest.size() : dot);
  for (const char c : rest) {
    if (c != '.') {
      decimal.digits += c;
    }
  }
  const std::size_t first = decimal.digits.find_first_not_of('0');
  point -= static_cast<int>(first);
  decimal.digits.erase(0, first);
  decimal.digits.erase(decimal.digits.find_last_not_of('0') + 1);
  decimal.exponent = point - 1 + written_exponent;
  return decimal;
}

std::string unexpected_number(const std::variant<uint64_t, int64_t, double>& n) {
  if (const auto* f = std::get_if<double>(&n)) {
    return fmt::format("floating point `{}`", float_text(*f));
  }
  return std::visit([](auto v) { return fmt::format("integer `{}`", v); }, n);
}

}  // namespace

std::string float_text(double value) {
  if (value == 0) {
    return std::signbit(value) ? "-0.0" : "0.0";
  }
  const ShortestDecimal decimal = shortest_decimal(value);
  std::string out = decimal.negative ? "-" : "";
  const std::string_view all(decimal.digits);
  const auto length = static_cast<int>(all.size());
  const int point = decimal.exponent + 1;  // digits before the decimal point
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
    out += fmt::format("e{}{}", decimal.exponent < 0 ? "-" : "+", std::abs(decimal.exponent));
  }
  return out;
}

// ---- White space and refusals ------------------------------------------------------------------

ScanRefusal JsonScanner::refusal() const {
  // Line (from 1) and byte column of the refusal's byte index: the column of the byte before it
  // on its line, 0 at a line's start.
  const std::size_t index = failure_->index.value_or(k_);
  std::size_t line = 1;
  std::size_t line_start = 0;
  for (std::size_t j = 0; j < index; ++j) {
    if (in_[j] == '\n') {
      ++line;
      line_start = j + 1;
    }
  }
  return ScanRefusal{failure_->message, line, index - line_start};
}

std::optional<char> JsonScanner::skip_blanks() {
  while (k_ < in_.size() &&
         (in_[k_] == ' ' || in_[k_] == '\n' || in_[k_] == '\t' || in_[k_] == '\r')) {
    ++k_;
  }
  return peek();
}

std::optional<char> JsonScanner::value_start() {
  const auto c = skip_blanks();
  if (!c) {
    fail_peek(kEofValue);
  }
  return c;
}

bool JsonScanner::end_of_text() {
  return !skip_blanks() || fail_peek(kTrailingCharacters);
}

bool JsonScanner::set_failure(std::string_view message, std::size_t index) {
  failure_ = Failure{std::string(message), index};
  return false;
}

bool JsonScanner::fail_unplaced(std::string message) {
  failure_ = Failure{std::move(message), std::nullopt};
  return false;
}

void JsonScanner::place_failure() {
  if (failure_ && !failure_->index) {
    failure_->index = k_;
  }
}

bool JsonScanner::finish(bool ok, bool (JsonScanner::*close)()) {
  if (ok) {
    return (this->*close)();
  }
  std::optional<Failure> first = std::move(failure_);
  (this->*close)();
  failure_ = std::move(first);
  return false;
}

// ---- Literals and wrong types -------------------------------------------------------------------

bool JsonScanner::parse_literal() {
  const char first = peek_or_null();
  eat();
  const std::string_view rest = first == 'n' ? "ull" : first == 't' ? "rue" : "alse";
  for (const char expected : rest) {
    const auto c = next();
    if (!c) {
      return fail(kEofValue);
    }
    if (*c != expected) {
      return fail(kExpectedIdent);
    }
  }
  return true;
}

bool JsonScanner::invalid_type(std::string_view expected) {
  std::string found;
  switch (peek_or_null()) {
    case 'n':
    case 't':
    case 'f': {
      const char first = peek_or_null();
      if (!parse_literal())
        return false;
      found = first == 'n' ? "null" : first == 't' ? "boolean `true`" : "boolean `false`";
      break;
    }
    case '-':
    case '0':
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6':
    case '7':
    case '8':
    case '9': {
      const bool positive = peek_or_null() != '-';
      if (!positive)
        eat();
      Number n;
      if (!parse_integer(positive, n))
        return false;
      found = unexpected_number(n);
      break;
    }
    case '"': {
      eat();
      std::string s;
      if (!parse_string(s))
        return false;
      found = "string " + sys::debug_quoted(s);
      break;
    }
    case '[':
      found = "sequence";
      break;
    case '{':
      found = "map";
      break;
    default:
      return fail_peek(kExpectedValue);
  }
  return fail(fmt::format("invalid type: {}, expected {}", found, expected));
}

// ---- Strings ----------------------------------------------------------------------------------

std::size_t JsonScanner::skip_plain_bytes() {
  std::size_t start = k_;
  while (k_ < in_.size()) {
    const auto c = static_cast<unsigned char>(in_[k_]);
    if (c == '"' || c == '\\' || c < 0x20) {
      break;
    }
    ++k_;
  }
  return start;
}

bool JsonScanner::parse_string(std::string& out) {
  for (;;) {
    const std::size_t start = skip_plain_bytes();
    out.append(in_.substr(start, k_ - start));
    if (k_ == in_.size()) {
      return fail(kEofString);
    }
    const char c = in_[k_++];
    if (c == '"') {
      return true;
    }
    if (c != '\\') {
      return fail(kControlCharacter);
    }
    if (!parse_escape(out)) {
      return false;
    }
  }
}

bool JsonScanner::parse_escape(std::string& out) {
  const auto c = next();
  if (!c) {
    return fail(kEofString);
  }
  switch (*c) {
    case '"':
    case '\\':
    case '/':
      out += *c;
      return true;
    case 'b':
      out += '\b';
      return true;
    case 'f':
      out += '\f';
      return true;
    case 'n':
      out += '\n';
      return true;
    case 'r':
      out += '\r';
      return true;
    case 't':
      out += '\t';
      return true;
    case 'u':
      return parse_unicode_escape(out);
    default:
      return fail(kInvalidEscape);
  }
}

bool JsonScanner::parse_unicode_escape(std::string& out) {
  std::uint16_t first = 0;
  if (!decode_hex_escape(first)) {
    return false;
  }
  if (first >= 0xDC00 && first <= 0xDFFF) {
    return fail(kLoneSurrogate);
  }
  if (first < 0xD800 || first > 0xDBFF) {
    sys::append_utf8(out, first);
    return true;
  }
  // A leading surrogate must be followed by the escape of a trailing one.
  for (const char expected : {'\\', 'u'}) {
    const auto c = peek();
    if (!c) {
      return fail(kEofString);
    }
    eat();
    if (*c != expected) {
      return fail(kUnexpectedEndOfHexEscape);
    }
  }
  std::uint16_t second = 0;
  if (!decode_hex_escape(second)) {
    return false;
  }
  if (second < 0xDC00 || second > 0xDFFF) {
    return fail(kLoneSurrogate);
  }
  sys::append_utf8(out, 0x10000 + ((static_cast<std::uint32_t>(first - 0xD800) << 10) |
                                   static_cast<std::uint32_t>(second - 0xDC00)));
  return true;
}

bool JsonScanner::decode_hex_escape(std::uint16_t& out) {
  if (in_.size() - k_ < 4) {
    k_ = in_.size();
    return fail(kEofString);
  }
  int value = 0;
  bool valid = true;
  for (int i = 0; i < 4; ++i) {
    const int digit = sys::hex_digit_value(in_[k_++]);
    valid = valid && digit >= 0;
    value = value * 16 + std::max(digit, 0);
  }
  if (!valid) {
    return fail(kInvalidEscape);
  }
  out = static_cast<std::uint16_t>(value);
  return true;
}

bool JsonScanner::ignore_str() {
  for (;;) {
    skip_plain_bytes();
    if (k_ == in_.size()) {
      return fail(kEofString);
    }
    const char c = in_[k_];
    if (c == '"') {
      eat();
      return true;
    }
    if (c != '\\') {
      return fail(kControlCharacter);
    }
    eat();
    if (!ignore_escape()) {
      return false;
    }
  }
}

bool JsonScanner::ignore_escape() {
  const auto c = next();
  if (!c) {
    return fail(kEofString);
  }
  switch (*c) {
    case '"':
    case '\\':
    case '/':
    case 'b':
    case 'f':
    case 'n':
    case 'r':
    case 't':
      return true;
    case 'u': {
      std::uint16_t ignored = 0;
      return decode_hex_escape(ignored);
    }
    default:
      return fail(kInvalidEscape);
  }
}

// ---- Numbers ----------------------------------------------------------------------------------

bool JsonScanner::parse_integer(bool positive, Number& out) {
  const auto c = next();
  if (!c) {
    return fail(kEofValue);
  }
  if (*c == '0') {
    if (is_digit(peek_or_null())) {
      return fail_peek(kInvalidNumber);
    }
    return parse_number(positive, 0, out);
  }
  if (*c < '1' || *c > '9') {
    return fail(kInvalidNumber);
  }
  uint64_t significand = static_cast<uint64_t>(*c - '0');
  for (;;) {
    const char d = peek_or_null();
    if (!is_digit(d)) {
      return parse_number(positive, significand, out);
    }
    const auto digit = static_cast<uint64_t>(d - '0');
    if (overflows(significand, digit, std::numeric_limits<uint64_t>::max())) {
      double f = 0;
      if (!parse_long_integer(positive, significand, f)) {
        return false;
      }
      out = f;
      return true;
    }
    eat();
    significand = significand * 10 + digit;
  }
}

bool JsonScanner::parse_number(bool positive, uint64_t significand, Number& out) {
  const char c = peek_or_null();
  if (c == '.' || c == 'e' || c == 'E') {
    double f = 0;
    const bool ok = c == '.' ? parse_decimal(positive, significand, 0, f)
                             : parse_exponent(positive, significand, 0, f);
    out = f;
    return ok;
  }
  if (positive) {
    out = significand;
    return true;
  }
  // Negation wraps as in two's complement: what does not come out negative (-0 and values
  // beyond the signed range) becomes a float.
  const auto negated = static_cast<int64_t>(~significand + 1);
  if (negated >= 0) {
    out = -static_cast<double>(significand);
  } else {
    out = negated;
  }
  return true;
}

bool JsonScanner::parse_decimal(bool positive, uint64_t significand, int exponent, double& out) {
  eat();
  const int exponent_before_point = exponent;
  bool dropped = false;
  for (char d = peek_or_null(); is_digit(d); d = peek_or_null()) {
    const auto digit = static_cast<uint64_t>(d - '0');
    if (overflows(significand, digit, std::numeric_limits<uint64_t>::max())) {
      // Digits that no longer fit are read and dropped, and then no digit is required.
      while (is_digit(peek_or_null())) {
        eat();
      }
      dropped = true;
      break;
    }
    eat();
    significand = significand * 10 + digit;
    --exponent;
  }
  if (exponent == exponent_before_point && !dropped) {
    return fail_peek(peek() ? kInvalidNumber : kEofValue);
  }
  const char c = peek_or_null();
  if (c == 'e' || c == 'E') {
    return parse_exponent(positive, significand, exponent, out);
  }
  return f64_from_parts(positive, significand, exponent, out);
}

bool JsonScanner::parse_exponent(bool positive, uint64_t significand, int starting_exp,
                                 double& out) {
  eat();
  bool positive_exp = true;
  if (peek_or_null() == '+' || peek_or_null() == '-') {
    positive_exp = peek_or_null() == '+';
    eat();
  }
  const auto c = next();
  if (!c) {
    return fail(kEofValue);
  }
  if (!is_digit(*c)) {
    return fail(kInvalidNumber);
  }
  int exp = *c - '0';
  while (is_digit(peek_or_null())) {
    const int digit = next().value() - '0';
    if (overflows(exp, digit, std::numeric_limits<int>::max())) {
      return parse_exponent_overflow(positive, significand == 0, positive_exp, out);
    }
    exp = exp * 10 + digit;
  }
  int final_exp = 0;
  if (positive_exp ? __builtin_add_overflow(starting_exp, exp, &final_exp)
                   : __builtin_sub_overflow(starting_exp, exp, &final_exp)) {
    final_exp = positive_exp ? std::numeric_limits<int>::max() : std::numeric_limits<int>::min();
  }
  return f64_from_parts(positive, significand, final_exp, out);
}

bool JsonScanner::parse_exponent_overflow(bool positive, bool zero_significand, bool positive_exp,
                                          double& out) {
  if (!zero_significand && positive_exp) {
    return fail(kNumberOutOfRange);
  }
  while (is_digit(peek_or_null())) {
    eat();
  }
  out = positive ? 0.0 : -0.0;
  return true;
}

bool JsonScanner::parse_long_integer(bool positive, uint64_t significand, double& out) {
  int exponent = 0;
  for (;;) {
    const char c = peek_or_null();
    if (is_digit(c)) {
      eat();
      ++exponent;
    } else if (c == '.') {
      return parse_decimal(positive, significand, exponent, out);
    } else if (c == 'e' || c == 'E') {
      return parse_exponent(positive, significand, exponent, out);
    } else {
      return f64_from_parts(positive, significand, exponent, out);
    }
  }
}

// The value the significand and decimal exponent stand for: one multiplication or division by a
// power of ten (two steps below 1e-308). That is not always the nearest double, and deliberately
// so: the value only shows in refusals, whose text the format fixes.
bool JsonScanner::f64_from_parts(bool positive, uint64_t significand, int exponent, double& out) {
  const auto& pow10 = powers_of_ten();
  double f = static_cast<double>(significand);
  int64_t e = exponent;
  for (;;) {
    const int64_t magnitude = e < 0 ? -e : e;
    if (magnitude < static_cast<int64_t>(pow10.size())) {
      if (e >= 0) {
        f *= pow10[static_cast<std::size_t>(magnitude)];
        if (std::isinf(f)) {
          return fail(kNumberOutOfRange);
        }
      } else {
        f /= pow10[static_cast<std::size_t>(magnitude)];
      }
      break;
    }
    if (f == 0.0) {
      break;
    }
    if (e >= 0) {
      return fail(kNumberOutOfRange);
    }
    f /= 1e308;
    e += 308;
  }
  out = positive ? f : -f;
  return true;
}

bool JsonScanner::ignore_integer() {
  const char c = next().value_or('\0');
  if (c == '0') {
    if (is_digit(peek_or_null())) {
      return fail_peek(kInvalidNumber);
    }
  } else if (c >= '1' && c <= '9') {
    while (is_digit(peek_or_null())) {
      eat();
    }
  } else {
    // next() does not advance at the end of the text.
    return fail(kInvalidNumber);
  }
  const char after = peek_or_null();
  if (after == '.') {
    return ignore_decimal();
  }
  if (after == 'e' || after == 'E') {
    return ignore_exponent();
  }
  return true;
}

bool JsonScanner::ignore_decimal() {
  eat();
  bool digits = false;
  while (is_digit(peek_or_null())) {
    eat();
    digits = true;
  }
  if (!digits) {
    return fail_peek(kInvalidNumber);
  }
  const char after = peek_or_null();
  return after == 'e' || after == 'E' ? ignore_exponent() : true;
}

bool JsonScanner::ignore_exponent() {
  eat();
  if (peek_or_null() == '+' || peek_or_null() == '-') {
    eat();
  }
  if (!is_digit(next().value_or('\0'))) {
    return fail(kInvalidNumber);
  }
  while (is_digit(peek_or_null())) {
    eat();
  }
  return true;
}

// ---- Values and separators --------------------------------------------------------------------

bool JsonScanner::skip_value() {
  std::string open;
  std::optional<char> enclosing;
  for (;;) {
    const auto c = skip_blanks();
    if (!c) {
      return fail_peek(kEofValue);
    }
    std::optional<char> frame;
    switch (*c) {
      case 'n':
      case 't':
      case 'f':
        if (!parse_literal())
          return false;
        break;
      case '-':
        eat();
        if (!ignore_integer())
          return false;
        break;
      case '0':
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
      case '7':
      case '8':
      case '9':
        if (!ignore_integer())
          return false;
        break;
      case '"':
        eat();
        if (!ignore_str())
          return false;
        break;
      case '[':
      case '{':
        if (enclosing)
          open += *enclosing;
        enclosing.reset();
        eat();
        frame = *c;
        break;
      default:
        return fail_peek(kExpectedValue);
    }

    bool accept_comma = false;
    char current = 0;
    if (frame) {
      current = *frame;
    } else if (enclosing) {
      accept_comma = true;
      current = *enclosing;
      enclosing.reset();
    } else if (!open.empty()) {
      accept_comma = true;
      current = open.back();
      open.pop_back();
    } else {
      return true;
    }

    // Close every container that ends here; stop at a comma or at the first element.
    for (;;) {
      const auto after = skip_blanks();
      if (!after) {
        return fail_peek(current == '[' ? kEofList : kEofObject);
      }
      if (*after == ',' && accept_comma) {
        eat();
        break;
      }
      const bool closes = (*after == ']' && current == '[') || (*after == '}' && current == '{');
      if (!closes) {
        if (accept_comma) {
          return fail_peek(current == '[' ? kExpectedListCommaOrEnd : kExpectedObjectCommaOrEnd);
        }
        break;
      }
      eat();
      if (open.empty()) {
        return true;
      }
      current = open.back();
      open.pop_back();
      accept_comma = true;
    }

    if (current == '{') {
      const auto quote = skip_blanks();
      if (!quote) {
        return fail_peek(kEofObject);
      }
      if (*quote != '"') {
        return fail_peek(kKeyMustBeAString);
      }
      eat();
      if (!ignore_str()) {
        return false;
      }
      const auto colon = skip_blanks();
      if (!colon) {
        return fail_peek(kEofObject);
      }
      if (*colon != ':') {
        return fail_peek(kExpectedColon);
      }
      eat();
    }
    enclosing = current;
  }
}

bool JsonScanner::object_colon() {
  const auto c = skip_blanks();
  if (!c) {
    return fail_peek(kEofObject);
  }
  if (*c != ':') {
    return fail_peek(kExpectedColon);
  }
  eat();
  return true;
}

// Moves past the comma before the next member of an object or array that `close` ends, leaving
// the member's first character in `c`; End at the closing character.
JsonScanner::Next JsonScanner::next_member(bool& first, char close, std::string_view eof,
                                           std::string_view comma_or_end, char& c) {
  auto peeked = skip_blanks();
  if (!peeked) {
    return failed_at_peek(eof);
  }
  if (*peeked == close) {
    return Next::End;
  }
  if (*peeked == ',' && !first) {
    eat();
    peeked = skip_blanks();
  } else if (first) {
    first = false;
  } else {
    return failed_at_peek(comma_or_end);
  }
  if (!peeked) {
    return failed_at_peek(kEofValue);
  }
  c = *peeked;
  return Next::Item;
}

JsonScanner::Next JsonScanner::next_key(bool& first, std::string& key) {
  char c = 0;
  const Next next = next_member(first, '}', kEofObject, kExpectedObjectCommaOrEnd, c);
  if (next != Next::Item) {
    return next;
  }
  if (c != '"') {
    return failed_at_peek(c == '}' ? kTrailingComma : kKeyMustBeAString);
  }
  eat();
  return parse_string(key) ? Next::Item : Next::Failed;
}

JsonScanner::Next JsonScanner::next_element(bool& first) {
  char c = 0;
  const Next next = next_member(first, ']', kEofList, kExpectedListCommaOrEnd, c);
  if (next == Next::Item && c == ']') {
    return failed_at_peek(kTrailingComma);
  }
  return next;
}

bool JsonScanner::end_array() {
  const auto c = skip_blanks();
  if (!c) {
    return fail_peek(kEofList);
  }
  if (*c == ']') {
    eat();
    return true;
  }
  if (*c == ',') {
    eat();
    return fail_peek(skip_blanks() == ']' ? kTrailingComma : kTrailingCharacters);
  }
  return fail_peek(kTrailingCharacters);
}

bool JsonScanner::end_object() {
  const auto c = skip_blanks();
  if (!c) {
    return fail_peek(kEofObject);
  }
  if (*c == '}') {
    eat();
    return true;
  }
  return fail_peek(*c == ',' ? kTrailingComma : kTrailingCharacters);
}

}  // namespace orvo::store
