#include "orvo_store/json_text.hpp"

#include <gtest/gtest.h>

#include <cmath>

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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(float_text(c.value), c.text);
  }
}

TEST(DebugQuoted, EscapesControlAndInvisibleCharacters) {
  struct Case {
    std::string text;
    std::string quoted;
  };
  const Case cases[] = {
      {"plain", R"("plain")"},
      {"a\"b\\c", R"("a\"b\\c")"},
      {std::string("\t\n\r\0", 4), R"("\t\n\r\0")"},
      {"\x01\x1b\x7f", R"("\u{1}\u{1b}\u{7f}")"},
      {"\xC2\x85", R"("\u{85}")"},
      {"e\xCC\x81", R"("e\u{301}")"},
      {"\xE2\x80\x8B\xE2\x80\xA8", R"("\u{200b}\u{2028}")"},
      {"\xC3\xA9\xE6\x97\xA5\xC2\xA0'", "\"\xC3\xA9\xE6\x97\xA5\xC2\xA0'\""},
      {"\xFF", "\"\xEF\xBF\xBD\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.quoted);
    EXPECT_EQ(debug_quoted(c.text), c.quoted);
  }
}

}  // namespace
}  // namespace orvo::store
