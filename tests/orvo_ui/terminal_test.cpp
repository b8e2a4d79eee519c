#include "orvo_ui/terminal.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "orvo_ui/terminal_fixture.hpp"
#include "support/temp_dir.hpp"

namespace orvo::ui {

namespace {

using namespace std::chrono_literals;
using Kind = KeyCode::Kind;
using Mod = KeyModifiers;

std::size_t count(std::string_view haystack, std::string_view needle) {
  std::size_t n = 0;
  for (std::size_t at = haystack.find(needle); at != std::string_view::npos;
       at = haystack.find(needle, at + 1)) {
    ++n;
  }
  return n;
}

TEST(TerminalOpen, FailsWithAMessageInsteadOfExiting) {
  test::TempDir dir;
  Pty pty(20, 5);
  const int not_a_terminal = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  struct Case {
    const char* what;
    std::optional<std::string> term;
    TerminalConfig config;
    std::string message;
  } const cases[] = {
      {"no terminal", "xterm-256color", TerminalConfig{not_a_terminal, not_a_terminal},
       "Inappropriate ioctl for device (os error 25)"},
      {"no cursor addressing", "dumb", pty.config(),
       "terminal type \"dumb\" cannot place the cursor"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::ScopedEnv term("TERM", c.term);
    const auto opened = TerminalSession::open(c.config);
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error().message(), c.message);
  }
  ::close(not_a_terminal);
  EXPECT_EQ(pty.take_output(), "") << "a failed open leaves the terminal alone";
}

TEST(TerminalOpen, TakesXterm256colorWhereTermNamesNoTypeDescribedHere) {
  const std::optional<std::string> terms[] = {std::nullopt, "", "orvo-no-such-terminal"};
  for (const std::optional<std::string>& term : terms) {
    SCOPED_TRACE(term.value_or("unset"));
    test::ScopedEnv env("TERM", term);
    Pty pty(20, 5);
    auto session = TerminalSession::open(pty.config());
    ASSERT_TRUE(session) << session.error().message();
    EXPECT_NE(pty.take_output().find("\033[?1049h"), std::string::npos)
        << "xterm's alternate screen";
    const char* after = std::getenv("TERM");
    EXPECT_EQ(after != nullptr ? std::optional<std::string>(after) : std::nullopt, term)
        << "children get TERM as it was";
  }
}

TEST_F(TerminalTest, OnlyOneSessionIsOpenAtATime) {
  Pty other(20, 5);
  const auto second = TerminalSession::open(other.config());
  ASSERT_FALSE(second);
  EXPECT_EQ(second.error().message(), "a terminal session is already open");

  ASSERT_TRUE(session_->restore());
  auto reopened = TerminalSession::open(other.config());
  EXPECT_TRUE(reopened) << "a restored session no longer blocks a new one";
}

TEST_F(TerminalTest, OpeningSwitchesToTheAlternateScreenWithAHiddenCursor) {
  EXPECT_NE(opening_.find("\033[?1049h"), std::string::npos) << testing::PrintToString(opening_);
  EXPECT_NE(opening_.find("\033[?25l"), std::string::npos) << testing::PrintToString(opening_);
}

TEST_F(TerminalTest, ReportsTheTerminalSize) {
  EXPECT_EQ(session_->size(), (Rect{0, 0, 40, 10}));
}

TEST_F(TerminalTest, WritesOnlyCellsThatChanged) {
  const Rect area = session_->size();
  const Buffer first = text_frame(area, "hello world");
  ASSERT_TRUE(session_->draw(first));
  EXPECT_NE(pty_.take_output().find("hello world"), std::string::npos);

  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(session_->draw(first));
  }
  EXPECT_EQ(pty_.take_output(), "") << "an unchanged frame writes nothing";

