#include "orvo_store/json_scanner.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "orvo_sys/text.hpp"

namespace orvo::store {
namespace {

TEST(FloatText, ShortestDigitsWithAPointOrAnExponent) {
  struct Case {
    double value;
    std::string text;
  };
  const Case cases[] = {
      {1.5, "1.5"},
      {1e3, "1000.0"},
      {-0.0, "-0.0"},
      {-2.5, "-2.5"},
      {0.0001, "0.0001"},
      {0.00001, "0.00001"},
      {0.000001, "1e-6"},
      {1e-7, "1e-7"},
      {1e15, "1000000000000000.0"},
      {1e16, "1e+16"},
      {1.5e300, "1.5e+300"},
      {18446744073709551616.0, "1.8446744073709552e+19"},
      {0.1 + 0.2, "0.30000000000000004"},
      {123.456, "123.456"},
      {42.0, "42.0"},
      {-100.0, "-100.0"},
      {9007199254740993.0, "9007199254740992.0"},
      {123456789012345680.0, "1.2345678901234568e+17"},
      {0.000012345, "0.000012345"},
      {0.0000012345, "1.2345e-6"},
      {-1e-7, "-1e-7"},
      {1e21, "1e+21"},
      {2.5e-300, "2.5e-300"},
      {5e-324, "5e-324"},
      {1.7976931348623157e308, "1.7976931348623157e+308"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(float_text(c.value), c.text);
  }
}

TEST(FloatText, ReadsBackAsTheSameDouble) {
  std::mt19937_64 bits(17);
  for (int i = 0; i < 10000; ++i) {
    const std::uint64_t pattern = bits();
    double value = 0;
    std::memcpy(&value, &pattern, sizeof value);
    if (!std::isfinite(value)) {
      continue;
    }
    const std::string text = float_text(value);
    SCOPED_TRACE(text);
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), value);
  }
}

// What the scanner is asked to do with a text that holds one value.
enum class Step {
  String,  // decode the string
  Name,    // name the value, as where a string was expected
  Skip,    // step over the value, then expect the end of the text
};

// The outcome of `step` over `text`: the decoded string quoted, "skipped", or the refusal with
// its position.
std::string scanned(Step step, std::string_view text) {
  JsonScanner scan(text);
  std::string decoded;
  bool ok = false;
  switch (step) {
    case Step::String:
      ok = scan.value_start() == '"';
      if (ok) {
        scan.eat();
        ok = scan.parse_string(decoded);
      }
      break;
    case Step::Name:
      ok = scan.value_start() && scan.invalid_type("a string");
      break;
    case Step::Skip:
      ok = scan.skip_value() && scan.end_of_text();
      break;
  }
  if (!ok) {
    const ScanRefusal refusal = scan.refusal();
    return fmt::format("{} at line {} column {}", refusal.message, refusal.line, refusal.column);
  }
  return step == Step::Skip ? "skipped" : sys::debug_quoted(decoded);
}

TEST(JsonScanner, ReadsOrRefusesWithTheMessageAndPosition) {
  struct Case {
    std::string note;
    Step step;
    std::string text;
    std::string outcome;
  };
  const Case cases[] = {
      // Strings and their escapes.
      {"escapes", Step::String, R"("a\"b\\\/\b\f\n\r\t")", R"("a\"b\\/\u{8}\u{c}\n\r\t")"},
      {"surrogate pair", Step::String, R"("\uD83D\uDE00\u00e9x")", R"("😀éx")"},
      {"eof in string", Step::String, R"("ab)", "EOF while parsing a string at line 1 column 3"},
      {"eof after backslash", Step::String, R"("a\)",
       "EOF while parsing a string at line 1 column 3"},
      {"invalid escape", Step::String, R"("a\qb")", "invalid escape at line 1 column 4"},
      {"invalid hex escape", Step::String, R"("\u12G4")", "invalid escape at line 1 column 7"},
      {"lone trailing surrogate", Step::String, R"("\uDC00")",
       "lone leading surrogate in hex escape at line 1 column 7"},
      {"unpaired leading surrogate", Step::String, R"("\uD800\u0041")",
       "lone leading surrogate in hex escape at line 1 column 13"},
      {"leading surrogate at end", Step::String, R"("\uD800")",
       "unexpected end of hex escape at line 1 column 8"},
      {"hex escape cut short", Step::String, R"("\u12)",
       "EOF while parsing a string at line 1 column 5"},
      {"leading surrogate then a character", Step::String, R"("\uD800x")",
       "unexpected end of hex escape at line 1 column 8"},
      {"leading surrogate then another escape", Step::String, R"("\uD800\n")",
       "unexpected end of hex escape at line 1 column 9"},
      {"raw tab in string", Step::String, "\"a\tb\"",
       "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 3"},
      {"raw line feed in string", Step::String, "\"a\nb\"",
       "control character (\\u0000-\\u001F) found while parsing a string at line 2 column 0"},

