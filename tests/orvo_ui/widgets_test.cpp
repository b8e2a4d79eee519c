#include "orvo_ui/widgets.hpp"

#include <gtest/gtest.h>

#include "orvo_ui/fixtures.hpp"

namespace orvo::ui {
namespace {

using test::rows;

const std::vector<Constraint> kScreenRows = {Constraint::length(1), Constraint::min(5),
                                             Constraint::length(1), Constraint::length(2)};
const std::vector<Constraint> kDialogRows = {Constraint::percentage(29), Constraint::percentage(42),
                                             Constraint::percentage(29)};
const std::vector<Constraint> kDialogCols = {Constraint::percentage(18), Constraint::percentage(64),
                                             Constraint::percentage(18)};

// The cells of row `y` one by one.
std::vector<std::string> cells(const Buffer& buf, std::uint16_t y) {
  std::vector<std::string> out;
  for (std::uint16_t x = buf.area().x; x < buf.area().right(); ++x) {
    out.push_back(buf.at(x, y).symbol);
  }
  return out;
}

TEST(Layout, ScreenRowsKeepMinFiveAheadOfTheFixedRows) {
  struct Span1 {
    std::uint16_t y;
    std::uint16_t h;
  };
  struct Case {
    std::uint16_t height;
    Span1 header, list, context, help;
  };
  const Case cases[] = {
      {24, {0, 1}, {1, 20}, {21, 1}, {22, 2}}, {30, {0, 1}, {1, 26}, {27, 1}, {28, 2}},
      {10, {0, 1}, {1, 6}, {7, 1}, {8, 2}},    {9, {0, 1}, {1, 5}, {6, 1}, {7, 2}},
      {8, {0, 1}, {1, 5}, {6, 1}, {7, 1}},     {7, {0, 1}, {1, 5}, {6, 1}, {7, 0}},
      {6, {0, 1}, {1, 5}, {6, 0}, {6, 0}},     {5, {0, 0}, {0, 5}, {5, 0}, {5, 0}},
      {4, {0, 0}, {0, 4}, {4, 0}, {4, 0}},     {3, {0, 0}, {0, 3}, {3, 0}, {3, 0}},
      {2, {0, 0}, {0, 2}, {2, 0}, {2, 0}},     {1, {0, 0}, {0, 1}, {1, 0}, {1, 0}},
      {0, {0, 0}, {0, 0}, {0, 0}, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.height);
    const std::vector<Rect> got = split(Rect{0, 0, 80, c.height}, Direction::Vertical, kScreenRows);
    ASSERT_EQ(got.size(), 4u);
    const Span1 want[] = {c.header, c.list, c.context, c.help};
    for (std::size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(got[i], (Rect{0, want[i].y, 80, want[i].h})) << "segment " << i;
    }
  }
}

TEST(Layout, DialogIsTheMiddleOfPercentageBands) {
  struct Case {
    std::uint16_t width, height;
    std::uint16_t rows[3][2];
    std::uint16_t cols[3][2];
    Rect dialog;
  };
  const Case cases[] = {
      {80, 24, {{0, 7}, {7, 10}, {17, 7}}, {{0, 14}, {14, 52}, {66, 14}}, {14, 7, 52, 10}},
      {100, 30, {{0, 9}, {9, 12}, {21, 9}}, {{0, 18}, {18, 64}, {82, 18}}, {18, 9, 64, 12}},
      {40, 10, {{0, 3}, {3, 4}, {7, 3}}, {{0, 7}, {7, 26}, {33, 7}}, {7, 3, 26, 4}},
      {120, 40, {{0, 12}, {12, 16}, {28, 12}}, {{0, 22}, {22, 76}, {98, 22}}, {22, 12, 76, 16}},
      {200, 50, {{0, 15}, {15, 21}, {36, 14}}, {{0, 36}, {36, 128}, {164, 36}}, {36, 15, 128, 21}},
      {20, 5, {{0, 1}, {1, 3}, {4, 1}}, {{0, 4}, {4, 12}, {16, 4}}, {4, 1, 12, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    const Rect screen{0, 0, c.width, c.height};
    const std::vector<Rect> bands = split(screen, Direction::Vertical, kDialogRows);
    const std::vector<Rect> cols = split(screen, Direction::Horizontal, kDialogCols);
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(bands[i], (Rect{0, c.rows[i][0], c.width, c.rows[i][1]}));
      EXPECT_EQ(cols[i], (Rect{c.cols[i][0], 0, c.cols[i][1], c.height}));
    }
    EXPECT_EQ(split(bands[1], Direction::Horizontal, kDialogCols)[1], c.dialog);
  }
}

TEST(Layout, SegmentsStartAtTheAreaOrigin) {
  const std::vector<Rect> got =
      split(Rect{3, 5, 10, 20}, Direction::Horizontal, {Constraint::length(4), Constraint::min(2)});
  EXPECT_EQ(got[0], (Rect{3, 5, 4, 20}));
  EXPECT_EQ(got[1], (Rect{7, 5, 6, 20}));
  const std::vector<Rect> lengths = split(Rect{0, 2, 10, 10}, Direction::Vertical,
                                          {Constraint::length(3), Constraint::length(4)});
  EXPECT_EQ(lengths[0], (Rect{0, 2, 10, 3}));
  EXPECT_EQ(lengths[1], (Rect{0, 5, 10, 4})) << "unused space stays after the last segment";
}

TEST(BufferSetString, OneCellPerCharacterTwoForWideOnesCutAtTheLimit) {
  struct Case {
    const char* name;
    std::string text;
    std::uint16_t max_width;
    std::vector<std::string> cells;
    std::uint16_t end_x;
  };
  const std::vector<Case> cases = {
      {"ascii", "ab", 10, {"a", "b", " ", " ", " ", " "}, 2},
      {"symbols", "▼›→▋∅·—", 10, {"▼", "›", "→", "▋", "∅", "·"}, 6},
      {"cut at max width", "abcdef", 3, {"a", "b", "c", " ", " ", " "}, 3},
      {"wide takes two cells", "a日b", 10, {"a", "日", "", "b", " ", " "}, 4},
      {"wide that does not fit ends the text", "abcde日", 10, {"a", "b", "c", "d", "e", " "}, 5},
      {"wide cut by max width", "a日", 2, {"a", " ", " ", " ", " ", " "}, 1},
      {"control characters dropped", "a\tb\x1b[c\n\x7f", 10, {"a", "b", "[", "c", " ", " "}, 4},
      {"invalid bytes become U+FFFD",
       "a\xFF\xE2\x96z",
       10,
       {"a", "\uFFFD", "\uFFFD", "z", " ", " "},
       4},
      {"combining mark joins its character",
       "e\u0301x",
       10,
       {"e\u0301", "x", " ", " ", " ", " "},
       2},
      {"mark with nothing before it dropped", "\u0301x", 10, {"x", " ", " ", " ", " ", " "}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Buffer buf(Rect{0, 0, 6, 1});
    EXPECT_EQ(buf.set_string(0, 0, c.text, Style{}, c.max_width), c.end_x);
    EXPECT_EQ(cells(buf, 0), c.cells);
  }
}

TEST(BufferSetString, MeasuresEachCharacterAsTheTerminalDoes) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> cells;
  };
  const std::string e_with_six_accents = "e\u0301\u0301\u0301\u0301\u0301\u0301";
  const std::vector<Case> cases = {
      {"wide geometric emoji", "🟠x", {"🟠", "", "x", " "}},
      {"wide hexagram", "\u4DC0x", {"\u4DC0", "", "x", " "}},
      {"wide ideograph", "日x", {"日", "", "x", " "}},
      {"Thai vowel mark joins its consonant", "กั-x", {"กั", "-", "x", " "}},
      {"Devanagari virama joins its consonant", "क्षx", {"क्", "ष", "x", " "}},
      {"Hebrew point joins its letter", "אָבx", {"אָ", "ב", "x", " "}},
      {"Hangul vowel joins its leading consonant", "\u1100\u1161x", {"\u1100\u1161", "", "x", " "}},
      {"text-style emoji takes one cell", "🌡x", {"🌡", "x", " ", " "}},
      {"a cell keeps four marks",
       e_with_six_accents + "x",
       {"e\u0301\u0301\u0301\u0301", "x", " ", " "}},
      {"control characters dropped", "a\a\x7F" + std::string(1, '\0') + "b", {"a", "b", " ", " "}},
      // glibc's wcwidth gives -1 for an unassigned code point and for U+2028, as macOS's gives
      // it for characters newer than its tables.
      {"unmeasurable characters are U+FFFD", "a\u0378\u2028b", {"a", "\uFFFD", "\uFFFD", "b"}},
      {"an unmeasurable character's marks go with it", "\u0378\u0301x", {"\uFFFD", "x", " ", " "}},
      {"joined emoji drawn as its parts", "👨\u200D💻", {"👨", "", "💻", ""}},
      {"a joiner ends the marks", "e\u0301\u200D\u0301x", {"e\u0301", "x", " ", " "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Buffer buf(Rect{0, 0, 4, 1});
    buf.set_string(0, 0, c.text, Style{});
    EXPECT_EQ(cells(buf, 0), c.cells);
  }
}

TEST(BufferSetString, StaysInsideTheBufferAndPatchesStyle) {
  Buffer buf(Rect{2, 1, 4, 2});
  EXPECT_EQ(buf.set_string(2, 5, "xx", Style{}), 2) << "row below the buffer";
  buf.set_string(4, 1, "abcdef", Style{.fg = kCyan, .add = Modifier::Bold});
  EXPECT_EQ(buf.row_text(1), "  ab");
  EXPECT_EQ(buf.at(4, 1).fg, kCyan);
  EXPECT_EQ(buf.at(5, 1).modifier, Modifier::Bold);
  EXPECT_EQ(buf.at(3, 1), Cell{});
  EXPECT_EQ(buf.set_string(6, 2, "z", Style{}), 6) << "right of the buffer";
  EXPECT_EQ(buf.set_string(1, 2, "日ab", Style{}), 5) << "starting left of the buffer";
  EXPECT_EQ(buf.row_text(2), " ab ");
}

TEST(BufferSetString, WritesNeverLeaveHalfAWideCharacter) {
  struct Case {
    const char* name;
    std::uint16_t x;
    std::string text;
    std::vector<std::string> cells;
  };
  // Each case starts from "日本" in cells 0-3.
  const Case cases[] = {
      {"over the second half", 1, "a", {" ", "a", "本", "", " "}},
      {"over the first half", 2, "b", {"日", "", "b", " ", " "}},
      {"wide over two halves", 1, "字", {" ", "字", "", " ", " "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Buffer buf(Rect{0, 0, 5, 1});
    buf.set_string(0, 0, "日本", Style{});
    buf.set_string(c.x, 0, c.text, Style{});
    EXPECT_EQ(cells(buf, 0), c.cells);
  }
  Buffer buf(Rect{0, 0, 5, 1});
  buf.set_string(0, 0, "日本", Style{});
  buf.reset(Rect{1, 0, 2, 1});
  EXPECT_EQ(cells(buf, 0), (std::vector<std::string>{" ", " ", " ", " ", " "}));
}

TEST(Style, LaterStyleReplacesOnlyWhatItSets) {
  Cell cell;
  cell.set_style(Style{.fg = kYellow, .bg = kCyan, .add = Modifier::Bold | Modifier::Italic});
  cell.set_style(Style{.fg = kWhite, .sub = Modifier::Italic});
  EXPECT_EQ(cell.fg, kWhite);
  EXPECT_EQ(cell.bg, kCyan);
  EXPECT_EQ(cell.modifier, Modifier::Bold);

  const Style patched =
      Style{.fg = kGray, .add = Modifier::Bold}.patch(Style{.bg = kBlack, .sub = Modifier::Bold});
  EXPECT_EQ(patched, (Style{.fg = kGray, .bg = kBlack, .sub = Modifier::Bold}));
}

TEST(DisplayWidth, CountsCellsNotBytes) {
  EXPECT_EQ(display_width("▼ ∅ · —"), 7u);
  EXPECT_EQ(display_width("日本"), 4u);
  EXPECT_EQ(display_width("e\u0301\t"), 1u);
  EXPECT_EQ(display_width("🟠x กั🌡"), 6u);
  EXPECT_EQ(display_width("a\u0378"), 2u);
}

TEST(Block, AllBordersWithTitleCutToTheTopEdge) {
  Buffer buf(Rect{0, 0, 8, 4});
  const Block block{.title = " Title long ", .border_style = Style{.fg = kCyan}};
  block.render(buf.area(), buf);
  EXPECT_EQ(rows(buf), (std::vector<std::string>{"┌ Title┐", "│      │", "│      │", "└──────┘"}));
  EXPECT_EQ(buf.at(2, 0).fg, kCyan) << "the title takes the border's style";
  EXPECT_EQ(buf.at(0, 2).fg, kCyan);
  EXPECT_EQ(buf.at(3, 2).fg, kReset);
  EXPECT_EQ(block.inner(Rect{0, 0, 8, 4}), (Rect{1, 1, 6, 2}));
  EXPECT_EQ(block.inner(Rect{5, 5, 1, 1}), (Rect{6, 6, 0, 0}));
}

TEST(Block, TopBorderOnlyIsARule) {
  Buffer buf(Rect{0, 0, 5, 2});
  const Block block{.borders = Borders::Top};
  block.render(buf.area(), buf);
  EXPECT_EQ(rows(buf), (std::vector<std::string>{"─────", ""}));
  EXPECT_EQ(block.inner(buf.area()), (Rect{0, 1, 5, 1}));
}

TEST(Block, DegenerateAreasDrawWhatFits) {
  Buffer buf(Rect{0, 0, 3, 3});
  const Block block{.title = "x"};
  block.render(Rect{0, 0, 1, 1}, buf);
  EXPECT_EQ(buf.row_text(0), "┘  ");
  block.render(Rect{0, 1, 2, 2}, buf);
  EXPECT_EQ(rows(buf), (std::vector<std::string>{"┘", "┌┐", "└┘"}));
  block.render(Rect{0, 0, 0, 3}, buf);
}

TEST(Paragraph, LinesAreCutAtTheRightEdgeAndTheBottom) {
  Buffer buf(Rect{0, 0, 6, 2});
  Paragraph{.lines = {Line("abcdefgh"), Line(std::vector<Span>{{"x", {}}, {"yz", {.fg = kGreen}}}),
                      Line("hidden")}}
      .render(buf.area(), buf);
  EXPECT_EQ(rows(buf), (std::vector<std::string>{"abcdef", "xyz"}));
  EXPECT_EQ(buf.at(1, 1).fg, kGreen);
  EXPECT_EQ(buf.at(0, 1).fg, kReset);
}

TEST(Paragraph, StyleCoversTheWholeAreaThenSpansPatchOnTop) {
  Buffer buf(Rect{0, 0, 6, 2});
  Paragraph{.lines = {Line(std::vector<Span>{{"ab", {.fg = kWhite}}})},
            .style = Style{.fg = kDarkGray, .bg = kBlack},
            .block = Block{.borders = Borders::Top}}
      .render(buf.area(), buf);
  EXPECT_EQ(rows(buf), (std::vector<std::string>{"──────", "ab"}));
  EXPECT_EQ(buf.at(0, 0).fg, kDarkGray) << "the rule takes the paragraph's style";
  EXPECT_EQ(buf.at(0, 1).fg, kWhite);
  EXPECT_EQ(buf.at(0, 1).bg, kBlack);
  EXPECT_EQ(buf.at(5, 1).fg, kDarkGray);
}

TEST(Paragraph, WrapBreaksAtBlanksAndTrimsLeadingBlanks) {
  const std::string help =
      "j/k move · enter select · n new-wt · p pi · e editor · b quick-base · a add · d del-wt · "
      "r refresh · q quit";
  struct Case {
    std::string text;
    std::uint16_t width;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {help,
       80,
       {"j/k move · enter select · n new-wt · p pi · e editor · b quick-base · a add · d",
        "del-wt · r refresh · q quit"}},
      {help,
       100,
       {"j/k move · enter select · n new-wt · p pi · e editor · b quick-base · a add · d del-wt · "
        "r refresh ·",
        "q quit"}},
      {help, 107, {help}},
      {help, 120, {help}},
      {help,
       40,
       {"j/k move · enter select · n new-wt · p", "pi · e editor · b quick-base · a add · d",
        "del-wt · r refresh · q quit"}},
      {"name/base · Tab switch · Enter create+pi · Ctrl-p create only · Ctrl-b pick base · Esc",
       80,
       {"name/base · Tab switch · Enter create+pi · Ctrl-p create only · Ctrl-b pick base",
        "· Esc"}},
      {"  ab  cd ef", 5, {"ab", "cd ef"}},
      {"ab cd", 5, {"ab cd"}},
      {"abcdefghij xy", 4, {"abcd", "efgh", "ij", "xy"}},
      {"ab abcdefg", 4, {"ab", "abcd", "efg"}},
      {"ab  cd   ", 10, {"ab  cd"}},
      {"   ", 4, {""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.text << " @" << c.width);
    Buffer buf(Rect{0, 0, c.width, 5});
    Paragraph{.lines = {Line(c.text)}, .wrap = true}.render(buf.area(), buf);
    std::vector<std::string> want = c.lines;
    want.resize(5);
    EXPECT_EQ(rows(buf), want);
  }
}

TEST(TextLines, AreTheTextsLinesInOneStyle) {
  std::vector<std::string> got;
  for (const Line& line : text_lines("a\r\n\nb\n", Style{.fg = kYellow})) {
    ASSERT_EQ(line.spans.size(), 1u);
    EXPECT_EQ(line.spans[0].style, Style{.fg = kYellow});
    got.push_back(line.spans[0].content);
  }
  EXPECT_EQ(got, (std::vector<std::string>{"a", "", "b"}));
}

TEST(Paragraph, WrappedLinesBeyondTheBottomAreCut) {
  Buffer buf(Rect{0, 0, 3, 1});
  Paragraph{.lines = {Line("aa bb cc"), Line("dd")}, .wrap = true}.render(buf.area(), buf);
  EXPECT_EQ(rows(buf), (std::vector<std::string>{"aa"}));
}

struct ListFixture {
  List list;
  Buffer buf{Rect{0, 0, 12, 6}};

  explicit ListFixture(std::size_t count) {
    list.block = Block{};
    list.highlight_symbol = "› ";
    list.highlight_style = Style{.bg = Color::rgb(40, 44, 52), .add = Modifier::Bold};
    for (std::size_t i = 0; i < count; ++i) {
      list.items.emplace_back(std::vector<Span>{{"row" + std::to_string(i), {.fg = kWhite}}});
    }
  }
};

TEST(List, WindowShowsTheFirstRowsUntilTheSelectionMustEndIt) {
  struct Case {
    std::size_t count;
    std::optional<std::size_t> selected;
    std::size_t first_shown;
    std::optional<std::size_t> clamped;
  };
  // Inner height is 4.
  const Case cases[] = {
      {10, 0, 0, 0},
      {10, 3, 0, 3},
      {10, 4, 1, 4},
      {10, 9, 6, 9},
      {10, 42, 6, 9},
      {3, 2, 0, 2},
      {3, std::nullopt, 0, {}},
      {0, 2, 0, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.count << " rows, selected " << c.selected.value_or(999));
    ListFixture f(c.count);
    ListState state{.selected = c.selected};
    f.list.render(f.buf.area(), f.buf, state);
    EXPECT_EQ(state.selected, c.clamped);
    EXPECT_EQ(state.offset, c.first_shown);
    const std::vector<std::string> shown = rows(f.buf);
    for (std::size_t r = 0; r < 4; ++r) {
      const std::size_t index = c.first_shown + r;
      const bool selected = c.clamped == index;
      std::string want = "│";
      if (index < c.count) {
        want += c.clamped ? (selected ? "› " : "  ") : "";
        want += "row" + std::to_string(index);
      }
      EXPECT_EQ(shown[r + 1].substr(0, want.size()), want) << "row " << r;
    }
  }
}

TEST(List, SelectedRowGetsTheHighlightOverItsWholeWidth) {
  ListFixture f(3);
  ListState state{.selected = 1};
  f.list.render(f.buf.area(), f.buf, state);
  for (std::uint16_t x = 1; x <= 10; ++x) {
    SCOPED_TRACE(x);
    EXPECT_EQ(f.buf.at(x, 2).bg, Color::rgb(40, 44, 52));
    EXPECT_EQ(f.buf.at(x, 2).modifier, Modifier::Bold);
    EXPECT_EQ(f.buf.at(x, 1).bg, kReset);
  }
  EXPECT_EQ(f.buf.at(3, 2).fg, kWhite) << "span colours stay under the highlight";
  EXPECT_EQ(f.buf.at(11, 2).bg, kReset) << "the border is not highlighted";
  EXPECT_EQ(f.buf.at(1, 1).symbol, " ");
}

TEST(Clear, ResetsEveryCellOfItsArea) {
  Buffer buf(Rect{0, 0, 4, 2});
  buf.set_string(0, 0, "abcd", Style{.fg = kCyan});
  buf.set_string(0, 1, "efgh", Style{.fg = kCyan});
  clear(Rect{1, 0, 2, 5}, buf);
  EXPECT_EQ(rows(buf), (std::vector<std::string>{"a  d", "e  h"}));
  EXPECT_EQ(buf.at(1, 1), Cell{});
  EXPECT_EQ(buf.at(3, 1).fg, kCyan);
}

}  // namespace
}  // namespace orvo::ui