  ASSERT_TRUE(session_->draw(text_frame(area, "hello World")));
  const std::string change = pty_.take_output();
  EXPECT_NE(change.find('W'), std::string::npos);
  EXPECT_EQ(change.find("hello"), std::string::npos) << change;
  EXPECT_LT(change.size(), 20u) << "one cell, not the frame";
}

TEST_F(TerminalTest, DrawsColoursAndAttributesOfTheCells) {
  Style style;
  style.fg = kCyan;
  style.bg = Color::rgb(40, 44, 52);
  style.add = Modifier::Bold;
  ASSERT_TRUE(session_->draw(text_frame(session_->size(), "Orvo", style)));
  const std::string out = pty_.take_output();
  EXPECT_NE(out.find("Orvo"), std::string::npos) << testing::PrintToString(out);
  EXPECT_NE(out.find("\033[0;1m"), std::string::npos) << "bold";
  EXPECT_NE(out.find("\033[36m"), std::string::npos) << "cyan is colour 6";
  EXPECT_NE(out.find("\033[48;5;236m"), std::string::npos) << "nearest of the 256 colours";
}

TEST(TerminalColors, NoColorLeavesOutColoursAndAttributes) {
  test::ScopedEnv term("TERM", "xterm-256color");
  test::ScopedEnv no_color("NO_COLOR", "1");
  Pty pty(40, 10);
  auto session = TerminalSession::open(pty.config());
  ASSERT_TRUE(session) << session.error().message();
  pty.take_output();
  Style style;
  style.fg = kCyan;
  style.bg = Color::rgb(40, 44, 52);
  style.add = Modifier::Bold;
  ASSERT_TRUE(session->draw(text_frame(session->size(), "Orvo", style)));
  const std::string out = pty.take_output();
  EXPECT_NE(out.find("Orvo"), std::string::npos);
  EXPECT_EQ(out.find(";1m"), std::string::npos) << "no bold";
  EXPECT_EQ(out.find("\033[3"), std::string::npos) << "no foreground colour";
  EXPECT_EQ(out.find("\033[4"), std::string::npos) << "no background colour";
}

TEST_F(TerminalTest, WideAndMultiByteSymbolsTakeTheirColumns) {
  Buffer frame(session_->size());
  frame.set_string(0, 0, "▼ ∅ ›", {});
  frame.at(10, 0).symbol = "界";
  frame.at(11, 0).symbol = "?";  // covered by the wide character, never written
  frame.at(12, 0).symbol = "x";
  frame.at(39, 0).symbol = "界";  // no room for two columns at the right edge
  frame.at(20, 0).symbol = "\x01";
  ASSERT_TRUE(session_->draw(frame));
  const std::string out = pty_.take_output();
  EXPECT_NE(out.find("▼ ∅ ›"), std::string::npos) << out;
  EXPECT_NE(out.find("界x"), std::string::npos) << out;
  EXPECT_EQ(count(out, "界"), 1u) << out;
  EXPECT_EQ(out.find('?'), std::string::npos) << out;
  EXPECT_NE(out.find("\uFFFD"), std::string::npos) << "a control character is shown as U+FFFD";
}

TEST_F(TerminalTest, DecodesTypedBytesIntoKeys) {
  struct Case {
    const char* bytes;
    KeyEvent expected;
  } const cases[] = {
      {"j", {KeyCode::character(U'j')}},
      {"J", {KeyCode::character(U'J'), Mod::Shift}},
      {"\xc3\xa4", {KeyCode::character(U'ä')}},
      {"\x10", {KeyCode::character(U'p'), Mod::Control}},
      {"\x03", {KeyCode::character(U'c'), Mod::Control}},
      {"\r", {Kind::Enter}},
      {"\t", {Kind::Tab}},
      {"\x7f", {Kind::Backspace}},
      {"\033", {Kind::Esc}},
      {"\033a", {KeyCode::character(U'a'), Mod::Alt}},
      {"\033A", {KeyCode::character(U'A'), Mod::Shift | Mod::Alt}},
      {"\033\r", {Kind::Enter, Mod::Alt}},
      {"\033[Z", {Kind::BackTab, Mod::Shift}},
      {"\033[A", {Kind::Up}},
      {"\033OB", {Kind::Down}},
      {"\033[C", {Kind::Right}},
      {"\033OD", {Kind::Left}},
      {"\033[H", {Kind::Home}},
      {"\033[1~", {Kind::Home}},
      {"\033OF", {Kind::End}},
      {"\033[4~", {Kind::End}},
      {"\033[5~", {Kind::PageUp}},
      {"\033[6~", {Kind::PageDown}},
      {"\033[3~", {Kind::Delete}},
      {"\033[2~", {Kind::Insert}},
      {"\033OP", {KeyCode::function(1)}},
      {"\033[15~", {KeyCode::function(5)}},
      {"\033[20~", {KeyCode::function(9)}},
      {"\033[1;5D", {Kind::Left, Mod::Control}},
      {"\033[1;2A", {Kind::Up, Mod::Shift}},
      {"\033[1;3B", {Kind::Down, Mod::Alt}},
      {"\033[3;5~", {Kind::Delete, Mod::Control}},
      {"\033[15;2~", {KeyCode::function(5), Mod::Shift}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
    pty_.type(c.bytes);
    const auto event = next_event();
    ASSERT_TRUE(event.has_value());
    ASSERT_TRUE(std::holds_alternative<KeyEvent>(*event));
    EXPECT_EQ(std::get<KeyEvent>(*event), c.expected);
    EXPECT_FALSE(next_event(0ms).has_value()) << "one key, nothing left over";
  }
}

TEST_F(TerminalTest, KeysTypedTogetherArriveInOrder) {
  pty_.type("ab\033[A\033");
  for (const KeyEvent& expected :
       {KeyEvent{KeyCode::character(U'a')}, KeyEvent{KeyCode::character(U'b')}, KeyEvent{Kind::Up},
        KeyEvent{Kind::Esc}}) {
    const auto event = next_event();
    ASSERT_TRUE(event.has_value());
    EXPECT_EQ(std::get<KeyEvent>(*event), expected);
  }
}

// The text of the paste that `event` must be.
std::string pasted(const std::optional<TerminalEvent>& event) {
  EXPECT_TRUE(event.has_value());
  const auto* paste = event ? std::get_if<PasteEvent>(&*event) : nullptr;
  EXPECT_NE(paste, nullptr) << "not a paste";
  return paste != nullptr ? paste->text : "";
}

TEST_F(TerminalTest, APasteArrivesAsOnePieceOfText) {
  struct Case {
    const char* what;
    std::string bytes;
    std::string text;
  } const cases[] = {
      {"keys of the main view", "\033[200~dy\033[201~", "dy"},
      {"line ends and tabs as pasted", "\033[200~a\r\nb\tc\033[201~", "a\r\nb\tc"},
      {"characters of every width", "\033[200~é日🟠\033[201~", "é日🟠"},
      {"a key sequence within it carries no text", "\033[200~a\033[Ab\033[201~", "ab"},
      {"empty", "\033[200~\033[201~", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    pty_.type(c.bytes);
    EXPECT_EQ(pasted(next_event()), c.text);
    EXPECT_FALSE(next_event(0ms).has_value()) << "one paste, nothing left over";
  }
}

TEST_F(TerminalTest, EscRightBeforeAPasteAndAStrayEndMarkStayWhatTheyAre) {
  pty_.type("\033\033[200~x\033[201~");
  auto event = next_event();
  ASSERT_TRUE(event.has_value());
  EXPECT_EQ(std::get<KeyEvent>(*event), KeyEvent{Kind::Esc});
  EXPECT_EQ(pasted(next_event()), "x");

  pty_.type("\033[201~j");
  event = next_event();
  ASSERT_TRUE(event.has_value());
  EXPECT_EQ(std::get<KeyEvent>(*event), KeyEvent{KeyCode::character(U'j')});
}

TEST_F(TerminalTest, APasteWhoseEndMarkNeverComesEndsWhenInputStops) {
  pty_.type("\033[200~dy");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(pasted(next_event()), "dy");
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, kPasteQuiet);
  EXPECT_LT(waited, kPasteQuiet + 1s);
  pty_.type("j");
  const auto event = next_event();
  ASSERT_TRUE(event.has_value());
  EXPECT_EQ(std::get<KeyEvent>(*event), KeyEvent{KeyCode::character(U'j')}) << "keys again";
}

TEST_F(TerminalTest, APasteKeepsAtMostItsLimitAndReadsTheRest) {
  // More than the terminal buffers at once: typed while the session reads.
  const std::string text(kMaxPasteBytes + 1000, 'x');
  std::thread typist([&] { pty_.type("\033[200~" + text + "\033[201~j"); });
  const std::string got = pasted(next_event(10s));
  typist.join();
  EXPECT_EQ(got, text.substr(0, kMaxPasteBytes));
  const auto event = next_event();
  ASSERT_TRUE(event.has_value());
  EXPECT_EQ(std::get<KeyEvent>(*event), KeyEvent{KeyCode::character(U'j')});
}

TEST_F(TerminalTest, BracketedPasteIsOnOnlyWhileTheScreenIsShown) {
  constexpr std::string_view kOn = "\033[?2004h";
  constexpr std::string_view kOff = "\033[?2004l";
  constexpr std::string_view kAlternate = "\033[?1049h";
  constexpr std::string_view kNormal = "\033[?1049l";
  EXPECT_GT(opening_.find(kOn), opening_.find(kAlternate)) << testing::PrintToString(opening_);

  ASSERT_TRUE(session_->suspend());
  const std::string left = pty_.take_output();
  EXPECT_LT(left.find(kOff), left.find(kNormal)) << testing::PrintToString(left);
  ASSERT_TRUE(session_->resume());
  EXPECT_EQ(pty_.take_output().find(kOn), std::string::npos) << "not before the screen is back";
  ASSERT_TRUE(session_->draw(text_frame(session_->size(), "back")));
  const std::string back = pty_.take_output();
  EXPECT_GT(back.find(kOn), back.find(kAlternate)) << testing::PrintToString(back);
  ASSERT_TRUE(session_->draw(text_frame(session_->size(), "back")));
  EXPECT_EQ(pty_.take_output(), "") << "switched on once";

  ASSERT_TRUE(session_->restore());
  const std::string restored = pty_.take_output();
  EXPECT_LT(restored.find(kOff), restored.find(kNormal)) << testing::PrintToString(restored);
}

TEST_F(TerminalTest, WaitsForTheTimeOutWhenNothingIsTyped) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(next_event(kEventWait).has_value());
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, 75ms);
  EXPECT_LT(waited, 400ms);
}