      // Values named where another was expected, and numbers that do not read.
      {"minus zero", Step::Name, "-0",
       "invalid type: floating point `-0.0`, expected a string at line 1 column 2"},
      {"negative", Step::Name, "-5",
       "invalid type: integer `-5`, expected a string at line 1 column 2"},
      {"most negative integer", Step::Name, "-9223372036854775808",
       "invalid type: integer `-9223372036854775808`, expected a string at line 1 column 20"},
      {"below the integers", Step::Name, "-9223372036854775809",
       "invalid type: floating point `-9.223372036854776e+18`, expected a string at line 1 column "
       "20"},
      {"big float", Step::Name, "1e16",
       "invalid type: floating point `1e+16`, expected a string at line 1 column 4"},
      {"beyond u64", Step::Name, "18446744073709551616",
       "invalid type: floating point `1.8446744073709552e+19`, expected a string at line 1 column "
       "20"},
      {"underflow", Step::Name, "1e-400",
       "invalid type: floating point `0.0`, expected a string at line 1 column 6"},
      {"zero with a huge exponent", Step::Name, "0e99999999999",
       "invalid type: floating point `0.0`, expected a string at line 1 column 13"},
      {"leading zero", Step::Name, "01", "invalid number at line 1 column 2"},
      {"fraction without digits", Step::Name, "1.}", "invalid number at line 1 column 3"},
      {"long integer's fraction without digits", Step::Name, "20000000000000000000.}",
       "invalid number at line 1 column 22"},
      {"long integer's fraction at the end", Step::Name, "20000000000000000000.",
       "EOF while parsing a value at line 1 column 21"},
      {"huge number", Step::Name, "1e400}", "number out of range at line 1 column 5"},
      {"minus without digits", Step::Name, "-x", "invalid number at line 1 column 2"},
      {"exponent without digits", Step::Name, "1ex}", "invalid number at line 1 column 3"},
      {"misspelt true", Step::Name, "trux", "expected ident at line 1 column 4"},
      {"broken null", Step::Name, "nul}", "expected ident at line 1 column 4"},
      {"not json", Step::Name, "x", "expected value at line 1 column 1"},
      {"nothing", Step::Name, " \n ", "EOF while parsing a value at line 2 column 1"},

      // Values stepped over, at any depth.
      {"nested", Step::Skip, R"( [{"a":[1,{"b":null}],"c":"d\u00e9"},-0.5e-3,true,false] )",
       "skipped"},
      {"trailing comma in list", Step::Skip, "[\n  1,\n  ]", "expected value at line 3 column 3"},
      {"missing colon", Step::Skip, R"({"a" 1})", "expected `:` at line 1 column 6"},
      {"missing comma in object", Step::Skip, R"({"a":1 "b":2})",
       "expected `,` or `}` at line 1 column 8"},
      {"eof in list", Step::Skip, "[[", "EOF while parsing a list at line 1 column 2"},
      {"eof in object", Step::Skip, R"({"a":{)", "EOF while parsing an object at line 1 column 6"},
      {"eof after key", Step::Skip, R"({"a")", "EOF while parsing an object at line 1 column 4"},
      {"trailing characters", Step::Skip, "[1]]", "trailing characters at line 1 column 4"},
      {"control character", Step::Skip, "\"a\tb\"",
       "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 2"},
      {"invalid escape", Step::Skip, R"("\q")", "invalid escape at line 1 column 3"},
      {"invalid hex escape", Step::Skip, R"("\u12G4")", "invalid escape at line 1 column 7"},
      {"leading zero", Step::Skip, "01", "invalid number at line 1 column 2"},
      {"fraction without digits", Step::Skip, "1.e5", "invalid number at line 1 column 3"},
      {"exponent without digits", Step::Skip, "1e+", "invalid number at line 1 column 3"},
      {"minus alone", Step::Skip, "-", "invalid number at line 1 column 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    EXPECT_EQ(scanned(c.step, c.text), c.outcome);
  }
}

}  // namespace
}  // namespace orvo::store
