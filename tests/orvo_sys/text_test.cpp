#include "orvo_sys/text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

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

TEST(LastCharStart, StepsBackOverAtMostThreeContinuationBytes) {
  struct Case {
    std::string text;
    std::size_t start;
  };
  const Case cases[] = {
      {"", 0},          {"ab", 1},
      {"a\xC3\xA9", 1}, {"a\xF0\x9F\x98\x80", 1},
      {"\xE2\x96", 0},  {"ab\x80\x80\x80\x80", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    EXPECT_EQ(last_char_start(c.text), c.start);
  }
}

TEST(CharacterClasses, SortScalarValuesControlsAndWhiteSpace) {
  struct Case {
    char32_t code;
    bool scalar;
    bool control;
    bool white_space;
  };
  const Case cases[] = {
      {U'a', true, false, false},     {0x00, true, true, false},       {0x09, true, true, true},
      {0x0D, true, true, true},       {0x1F, true, true, false},       {0x20, true, false, true},
      {0x7F, true, true, false},      {0x85, true, true, true},        {0x9F, true, true, false},
      {0xA0, true, false, true},      {0x1680, true, false, true},     {0x200A, true, false, true},
      {0x200B, true, false, false},   {0x2028, true, false, true},     {0x202F, true, false, true},
      {0x205F, true, false, true},    {0x3000, true, false, true},     {0xD7FF, true, false, false},
      {0xD800, false, false, false},  {0xDFFF, false, false, false},   {0xE000, true, false, false},
      {0x10FFFF, true, false, false}, {0x110000, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<unsigned>(c.code));
    EXPECT_EQ(is_scalar_value(c.code), c.scalar);
    EXPECT_EQ(is_control(c.code), c.control);
    EXPECT_EQ(is_white_space(c.code), c.white_space);
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

TEST(TrimStartIf, DropsLeadingCharactersThatMatch) {
  const auto colon_or_blank = [](char32_t c) { return c == ':' || is_white_space(c); };
  EXPECT_EQ(trim_start_if(" :\xE3\x80\x80:30 ", colon_or_blank), "30 ");
  EXPECT_EQ(trim_start_if("\xC2\xA0x", is_white_space), "x");
  EXPECT_EQ(trim_start_if("::", colon_or_blank), "");
  EXPECT_EQ(trim_start_if(" \xFF ", is_white_space), "\xFF ");
}

TEST(SplitLines, SplitsAtLineFeeds) {
  struct Case {
    std::string text;
    std::vector<std::string_view> lines;
  };
  const Case cases[] = {
      {"", {}},
      {"one", {"one"}},
      {"a\nb", {"a", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\n\nb", {"a", "", "b"}},
      {"\n", {""}},
      {"a\r", {"a\r"}},
      {"a\r\r\nb", {"a\r", "b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    EXPECT_EQ(split_lines(c.text), c.lines);
  }
}

TEST(PathNames, AreTheNonEmptyComponentsOtherThanDot) {
  struct Case {
    std::string path;
    std::vector<std::string_view> names;
  };
  const Case cases[] = {
      {"", {}},
      {"/", {}},
      {".", {}},
      {"/a//b/", {"a", "b"}},
      {"./a/./b/.", {"a", "b"}},
      {"a/../.b", {"a", "..", ".b"}},
      {"//x", {"x"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(path_names(c.path), c.names);
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