TEST_F(TerminalTest, ReportsAResizeWithTheNewSize) {
  pty_.set_size(60, 20);
  raise(SIGWINCH);
  const auto event = next_event();
  ASSERT_TRUE(event.has_value());
  EXPECT_EQ(std::get<ResizeEvent>(*event), (ResizeEvent{60, 20}));
  EXPECT_EQ(session_->size(), (Rect{0, 0, 60, 20}));
}

TEST_F(TerminalTest, TheFirstFrameAfterAResizeIsPaintedInFull) {
  ASSERT_TRUE(session_->draw(text_frame(session_->size(), "stays the same")));
  pty_.take_output();
  pty_.set_size(60, 20);
  raise(SIGWINCH);
  ASSERT_TRUE(next_event().has_value());
  pty_.take_output();

  ASSERT_TRUE(session_->draw(text_frame(session_->size(), "stays the same")));
  EXPECT_NE(pty_.take_output().find("stays the same"), std::string::npos);
  ASSERT_TRUE(session_->draw(text_frame(session_->size(), "stays the same")));
  EXPECT_EQ(pty_.take_output(), "");
}

TEST_F(TerminalTest, RowsAreComparedCellByCellAcrossFrames) {
  const Rect area = session_->size();
  Buffer frame = text_frame(area, "top row");
  frame.set_string(0, 9, "bottom row", {});
  ASSERT_TRUE(session_->draw(frame));
  pty_.take_output();

  Style red;
  red.fg = Color{Color::Kind::Red};
  frame.at(3, 9).set_style(red);  // same symbol, new colour
  ASSERT_TRUE(session_->draw(frame));
  const std::string out = pty_.take_output();
  EXPECT_NE(out.find("\033[31mt"), std::string::npos) << testing::PrintToString(out);

  ASSERT_TRUE(session_->draw(text_frame(Rect{0, 0, 10, 2}, "smaller")));
  EXPECT_NE(pty_.take_output().find("smaller"), std::string::npos)
      << "a frame of another size is copied afresh";
}

