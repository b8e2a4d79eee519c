#include "orvo_sys/text.hpp"

#include <gtest/gtest.h>

namespace orvo::sys {
namespace {

constexpr const char* kFffd = "\xEF\xBF\xBD";

TEST(LossyUtf8, ReplacesEachMaximalInvalidSubsequenceOnce) {
  const std::string r = kFffd;
  struct Case {
    std::string input;
    std::string expected;
  };
  const Case cases[] = {
      {"plain ascii", "plain ascii"},
      {"caf\xC3\xA9 \xE2\x96\xBC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x96\xBC \xF0\x9F\x98\x80"},
      {"a\xFF"
       "b",
       "a" + r + "b"},
      // A truncated three- and four-byte sequence is one replacement each.
      {"x\xE2\x96", "x" + r},
      {"\xF0\x9F\x98"
       "z",
       r + "z"},
      // Overlong forms and surrogates: every byte is its own invalid subsequence.
      {"\xC0\xAF", r + r},
      {"\xE0\x80\xAF", r + r + r},
      {"\xED\xA0\x80", r + r + r},
      // Above U+10FFFF.
      {"\xF4\x90\x80\x80", r + r + r + r},
      // A lone continuation byte, and a lead byte interrupted by a valid character.
      {"\x80", r},
      {"\xE2"
       "A",
       r + "A"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(lossy_utf8(c.input), c.expected);
    EXPECT_EQ(is_valid_utf8(c.input), c.input == c.expected);
  }
}

TEST(IsValidUtf8, FindsAnInvalidSequenceAnywhereInALongAsciiText) {
  struct Case {
    std::string bytes;
    bool valid;
  };
  const Case cases[] = {
      {"\xC3\xA9", true},
      {"\xF0\x9F\x98\x80", true},
      {"\xFF", false},
      {"\x80", false},
      {"\xE2\x96", false},
      {"\xED\xA0\x80", false},
      {"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3", false},
  };
  for (const Case& c : cases) {
    for (std::size_t before = 0; before <= 17; ++before) {
      for (const std::size_t after : {0, 1, 7, 8, 9, 16}) {
        const std::string text = std::string(before, 'a') + c.bytes + std::string(after, 'z');
        SCOPED_TRACE(text);
        EXPECT_EQ(is_valid_utf8(text), c.valid);
      }
    }
  }
}

TEST(TrimWhiteSpace, RemovesUnicodeOrAsciiWhiteSpaceAtBothEnds) {
  struct Case {
    std::string text;
    std::string trimmed;
    std::string ascii_trimmed;
  };
  const Case cases[] = {
      {"  main\n", "main", "main"},
      {"\t\r\n", "", ""},
      {"\v\fa b\f\v", "a b", "a b"},
      {"\xE3\x80\x80"
       "a b\xC2\xA0",
       "a b",
       "\xE3\x80\x80"
       "a b\xC2\xA0"},
      {"\xC2\x85x\xE2\x80\xA8", "x", "\xC2\x85x\xE2\x80\xA8"},
      {" \xC2\xA0x\xC2\xA0\n", "x", "\xC2\xA0x\xC2\xA0"},
      {"\xE2\x80\x8Bx", "\xE2\x80\x8Bx", "\xE2\x80\x8Bx"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(trim_white_space(c.text), c.trimmed);
    EXPECT_EQ(trim_ascii_white_space(c.text), c.ascii_trimmed);
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
}  // namespace orvo::sys
