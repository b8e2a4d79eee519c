// The state-file reader. The message and the position of every refusal belong to the file
// format: each step below (what is peeked, what is consumed, when a position is fixed) is placed
// so that the line and column come out as the format fixes them, which is why some refusals are
// placed at the byte looked at and others at the last byte consumed.

#include <fmt/format.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "orvo_core/ids.hpp"
#include "orvo_store/json_text.hpp"
#include "orvo_store/rfc3339.hpp"
#include "orvo_store/state_file.hpp"
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

// A number met where another type was expected, kept as the reader classifies it.
using Number = std::variant<uint64_t, int64_t, double>;

std::string unexpected_number(const Number& n) {
  if (const auto* f = std::get_if<double>(&n)) {
    return fmt::format("floating point `{}`", float_text(*f));
  }
  return std::visit([](auto v) { return fmt::format("integer `{}`", v); }, n);
}

// A refusal: the message, and the byte index its position is computed at once known.
struct Failure {
  std::string message;
  std::optional<std::size_t> index;
};

class Reader;

// One key of a record: whether it may be missing (or null), and how its value is read into the
// record.
template <class Record>
struct Field {
  std::string_view key;
  bool optional;
  bool (*read)(Reader&, Record&);
};

// Recursive descent over the text. Every step returns false on refusal, with `failure` set.
class Reader {
 public:
  explicit Reader(std::string_view text) : in_(text) {}

  std::optional<Failure> failure;

  bool document(StoreData& out);

  bool read_text(std::string& out) {
    return read_str("a string", [&](std::string s) {
      out = std::move(s);
      return true;
    });
  }
  bool read_path(std::filesystem::path& out) {
    return read_str("path string", [&](std::string s) {
      out = std::move(s);
      return true;
    });
  }
  bool read_id(core::ProjectId& out);
  bool read_time(core::UtcTime& out);
  bool read_optional_text(std::optional<std::string>& out);
  bool read_bool(bool& out);
  bool read_text_list(std::vector<std::string>& out);
  bool read_projects(std::vector<core::Project>& out);
  bool read_project(core::Project& out);
  bool read_prefs(core::AppPrefs& out);

  // Line (from 1) and byte column of byte index `i`: the column of the byte before `i` on its
  // line, 0 at a line's start.
  [[nodiscard]] std::pair<std::size_t, std::size_t> position(std::size_t i) const {
    std::size_t line = 1;
    std::size_t line_start = 0;
    for (std::size_t j = 0; j < i; ++j) {
      if (in_[j] == '\n') {
        ++line;
        line_start = j + 1;
      }
    }
    return {line, i - line_start};
  }

  [[nodiscard]] std::size_t consumed() const { return k_; }

 private:
  // Bytes.
  [[nodiscard]] std::optional<char> peek() const {
    return k_ < in_.size() ? std::optional<char>(in_[k_]) : std::nullopt;
  }
  [[nodiscard]] char peek_or_null() const { return peek().value_or('\0'); }
  void eat() { ++k_; }
  std::optional<char> next() {
    return k_ < in_.size() ? std::optional<char>(in_[k_++]) : std::nullopt;
  }
  std::optional<char> skip_blanks() {
    while (k_ < in_.size() &&
           (in_[k_] == ' ' || in_[k_] == '\n' || in_[k_] == '\t' || in_[k_] == '\r')) {
      ++k_;
    }
    return peek();
  }

  // Refusals: at the last consumed byte, at the byte looked at, or without a position yet (the
  // enclosing value then fixes it at the last consumed byte).
  bool fail(std::string_view message) { return set_failure(message, k_); }
  bool fail_peek(std::string_view message) {
    return set_failure(message, std::min(in_.size(), k_ + 1));
  }
  bool fail_unplaced(std::string message) {
    failure = Failure{std::move(message), std::nullopt};
    return false;
  }
  bool set_failure(std::string_view message, std::size_t index) {
    failure = Failure{std::string(message), index};
    return false;
  }
  void fix_position() {
    if (failure && !failure->index) {
      failure->index = k_;
    }
  }

  // Runs the closing step of a container also after a refusal inside it (it may consume blanks
  // and the bracket, which moves where the refusal is placed), keeping the first refusal.
  bool finish(bool ok, bool (Reader::*close)()) {
    if (ok) {
      return (this->*close)();
    }
    std::optional<Failure> first = std::move(failure);
    (this->*close)();
    failure = std::move(first);
    return false;
  }