TEST_F(TerminalTest, SuspendGivesTheScreenBackAndResumeRepaintsWithoutStaleInput) {
  const Buffer frame = text_frame(session_->size(), "list of worktrees");
  ASSERT_TRUE(session_->draw(frame));
  pty_.take_output();

  ASSERT_TRUE(session_->suspend());
  const std::string left = pty_.take_output();
  EXPECT_NE(left.find("\033[?1049l"), std::string::npos) << "normal screen";
  EXPECT_NE(left.find("\033[?25h"), std::string::npos) << "visible cursor";
  EXPECT_FALSE(session_->draw(frame)) << "no drawing over the child";
  EXPECT_FALSE(session_->poll_event(0ms)) << "no reading the child's keys";

  pty_.type("dy");                 // typed for the child, never read by it
  pty_.take_output_through("dy");  // echoed with the shell's modes: the terminal holds them
  ASSERT_TRUE(session_->resume());

  ASSERT_TRUE(session_->draw(frame));
  const std::string back = pty_.take_output();
  EXPECT_NE(back.find("\033[?1049h"), std::string::npos) << "alternate screen again";
  EXPECT_NE(back.find("list of worktrees"), std::string::npos) << "full repaint";

  expect_no_stale_input();
}

TEST_F(TerminalTest, RestoreGivesTheTerminalBackOnce) {
  ASSERT_TRUE(session_->draw(text_frame(session_->size(), "x")));
  pty_.take_output();
  ASSERT_TRUE(session_->restore());
  const std::string out = pty_.take_output();
  EXPECT_NE(out.find("\033[?1049l"), std::string::npos) << "normal screen";
  EXPECT_NE(out.find("\033[?25h"), std::string::npos) << "visible cursor";

  EXPECT_TRUE(session_->restore());
  session_.reset();
  EXPECT_EQ(pty_.take_output(), "") << "restoring again writes nothing";
}

