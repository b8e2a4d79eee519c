#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orvo_ui/flags.hpp"

namespace orvo::ui {

// Modifier keys held with a key, as a bit set.
enum class KeyModifiers : std::uint8_t {
  None = 0,
  Shift = 1u << 0,
  Control = 1u << 1,
  Alt = 1u << 2,
};

template <>
inline constexpr bool kIsFlagSet<KeyModifiers> = true;

// The key itself: a character or one of the named keys; `F` carries its number.
struct KeyCode {
  enum class Kind : std::uint8_t {
    Char,
    Enter,
    Tab,
    BackTab,
    Backspace,
    Esc,
    Up,
    Down,
    Left,
    Right,
    Home,
    End,
    PageUp,
    PageDown,
    Delete,
    Insert,
    F,
  };
  Kind kind = Kind::Char;
  char32_t ch = 0;
  std::uint8_t number = 0;

  constexpr KeyCode() = default;
  // A named key; implicit so that `code == KeyCode::Kind::Enter` reads naturally.
  constexpr KeyCode(Kind k) : kind(k) {}  // NOLINT(google-explicit-constructor)
  static constexpr KeyCode character(char32_t c) {
    KeyCode code(Kind::Char);
    code.ch = c;
    return code;
  }
  static constexpr KeyCode function(std::uint8_t n) {
    KeyCode code(Kind::F);
    code.number = n;
    return code;
  }
  friend constexpr bool operator==(const KeyCode&, const KeyCode&) = default;
};

// The terminal reports presses only.
enum class KeyKind : std::uint8_t { Press };

// One key press as the interface sees it.
struct KeyEvent {
  KeyCode code;
  KeyModifiers modifiers = KeyModifiers::None;
  KeyKind kind = KeyKind::Press;
  friend constexpr bool operator==(const KeyEvent&, const KeyEvent&) = default;
};

// A readable form such as "Ctrl+Char(p)", "Shift+Alt+Char(A)", "Esc", "F(5)".
[[nodiscard]] std::string describe(const KeyEvent& key);

// Writes `describe(key)`.
std::ostream& operator<<(std::ostream& out, const KeyEvent& key);

// One unit of input as the terminal library reports it: a character (a code point) or a key
// code, with the library's name for the key code ("KEY_LEFT", "kLFT5"); the name matters only
// for key codes the library assigns at run time to modified keys.
struct TerminalInput {
  enum class Kind : std::uint8_t { Character, KeyCode };
  Kind kind = Kind::Character;
  std::uint32_t value = 0;
  std::string_view name;

  friend constexpr bool operator==(const TerminalInput&, const TerminalInput&) = default;
};

// A byte sequence of the xterm convention for a modified key ("\x1b[1;5A" is Ctrl+Up) and the
// key code this program assigns to it, so that modified keys decode alike whatever TERM
// describes. The codes lie above every code the terminal library uses.
struct KeySequence {
  std::string bytes;
  std::uint32_t code = 0;
};

// Every modified form (Shift, Alt, Control and their combinations) of the arrows, Home, End,
// Insert, Delete, PageUp, PageDown and F1..F12.
[[nodiscard]] std::vector<KeySequence> modified_key_sequences();

// The marks a terminal in bracketed-paste mode puts before and after pasted text.
enum class PasteMark : std::uint8_t { Start, End };

// The byte sequences of the paste marks ("\x1b[200~" and "\x1b[201~") and the key codes this
// program assigns to them, above those of `modified_key_sequences`.
[[nodiscard]] std::vector<KeySequence> paste_mark_sequences();

// The paste mark `input` stands for, if any.
[[nodiscard]] std::optional<PasteMark> paste_mark(const TerminalInput& input);

// Whether `input` is the escape character, which starts either Esc or an Alt combination.
[[nodiscard]] bool is_escape(const TerminalInput& input);

// The key that `input` stands for, or nullopt for input that is no key (a resize, an unknown
// key code, a code point that is not a character). The escape character decodes to Esc.
[[nodiscard]] std::optional<KeyEvent> decode_key(const TerminalInput& input);

// The key made by the escape character followed at once by `next` (nullopt: nothing followed):
// Esc alone, Esc for two escapes, otherwise `next`'s key with Alt held.
[[nodiscard]] std::optional<KeyEvent> decode_escape(const std::optional<TerminalInput>& next);

}  // namespace orvo::ui