  bool parse_ident(std::string_view rest);
  bool wrong_type(std::string_view expected);

  // Strings.
  std::size_t skip_plain_bytes() {
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
  bool parse_str(std::string& out);
  bool parse_escape(std::string& out);
  bool parse_unicode_escape(std::string& out);
  bool decode_hex_escape(std::uint16_t& out);
  bool ignore_str();
  bool ignore_escape();

  // Numbers.
  bool parse_integer(bool positive, Number& out);
  bool parse_number(bool positive, uint64_t significand, Number& out);
  bool parse_decimal(bool positive, uint64_t significand, int exponent, double& out);
  bool parse_exponent(bool positive, uint64_t significand, int starting_exp, double& out);
  bool parse_exponent_overflow(bool positive, bool zero_significand, bool positive_exp,
                               double& out);
  bool parse_long_integer(bool positive, uint64_t significand, double& out);
  bool f64_from_parts(bool positive, uint64_t significand, int exponent, double& out);
  bool ignore_integer();
  bool ignore_decimal();
  bool ignore_exponent();

  // Values and containers.
  template <class Visit>
  bool read_str(std::string_view expected, Visit visit);
  bool ignore_value();
  bool parse_object_colon();
  enum class Next { Item, End, Failed };
  Next next_member(bool& first, char close, std::string_view eof, std::string_view comma_or_end,
                   char& c);
  Next next_key(bool& first, std::string& key);
  Next next_element(bool& first);
  Next failed_at_peek(std::string_view message) {
    fail_peek(message);
    return Next::Failed;
  }
  bool end_seq();
  bool end_map();
  template <class Read>
  bool read_seq(Read read_element);
  template <class Record>
  bool read_record(std::span<const Field<Record>> fields, std::string_view name, Record& out);
  template <class Record>
  bool record_from_map(std::span<const Field<Record>> fields, Record& out);
  template <class Record>
  bool record_from_seq(std::span<const Field<Record>> fields, std::string_view name, Record& out);

  std::string_view in_;
  std::size_t k_ = 0;
};

// ---- Identifiers and wrong types ---------------------------------------------------------------

bool Reader::parse_ident(std::string_view rest) {
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

// Reads the value that stands where `expected` was needed, to name it in the refusal.
bool Reader::wrong_type(std::string_view expected) {
  std::string found;
  switch (peek_or_null()) {
    case 'n':
      eat();
      if (!parse_ident("ull"))
        return false;
      found = "null";
      break;
    case 't':
      eat();
      if (!parse_ident("rue"))
        return false;
      found = "boolean `true`";
      break;
    case 'f':
      eat();
      if (!parse_ident("alse"))
        return false;
      found = "boolean `false`";
      break;
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
      if (!parse_str(s))
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
  fail_unplaced(fmt::format("invalid type: {}, expected {}", found, expected));
  fix_position();
  return false;
}

// ---- Strings ----------------------------------------------------------------------------------

bool Reader::parse_str(std::string& out) {
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

bool Reader::parse_escape(std::string& out) {
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

bool Reader::parse_unicode_escape(std::string& out) {
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

bool Reader::decode_hex_escape(std::uint16_t& out) {
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

bool Reader::ignore_str() {
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

bool Reader::ignore_escape() {
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

bool Reader::parse_integer(bool positive, Number& out) {
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

bool Reader::parse_number(bool positive, uint64_t significand, Number& out) {
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

bool Reader::parse_decimal(bool positive, uint64_t significand, int exponent, double& out) {
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

bool Reader::parse_exponent(bool positive, uint64_t significand, int starting_exp, double& out) {
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

bool Reader::parse_exponent_overflow(bool positive, bool zero_significand, bool positive_exp,
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

bool Reader::parse_long_integer(bool positive, uint64_t significand, double& out) {
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
bool Reader::f64_from_parts(bool positive, uint64_t significand, int exponent, double& out) {
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

bool Reader::ignore_integer() {
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

bool Reader::ignore_decimal() {
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

bool Reader::ignore_exponent() {
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

// ---- Values and containers --------------------------------------------------------------------

// A value that must be a JSON string, handed to `visit` decoded; `visit` refuses by calling
// fail_unplaced, and the refusal is placed at the closing quote.
template <class Visit>
bool Reader::read_str(std::string_view expected, Visit visit) {
  const auto c = skip_blanks();
  if (!c) {
    return fail_peek(kEofValue);
  }
  bool ok = false;
  if (*c == '"') {
    eat();
    std::string s;
    ok = parse_str(s) && visit(std::move(s));
  } else {
    ok = wrong_type(expected);
  }
  if (!ok) {
    fix_position();
  }
  return ok;
}

bool Reader::read_id(core::ProjectId& out) {
  return read_str("a formatted UUID string", [&](std::string s) {
    const auto id = core::Uuid::parse(s);
    if (!id) {
      return fail_unplaced("UUID parsing failed: " + id.error());
    }
    out = core::ProjectId(*id);
    return true;
  });
}

bool Reader::read_time(core::UtcTime& out) {
  return read_str("an RFC 3339 formatted date and time string", [&](std::string s) {
    const auto time = parse_rfc3339(s);
    if (!time) {
      return fail_unplaced(time.error());
    }
    out = *time;
    return true;
  });
}

bool Reader::read_optional_text(std::optional<std::string>& out) {
  if (skip_blanks() == 'n') {
    eat();
    out.reset();
    return parse_ident("ull");
  }
  std::string text;
  if (!read_text(text)) {
    return false;
  }
  out = std::move(text);
  return true;
}

bool Reader::read_bool(bool& out) {
  const auto c = skip_blanks();
  if (!c) {
    return fail_peek(kEofValue);
  }
  bool ok = false;
  if (*c == 't' || *c == 'f') {
    eat();
    out = *c == 't';
    ok = parse_ident(out ? "rue" : "alse");
  } else {
    ok = wrong_type("a boolean");
  }
  if (!ok) {
    fix_position();
  }
  return ok;
}

// Skips one value of any shape without building it. Nesting is tracked in a list of open
// brackets, not on the call stack, so no depth of nesting can exhaust the stack.
bool Reader::ignore_value() {
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
        eat();
        if (!parse_ident("ull"))
          return false;
        break;
      case 't':
        eat();
        if (!parse_ident("rue"))
          return false;
        break;
      case 'f':
        eat();
        if (!parse_ident("alse"))
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

bool Reader::parse_object_colon() {
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
Reader::Next Reader::next_member(bool& first, char close, std::string_view eof,
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

// The next key of an object into `key`, or the end of the object.
Reader::Next Reader::next_key(bool& first, std::string& key) {
  char c = 0;
  const Next next = next_member(first, '}', kEofObject, kExpectedObjectCommaOrEnd, c);
  if (next != Next::Item) {
    return next;
  }
  if (c != '"') {
    return failed_at_peek(c == '}' ? kTrailingComma : kKeyMustBeAString);
  }
  eat();
  return parse_str(key) ? Next::Item : Next::Failed;
}

// Moves to the next element of an array, or to its end.
Reader::Next Reader::next_element(bool& first) {
  char c = 0;
  const Next next = next_member(first, ']', kEofList, kExpectedListCommaOrEnd, c);
  if (next == Next::Item && c == ']') {
    return failed_at_peek(kTrailingComma);
  }
  return next;
}

bool Reader::end_seq() {
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

bool Reader::end_map() {
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

// An array whose elements `read_element` reads one by one.
template <class Read>
bool Reader::read_seq(Read read_element) {
  const auto c = skip_blanks();
  if (!c) {
    return fail_peek(kEofValue);
  }
  bool ok = false;
  if (*c == '[') {
    eat();
    bool first = true;
    Next next = Next::Item;
    ok = true;
    while (ok && (next = next_element(first)) == Next::Item) {
      ok = read_element();
    }
    ok = finish(ok && next == Next::End, &Reader::end_seq);
  } else {
    ok = wrong_type("a sequence");
  }
  if (!ok) {
    fix_position();
  }
  return ok;
}

template <class Record>
bool Reader::read_record(std::span<const Field<Record>> fields, std::string_view name,
                         Record& out) {
  const auto c = skip_blanks();
  if (!c) {
    return fail_peek(kEofValue);
  }
  bool ok = false;
  if (*c == '[') {
    eat();
    ok = finish(record_from_seq(fields, name, out), &Reader::end_seq);
  } else if (*c == '{') {
    eat();
    ok = finish(record_from_map(fields, out), &Reader::end_map);
  } else {
    ok = wrong_type(name);
  }
  if (!ok) {
    fix_position();
  }
  return ok;
}

template <class Record>
bool Reader::record_from_map(std::span<const Field<Record>> fields, Record& out) {
  std::vector<bool> seen(fields.size());
  bool first = true;
  for (;;) {
    std::string key;
    const Next next = next_key(first, key);
    if (next == Next::Failed) {
      return false;
    }
    if (next == Next::End) {
      break;
    }
    std::size_t i = 0;
    while (i < fields.size() && fields[i].key != key) {
      ++i;
    }
    if (i == fields.size()) {
      if (!parse_object_colon() || !ignore_value()) {
        return false;
      }
      continue;
    }
    if (seen[i]) {
      return fail_unplaced(fmt::format("duplicate field `{}`", key));
    }
    if (!parse_object_colon() || !fields[i].read(*this, out)) {
      return false;
    }
    seen[i] = true;
  }
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (!seen[i] && !fields[i].optional) {
      return fail_unplaced(fmt::format("missing field `{}`", fields[i].key));
    }
  }
  return true;
}

template <class Record>
bool Reader::record_from_seq(std::span<const Field<Record>> fields, std::string_view name,
                             Record& out) {
  bool first = true;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const Next next = next_element(first);
    if (next == Next::Failed) {
      return false;
    }
    if (next == Next::End) {
      return fail_unplaced(fmt::format("invalid length {}, expected {} with {} element{}", i, name,
                                       fields.size(), fields.size() == 1 ? "" : "s"));
    }
    if (!fields[i].read(*this, out)) {
      return false;
    }
  }
  return true;
}

// ---- The document -----------------------------------------------------------------------------

constexpr std::array<Field<core::Project>, 7> kProjectFields = {{
    {"id", false, [](Reader& r, core::Project& p) { return r.read_id(p.id); }},
    {"name", false, [](Reader& r, core::Project& p) { return r.read_text(p.name); }},
    {"main_path", false, [](Reader& r, core::Project& p) { return r.read_path(p.main_path); }},
    {"worktree_dir_template", false,
     [](Reader& r, core::Project& p) { return r.read_text(p.worktree_dir_template); }},
    {"quick_base", true,
     [](Reader& r, core::Project& p) { return r.read_optional_text(p.quick_base); }},
    {"preferred_editor", true,
     [](Reader& r, core::Project& p) { return r.read_optional_text(p.preferred_editor); }},
    {"created_at", false, [](Reader& r, core::Project& p) { return r.read_time(p.created_at); }},
}};

constexpr std::array<Field<core::AppPrefs>, 4> kPrefsFields = {{
    {"editor_cmd", false, [](Reader& r, core::AppPrefs& p) { return r.read_text(p.editor_cmd); }},
    {"pi_bin", false, [](Reader& r, core::AppPrefs& p) { return r.read_text(p.pi_bin); }},
    {"pi_extra_args", false,
     [](Reader& r, core::AppPrefs& p) { return r.read_text_list(p.pi_extra_args); }},
    {"default_start_pi_on_create", false,
     [](Reader& r, core::AppPrefs& p) { return r.read_bool(p.default_start_pi_on_create); }},
}};

constexpr std::array<Field<StoreData>, 2> kDocumentFields = {{
    {"projects", false, [](Reader& r, StoreData& d) { return r.read_projects(d.projects); }},
    {"prefs", false, [](Reader& r, StoreData& d) { return r.read_prefs(d.prefs); }},
}};

bool Reader::read_text_list(std::vector<std::string>& out) {
  return read_seq([&] { return read_text(out.emplace_back()); });
}

bool Reader::read_projects(std::vector<core::Project>& out) {
  return read_seq([&] { return read_project(out.emplace_back()); });
}

bool Reader::read_project(core::Project& out) {
  return read_record(std::span<const Field<core::Project>>(kProjectFields), "struct Project", out);
}

bool Reader::read_prefs(core::AppPrefs& out) {
  return read_record(std::span<const Field<core::AppPrefs>>(kPrefsFields), "struct AppPrefs", out);
}

bool Reader::document(StoreData& out) {
  if (!read_record(std::span<const Field<StoreData>>(kDocumentFields), "struct StoreData", out)) {
    return false;
  }
  return !skip_blanks() || fail_peek(kTrailingCharacters);
}

}  // namespace

tl::expected<StoreData, JsonError> read_state(std::string_view text) {
  Reader reader(text);
  StoreData data;
  if (reader.document(data)) {
    return data;
  }
  const Failure& failure = *reader.failure;
  const auto [line, column] = reader.position(failure.index.value_or(reader.consumed()));
  return tl::unexpected(JsonError(failure.message, line, column));
}

}  // namespace orvo::store