TEST_F(TerminalTest, DestroyingTheSessionRestoresTheTerminal) {
  ASSERT_TRUE(session_->draw(text_frame(session_->size(), "x")));
  pty_.take_output();
  session_.reset();
  const std::string out = pty_.take_output();
  EXPECT_NE(out.find("\033[?1049l"), std::string::npos) << "normal screen";
  EXPECT_NE(out.find("\033[?25h"), std::string::npos) << "visible cursor";
}

TEST_F(TerminalTest, ARestoredSessionRefusesEverythingButRestore) {
  ASSERT_TRUE(session_->restore());
  EXPECT_EQ(session_->size(), Rect{});
  const auto drawn = session_->draw(Buffer(Rect{0, 0, 4, 1}));
  ASSERT_FALSE(drawn);
  EXPECT_EQ(drawn.error().message(), "terminal: the session is not showing the full screen");
  EXPECT_FALSE(session_->poll_event(0ms));
  EXPECT_FALSE(session_->suspend());
  EXPECT_FALSE(session_->resume());
}

TEST_F(TerminalTest, TerminationSignalsAreRecordedForTheLoop) {
  EXPECT_FALSE(termination_requested());
  raise(SIGTERM);
  EXPECT_TRUE(termination_requested());
  EXPECT_EQ(termination_signal(), SIGTERM);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(next_event(1s).has_value()) << "the wait ends at once";
  EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
}

