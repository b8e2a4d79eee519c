#include "orvo_ui/keys.hpp"

#include <curses.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace orvo::ui {

namespace {

using Kind = KeyCode::Kind;
using Mod = KeyModifiers;

constexpr Mod kShift = Mod::Shift;
constexpr Mod kCtrl = Mod::Control;
constexpr Mod kAlt = Mod::Alt;
constexpr Mod kNone = Mod::None;

TerminalInput ch(char32_t c) {
  return TerminalInput{TerminalInput::Kind::Character, static_cast<std::uint32_t>(c), {}};
}

TerminalInput code(int value, std::string_view name = {}) {
  return TerminalInput{TerminalInput::Kind::KeyCode, static_cast<std::uint32_t>(value), name};
}

KeyEvent key(KeyCode c, Mod m = kNone) {
  return KeyEvent{c, m, KeyKind::Press};
}
KeyEvent chr(char32_t c, Mod m = kNone) {
  return key(KeyCode::character(c), m);
}

TEST(DecodeKey, MapsWhatTheTerminalReportsToKeys) {
  // A key code above KEY_MAX stands for one the terminal library numbered at run time.
  constexpr int kDynamic = KEY_MAX + 7;
  struct Case {
    const char* what;
    TerminalInput input;
    std::optional<KeyEvent> expected;
  } const cases[] = {
      {"Enter is carriage return", ch(0x0D), key(Kind::Enter)},
      {"line feed is Ctrl+j", ch(0x0A), chr(U'j', kCtrl)},
      {"tab", ch(0x09), key(Kind::Tab)},
      {"delete is Backspace", ch(0x7F), key(Kind::Backspace)},
      {"0x08 stays Ctrl+h", ch(0x08), chr(U'h', kCtrl)},
      {"Ctrl+a", ch(0x01), chr(U'a', kCtrl)},
      {"Ctrl+b", ch(0x02), chr(U'b', kCtrl)},
      {"Ctrl+p", ch(0x10), chr(U'p', kCtrl)},
      {"Ctrl+z", ch(0x1A), chr(U'z', kCtrl)},
      {"Ctrl+space", ch(0x00), chr(U' ', kCtrl)},
      {"0x1c is Ctrl+4", ch(0x1C), chr(U'4', kCtrl)},
      {"0x1f is Ctrl+7", ch(0x1F), chr(U'7', kCtrl)},
      {"escape alone", ch(0x1B), key(Kind::Esc)},
      {"lower-case letter", ch(U'q'), chr(U'q')},
      {"digit", ch(U'7'), chr(U'7')},
      {"symbol", ch(U'/'), chr(U'/')},
      {"space", ch(U' '), chr(U' ')},
      {"upper-case letter has Shift", ch(U'A'), chr(U'A', kShift)},
      {"non-ASCII lower case", ch(U'ä'), chr(U'ä')},
      {"non-ASCII upper case has Shift", ch(U'Ä'), chr(U'Ä', kShift)},
      {"character outside the BMP", ch(U'😀'), chr(U'😀')},
      {"C1 control is no key", ch(0x85), std::nullopt},
      {"surrogate is no key", ch(0xD800), std::nullopt},
      {"beyond Unicode is no key", ch(0x110000), std::nullopt},
      {"up", code(KEY_UP), key(Kind::Up)},
      {"down", code(KEY_DOWN), key(Kind::Down)},
      {"left", code(KEY_LEFT), key(Kind::Left)},
      {"right", code(KEY_RIGHT), key(Kind::Right)},
      {"home", code(KEY_HOME), key(Kind::Home)},
      {"end", code(KEY_END), key(Kind::End)},
      {"page up", code(KEY_PPAGE), key(Kind::PageUp)},
      {"page down", code(KEY_NPAGE), key(Kind::PageDown)},
      {"delete", code(KEY_DC), key(Kind::Delete)},
      {"insert", code(KEY_IC), key(Kind::Insert)},
      {"backspace key code", code(KEY_BACKSPACE), key(Kind::Backspace)},
      {"keypad enter", code(KEY_ENTER), key(Kind::Enter)},
      {"back-tab has Shift", code(KEY_BTAB), key(Kind::BackTab, kShift)},
      {"shifted up", code(KEY_SR), key(Kind::Up, kShift)},
      {"shifted left", code(KEY_SLEFT), key(Kind::Left, kShift)},
      {"shifted delete", code(KEY_SDC), key(Kind::Delete, kShift)},
      {"F1", code(KEY_F(1)), key(KeyCode::function(1))},
      {"F12", code(KEY_F(12)), key(KeyCode::function(12))},
      {"F13 is Shift+F1", code(KEY_F(13)), key(KeyCode::function(1), kShift)},
      {"F29 is Ctrl+F5", code(KEY_F(29)), key(KeyCode::function(5), kCtrl)},
      {"F49 is Alt+F1", code(KEY_F(49)), key(KeyCode::function(1), kAlt)},
      {"F0 is no key", code(KEY_F(0)), std::nullopt},
      {"resize is no key", code(KEY_RESIZE), std::nullopt},
      {"mouse is no key", code(KEY_MOUSE), std::nullopt},
      {"Ctrl+Left by name", code(kDynamic, "kLFT5"), key(Kind::Left, kCtrl)},
      {"Shift+Up by name", code(kDynamic, "kUP2"), key(Kind::Up, kShift)},
      {"Alt+Down by name", code(kDynamic, "kDN3"), key(Kind::Down, kAlt)},
      {"Alt+Shift+Right by name", code(kDynamic, "kRIT4"), key(Kind::Right, kAlt | kShift)},
      {"Ctrl+Shift+Home by name", code(kDynamic, "kHOM6"), key(Kind::Home, kCtrl | kShift)},
      {"Ctrl+Alt+End by name", code(kDynamic, "kEND7"), key(Kind::End, kCtrl | kAlt)},
      {"Ctrl+Delete by name", code(kDynamic, "kDC5"), key(Kind::Delete, kCtrl)},
      {"Alt+PageDown by name", code(kDynamic, "kNXT3"), key(Kind::PageDown, kAlt)},
      {"shifted up without digit", code(kDynamic, "kUP"), key(Kind::Up, kShift)},
      {"the number alone means nothing", code(kDynamic, ""), std::nullopt},
      {"unknown name", code(kDynamic, "kxIN"), std::nullopt},
      {"suffix out of range", code(kDynamic, "kUP9"), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(decode_key(c.input), c.expected);
  }
}

TEST(DecodeEscape, TellsEscAloneFromAltCombinations) {
  struct Case {
    const char* what;
    std::optional<TerminalInput> next;
    std::optional<KeyEvent> expected;
  } const cases[] = {
      {"nothing follows", std::nullopt, key(Kind::Esc)},
      {"a second escape", ch(0x1B), key(Kind::Esc)},
      {"a letter", ch(U'a'), chr(U'a', kAlt)},
      {"an upper-case letter", ch(U'A'), chr(U'A', kShift | kAlt)},
      {"Enter", ch(0x0D), key(Kind::Enter, kAlt)},
      {"a control character", ch(0x02), chr(U'b', kCtrl | kAlt)},
      {"an arrow", code(KEY_UP), key(Kind::Up, kAlt)},
      {"no key", ch(0x85), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(decode_escape(c.next), c.expected);
  }
  EXPECT_TRUE(is_escape(ch(0x1B)));
  EXPECT_FALSE(is_escape(code(0x1B)));
}

TEST(ModifiedKeySequences, DecodeToTheKeyWithItsModifiers) {
  const std::vector<KeySequence> sequences = modified_key_sequences();
  const auto decoded = [&](std::string_view bytes) -> std::optional<KeyEvent> {
    for (const KeySequence& sequence : sequences) {
      if (sequence.bytes == bytes) {
        return decode_key(code(static_cast<int>(sequence.code)));
      }
    }
    return std::nullopt;
  };
  struct Case {
    const char* bytes;
    KeyEvent expected;
  } const cases[] = {
      {"\x1b[1;5A", key(Kind::Up, kCtrl)},
      {"\x1b[1;2B", key(Kind::Down, kShift)},
      {"\x1b[1;3C", key(Kind::Right, kAlt)},
      {"\x1b[1;4D", key(Kind::Left, kAlt | kShift)},
      {"\x1b[1;6H", key(Kind::Home, kCtrl | kShift)},
      {"\x1b[7;5~", key(Kind::Home, kCtrl)},
      {"\x1b[1;7F", key(Kind::End, kCtrl | kAlt)},
      {"\x1b[8;2~", key(Kind::End, kShift)},
      {"\x1b[2;3~", key(Kind::Insert, kAlt)},
      {"\x1b[3;5~", key(Kind::Delete, kCtrl)},
      {"\x1b[5;2~", key(Kind::PageUp, kShift)},
      {"\x1b[6;8~", key(Kind::PageDown, kCtrl | kAlt | kShift)},
      {"\x1b[1;2P", key(KeyCode::function(1), kShift)},
      {"\x1b[14;5~", key(KeyCode::function(4), kCtrl)},
      {"\x1b[15;3~", key(KeyCode::function(5), kAlt)},
      {"\x1b[24;5~", key(KeyCode::function(12), kCtrl)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
    EXPECT_EQ(decoded(c.bytes), c.expected);
  }
  for (const KeySequence& sequence : sequences) {
    SCOPED_TRACE(testing::PrintToString(sequence.bytes));
    EXPECT_GT(sequence.code, static_cast<std::uint32_t>(KEY_MAX) + 1000)
        << "clear of curses' codes";
    EXPECT_LT(sequence.code, 1u << 16) << "curses keeps 16 bits";
    EXPECT_TRUE(decode_key(code(static_cast<int>(sequence.code))).has_value());
  }
}

TEST(DescribeKey, NamesModifiersThenTheKey) {
  struct Case {
    KeyEvent key;
    const char* text;
  } const cases[] = {
      {chr(U'p', kCtrl), "Ctrl+Char(p)"},
      {chr(U'A', kShift | kAlt), "Shift+Alt+Char(A)"},
      {chr(U'ä'), "Char(ä)"},
      {key(Kind::Esc), "Esc"},
      {key(Kind::BackTab, kShift), "Shift+BackTab"},
      {key(KeyCode::function(5)), "F(5)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(describe(c.key), c.text);
  }
}

TEST(KeyCode, ComparesWithNamedKinds) {
  EXPECT_EQ(KeyCode(Kind::Enter), Kind::Enter);
  EXPECT_NE(KeyCode::character(U'j'), KeyCode::character(U'k'));
  EXPECT_NE(KeyCode::function(1), KeyCode::function(2));
  EXPECT_TRUE(contains(kCtrl | kAlt, kCtrl));
  EXPECT_FALSE(contains(kCtrl, kCtrl | kAlt));
}

}  // namespace
}  // namespace orvo::ui
