#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace orvo::store {

// `value` with the fewest digits that read back as the same double: "1.5", "1000.0", "-0.0",
// "0.0001", "1e+16", "1e-7", "1.8446744073709552e+19" (exponent form below 1e-5 and from 1e16).
[[nodiscard]] std::string float_text(double value);

// A refusal of the scanner: its message, and the line (counted from 1) and the byte column it is
// placed at.
struct ScanRefusal {
  std::string message;
  std::size_t line = 0;
  std::size_t column = 0;
};

// A cursor over JSON text for a reader that knows which value it expects next: it steps over
// white space, separators and whole values, decodes strings, and names the value found where
// another was expected. Every step returns false (or Next::Failed) on refusal and keeps the first
// refusal. Where a refusal is placed belongs to the file format: some at the byte looked at, some
// at the last byte consumed, and unplaced ones by the enclosing value once it has ended; so each
// step peeks and consumes in a fixed order and is not to be reordered.
class JsonScanner {
 public:
  explicit JsonScanner(std::string_view text) : in_(text) {}

  // The first refusal; needs a step to have failed.
  [[nodiscard]] ScanRefusal refusal() const;

  // Skips white space; the byte after it, if any.
  std::optional<char> skip_blanks();
  // Skips white space; the first byte of the value after it, or a refusal at the end of the text.
  std::optional<char> value_start();
  // Consumes the byte looked at.
  void eat() { ++k_; }

  // Consumes `null`, `true` or `false`, whichever the byte looked at (n, t or f) begins.
  bool parse_literal();
  // Decodes a string whose opening quote is consumed into `out`, up to its closing quote.
  bool parse_string(std::string& out);
  // Steps over one value of any shape. Nesting is tracked in a list of open brackets, not on the
  // call stack, so no depth of nesting can exhaust the stack.
  bool skip_value();
  // Reads the value at the cursor to name it in the refusal "invalid type: {found}, expected
  // {expected}", placed after that value.
  bool invalid_type(std::string_view expected);
  // Refuses unless only white space is left.
  bool end_of_text();

  // Consumes the colon after an object's key.
  bool object_colon();
  enum class Next { Item, End, Failed };
  // The next key of an object into `key`, or End at its closing brace (not consumed); `first`
  // tells whether no member has been read yet and is cleared.
  Next next_key(bool& first, std::string& key);
  // Moves to the next element of an array, or End at its closing bracket (not consumed).
  Next next_element(bool& first);
  // Consumes the closing bracket of an array or object whose contents were read `ok`. After a
  // refusal inside, the closing step still runs, since the white space and bracket it consumes
  // move where an unplaced refusal is placed; the first refusal is kept.
  bool close_array(bool ok) { return finish(ok, &JsonScanner::end_array); }
  bool close_object(bool ok) { return finish(ok, &JsonScanner::end_object); }

  // Refuses with `message`, to be placed by place_failure once the enclosing value has ended.
  bool fail_unplaced(std::string message);
  // Places an unplaced refusal at the last byte consumed.
  void place_failure();

 private:
  // A number met where another type was expected, kept as it is classified.
  using Number = std::variant<std::uint64_t, std::int64_t, double>;

  [[nodiscard]] std::optional<char> peek() const {
    return k_ < in_.size() ? std::optional<char>(in_[k_]) : std::nullopt;
  }
  [[nodiscard]] char peek_or_null() const { return peek().value_or('\0'); }
  std::optional<char> next() {
    return k_ < in_.size() ? std::optional<char>(in_[k_++]) : std::nullopt;
  }

  // Refusals at the last consumed byte or at the byte looked at.
  bool fail(std::string_view message) { return set_failure(message, k_); }
  bool fail_peek(std::string_view message) {
    return set_failure(message, std::min(in_.size(), k_ + 1));
  }
  bool set_failure(std::string_view message, std::size_t index);
  Next failed_at_peek(std::string_view message) {
    fail_peek(message);
    return Next::Failed;
  }
  bool finish(bool ok, bool (JsonScanner::*close)());

  // Strings.
  std::size_t skip_plain_bytes();
  bool parse_escape(std::string& out);
  bool parse_unicode_escape(std::string& out);
  bool decode_hex_escape(std::uint16_t& out);
  bool ignore_str();
  bool ignore_escape();

  // Numbers.
  bool parse_integer(bool positive, Number& out);
  bool parse_number(bool positive, std::uint64_t significand, Number& out);
  bool parse_decimal(bool positive, std::uint64_t significand, int exponent, double& out);
  bool parse_exponent(bool positive, std::uint64_t significand, int starting_exp, double& out);
  bool parse_exponent_overflow(bool positive, bool zero_significand, bool positive_exp,
                               double& out);
  bool parse_long_integer(bool positive, std::uint64_t significand, double& out);
  bool f64_from_parts(bool positive, std::uint64_t significand, int exponent, double& out);
  bool ignore_integer();
  bool ignore_decimal();
  bool ignore_exponent();

  // Separators.
  Next next_member(bool& first, char close, std::string_view eof, std::string_view comma_or_end,
                   char& c);
  bool end_array();
  bool end_object();

  // A refusal: the message, and the byte index its position is computed at once known.
  struct Failure {
    std::string message;
    std::optional<std::size_t> index;
  };

  std::string_view in_;
  std::size_t k_ = 0;
  std::optional<Failure> failure_;
};

}  // namespace orvo::store