TEST_F(TerminalTest, KeyboardSignalsBelongToTheForegroundChildWhileSuspended) {
  ASSERT_TRUE(session_->suspend());
  raise(SIGINT);
  raise(SIGQUIT);
  EXPECT_FALSE(termination_requested());
  raise(SIGHUP);
  EXPECT_EQ(termination_signal(), SIGHUP);
  ASSERT_TRUE(session_->resume());
}

TEST_F(TerminalTest, RestoreReinstatesTheFormerSignalHandlers) {
  struct sigaction during {};
  sigaction(SIGTERM, nullptr, &during);
  EXPECT_NE(during.sa_handler, SIG_DFL);
  ASSERT_TRUE(session_->restore());
  struct sigaction after {};
  sigaction(SIGTERM, nullptr, &after);
  EXPECT_EQ(after.sa_handler, SIG_DFL);
}

// The disposition of SIGTSTP, as a word.
std::string stop_disposition() {
  struct sigaction action {};
  sigaction(SIGTSTP, nullptr, &action);
  if (action.sa_handler == SIG_DFL) {
    return "default";
  }
  return action.sa_handler == SIG_IGN ? "ignored" : "handled";
}

TEST(TerminalStop, TheStopSignalIsTheSessionsOnlyWhileTheScreenIsUp) {
  test::ScopedEnv term("TERM", "xterm-256color");
  struct Case {
    void (*inherited)(int);
    const char* full_screen;
    const char* suspended;
    const char* after;
  } const cases[] = {
      {SIG_DFL, "handled", "default", "default"},
      {SIG_IGN, "ignored", "ignored", "ignored"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.after);
    signal(SIGTSTP, c.inherited);
    Pty pty(20, 5);
    auto session = TerminalSession::open(pty.config());
    ASSERT_TRUE(session) << session.error().message();
    EXPECT_EQ(stop_disposition(), c.full_screen);
    ASSERT_TRUE(session->suspend());
    EXPECT_EQ(stop_disposition(), c.suspended);
    ASSERT_TRUE(session->resume());
    EXPECT_EQ(stop_disposition(), c.full_screen);
    ASSERT_TRUE(session->restore());
    EXPECT_EQ(stop_disposition(), c.after);
  }
  signal(SIGTSTP, SIG_DFL);
}

TEST_F(TerminalTest, AContinueAfterAnUncaughtStopTakesTheScreenBackAndRepaints) {
  const Buffer frame = text_frame(session_->size(), "list of worktrees");
  ASSERT_TRUE(session_->draw(frame));
  pty_.take_output();
  raise(SIGCONT);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(next_event(1s).has_value());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms) << "the wait ends at once";
  ASSERT_TRUE(session_->draw(frame));
  const std::string back = pty_.take_output();
  EXPECT_NE(back.find("\033[?1049h"), std::string::npos) << "alternate screen again";
  EXPECT_NE(back.find("list of worktrees"), std::string::npos) << "full repaint";

  ASSERT_TRUE(session_->suspend());
  pty_.take_output();
  raise(SIGCONT);
  EXPECT_EQ(pty_.take_output(), "") << "a foreground child's terminal is left alone";
  ASSERT_TRUE(session_->resume());
}

TEST_F(TerminalTest, AClosedTerminalIsAnErrorNotAnEndlessTimeOut) {
  pty_.close_master();
  const auto event = session_->poll_event(kEventWait);
  ASSERT_FALSE(event);
  EXPECT_EQ(event.error().message(), "terminal: input closed");
}

}  // namespace
}  // namespace orvo::ui
