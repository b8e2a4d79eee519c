#include "orvo_ui/keys.hpp"

#include <curses.h>
#include <locale.h>
#include <wctype.h>

#include <array>
#include <ostream>
#include <utility>

#include "orvo_sys/portable.hpp"
#include "orvo_sys/text.hpp"

namespace orvo::ui {
namespace {

using Kind = KeyCode::Kind;

constexpr char32_t kEscape = 0x1B;

KeyEvent key(KeyCode code, KeyModifiers modifiers = KeyModifiers::None) {
  return KeyEvent{code, modifiers, KeyKind::Press};
}

// Upper-case test independent of the process locale, so that "Ä" counts as upper case even
// before (or without) the program choosing its locale.
bool is_upper_case(char32_t c) {
  const locale_t utf8 = sys::utf8_locale();
  const auto wc = static_cast<wint_t>(c);
  return utf8 != static_cast<locale_t>(0) ? iswupper_l(wc, utf8) != 0 : iswupper(wc) != 0;
}

// Control characters as a raw-mode terminal sends them: Ctrl+letter is 0x01..0x1A, except the
// four that have keys of their own (Backspace's old code 0x08 stays Ctrl+h).
std::optional<KeyEvent> decode_character(char32_t c) {
  switch (c) {
    case 0x0D:
      return key(Kind::Enter);
    case 0x09:
      return key(Kind::Tab);
    case 0x7F:
      return key(Kind::Backspace);
    case kEscape:
      return key(Kind::Esc);
    case 0x00:
      return key(KeyCode::character(U' '), KeyModifiers::Control);
    default:
      break;
  }
  if (c >= 0x01 && c <= 0x1A) {
    return key(KeyCode::character(U'a' + c - 1), KeyModifiers::Control);
  }
  if (c >= 0x1C && c <= 0x1F) {
    return key(KeyCode::character(U'4' + c - 0x1C), KeyModifiers::Control);
  }
  if (!sys::is_scalar_value(c) || sys::is_control(c)) {
    return std::nullopt;
  }
  return key(KeyCode::character(c), is_upper_case(c) ? KeyModifiers::Shift : KeyModifiers::None);
}

// Function keys past F12 are the modified F1..F12 in the usual terminal descriptions:
// each further dozen adds Shift, Control, Control+Shift, Alt, Alt+Shift.
std::optional<KeyEvent> decode_function_key(int n) {
  static constexpr std::array<KeyModifiers, 6> kDozens = {
      KeyModifiers::None,    KeyModifiers::Shift,
      KeyModifiers::Control, KeyModifiers::Control | KeyModifiers::Shift,
      KeyModifiers::Alt,     KeyModifiers::Alt | KeyModifiers::Shift,
  };
  const auto dozen = static_cast<std::size_t>((n - 1) / 12);
  if (n < 1 || dozen >= kDozens.size()) {
    return std::nullopt;
  }
  return key(KeyCode::function(static_cast<std::uint8_t>((n - 1) % 12 + 1)), kDozens[dozen]);
}

std::optional<KeyEvent> decode_standard_key_code(std::uint32_t code) {
  struct Entry {
    int code;
    Kind kind;
    KeyModifiers modifiers;
  };
  static constexpr Entry kTable[] = {
      {KEY_UP, Kind::Up, KeyModifiers::None},
      {KEY_DOWN, Kind::Down, KeyModifiers::None},
      {KEY_LEFT, Kind::Left, KeyModifiers::None},
      {KEY_RIGHT, Kind::Right, KeyModifiers::None},
      {KEY_HOME, Kind::Home, KeyModifiers::None},
      {KEY_END, Kind::End, KeyModifiers::None},
      {KEY_PPAGE, Kind::PageUp, KeyModifiers::None},
      {KEY_NPAGE, Kind::PageDown, KeyModifiers::None},
      {KEY_DC, Kind::Delete, KeyModifiers::None},
      {KEY_IC, Kind::Insert, KeyModifiers::None},
      {KEY_BACKSPACE, Kind::Backspace, KeyModifiers::None},
      {KEY_ENTER, Kind::Enter, KeyModifiers::None},
      {KEY_BTAB, Kind::BackTab, KeyModifiers::Shift},
      {KEY_SR, Kind::Up, KeyModifiers::Shift},
      {KEY_SF, Kind::Down, KeyModifiers::Shift},
      {KEY_SLEFT, Kind::Left, KeyModifiers::Shift},
      {KEY_SRIGHT, Kind::Right, KeyModifiers::Shift},
      {KEY_SHOME, Kind::Home, KeyModifiers::Shift},
      {KEY_SEND, Kind::End, KeyModifiers::Shift},
      {KEY_SPREVIOUS, Kind::PageUp, KeyModifiers::Shift},
      {KEY_SNEXT, Kind::PageDown, KeyModifiers::Shift},
      {KEY_SDC, Kind::Delete, KeyModifiers::Shift},
      {KEY_SIC, Kind::Insert, KeyModifiers::Shift},
  };
  for (const Entry& entry : kTable) {
    if (static_cast<std::uint32_t>(entry.code) == code) {
      return key(entry.kind, entry.modifiers);
    }
  }
  if (code >= static_cast<std::uint32_t>(KEY_F0) && code <= static_cast<std::uint32_t>(KEY_F(63))) {
    return decode_function_key(static_cast<int>(code - KEY_F0));
  }
  return std::nullopt;
}

// Modifiers of the xterm convention: the parameter m encodes the bits of m - 1.
KeyModifiers modifiers_from_parameter(int m) {
  const int bits = m - 1;
  KeyModifiers mods = KeyModifiers::None;
  if ((bits & 1) != 0)
    mods = mods | KeyModifiers::Shift;
  if ((bits & 2) != 0)
    mods = mods | KeyModifiers::Alt;
  if ((bits & 4) != 0)
    mods = mods | KeyModifiers::Control;
  return mods;
}

// Key codes assigned at run time to modified keys are named after the terminal capability,
// "kLFT5": a key name and the xterm modifier parameter; without a digit the key is shifted.
std::optional<KeyEvent> decode_named_key_code(std::string_view name) {
  static constexpr std::pair<std::string_view, Kind> kNames[] = {
      {"kUP", Kind::Up},      {"kDN", Kind::Down},      {"kLFT", Kind::Left},
      {"kRIT", Kind::Right},  {"kHOM", Kind::Home},     {"kEND", Kind::End},
      {"kPRV", Kind::PageUp}, {"kNXT", Kind::PageDown}, {"kDC", Kind::Delete},
      {"kIC", Kind::Insert},
  };
  for (const auto& [prefix, kind] : kNames) {
    if (!name.starts_with(prefix)) {
      continue;
    }
    const std::string_view suffix = name.substr(prefix.size());
    if (suffix.empty()) {
      return key(kind, KeyModifiers::Shift);
    }
    if (suffix.size() == 1 && suffix[0] >= '2' && suffix[0] <= '8') {
      return key(kind, modifiers_from_parameter(suffix[0] - '0'));
    }
  }
  return std::nullopt;
}

// Keys that the xterm convention sends with a modifier parameter: "ESC [ 1 ; m <final>" and
// "ESC [ <n> ; m ~" (0 where a form does not exist).
struct ModifiableKey {
  KeyCode code;
  char final;
  std::array<int, 2> tilde_numbers;
};

constexpr ModifiableKey kModifiableKeys[] = {
    {Kind::Up, 'A', {0, 0}},
    {Kind::Down, 'B', {0, 0}},
    {Kind::Right, 'C', {0, 0}},
    {Kind::Left, 'D', {0, 0}},
    {Kind::Home, 'H', {1, 7}},
    {Kind::End, 'F', {4, 8}},
    {Kind::Insert, 0, {2, 0}},
    {Kind::Delete, 0, {3, 0}},
    {Kind::PageUp, 0, {5, 0}},
    {Kind::PageDown, 0, {6, 0}},
    {KeyCode::function(1), 'P', {11, 0}},
    {KeyCode::function(2), 'Q', {12, 0}},
    {KeyCode::function(3), 'R', {13, 0}},
    {KeyCode::function(4), 'S', {14, 0}},
    {KeyCode::function(5), 0, {15, 0}},
    {KeyCode::function(6), 0, {17, 0}},
    {KeyCode::function(7), 0, {18, 0}},
    {KeyCode::function(8), 0, {19, 0}},
    {KeyCode::function(9), 0, {20, 0}},
    {KeyCode::function(10), 0, {21, 0}},
    {KeyCode::function(11), 0, {23, 0}},
    {KeyCode::function(12), 0, {24, 0}},
};

// Modifier parameters 2..8: every combination of Shift, Alt and Control.
constexpr int kFirstParameter = 2;
constexpr int kParameters = 7;
// Curses keeps key codes in 16 bits; its own codes, dynamic ones included, stay far below.
constexpr std::uint32_t kFirstOwnCode = 0x7000;
constexpr std::uint32_t kOwnCodes = std::size(kModifiableKeys) * kParameters;
constexpr std::uint32_t kPasteStartCode = kFirstOwnCode + kOwnCodes;
constexpr std::uint32_t kPasteEndCode = kPasteStartCode + 1;

std::optional<KeyEvent> decode_own_key_code(std::uint32_t code) {
  const std::uint32_t offset = code - kFirstOwnCode;
  const ModifiableKey& key_entry = kModifiableKeys[offset / kParameters];
  return key(key_entry.code,
             modifiers_from_parameter(static_cast<int>(offset % kParameters) + kFirstParameter));
}

}  // namespace

std::vector<KeySequence> modified_key_sequences() {
  std::vector<KeySequence> sequences;
  for (std::size_t k = 0; k < std::size(kModifiableKeys); ++k) {
    const ModifiableKey& entry = kModifiableKeys[k];
    for (int p = 0; p < kParameters; ++p) {
      const std::uint32_t code = kFirstOwnCode + static_cast<std::uint32_t>(k * kParameters + p);
      const std::string parameter = std::to_string(p + kFirstParameter);
      if (entry.final != 0) {
        sequences.push_back({"\x1b[1;" + parameter + entry.final, code});
      }
      for (const int number : entry.tilde_numbers) {
        if (number != 0) {
          sequences.push_back({"\x1b[" + std::to_string(number) + ";" + parameter + "~", code});
        }
      }
    }
  }
  return sequences;
}

std::vector<KeySequence> paste_mark_sequences() {
  return {{"\x1b[200~", kPasteStartCode}, {"\x1b[201~", kPasteEndCode}};
}

std::optional<PasteMark> paste_mark(const TerminalInput& input) {
  if (input.kind != TerminalInput::Kind::KeyCode) {
    return std::nullopt;
  }
  if (input.value == kPasteStartCode) {
    return PasteMark::Start;
  }
  if (input.value == kPasteEndCode) {
    return PasteMark::End;
  }
  return std::nullopt;
}

std::string describe(const KeyEvent& event) {
  static constexpr std::pair<KeyModifiers, std::string_view> kModifierNames[] = {
      {KeyModifiers::Shift, "Shift+"},
      {KeyModifiers::Control, "Ctrl+"},
      {KeyModifiers::Alt, "Alt+"},
  };
  static constexpr std::string_view kKindNames[] = {
      "Char",  "Enter", "Tab", "BackTab", "Backspace", "Esc",    "Up",     "Down", "Left",
      "Right", "Home",  "End", "PageUp",  "PageDown",  "Delete", "Insert", "F",
  };
  std::string out;
  for (const auto& [modifier, text] : kModifierNames) {
    if (contains(event.modifiers, modifier)) {
      out += text;
    }
  }
  out += kKindNames[static_cast<std::size_t>(event.code.kind)];
  if (event.code.kind == Kind::Char) {
    out += '(';
    sys::append_utf8(out, event.code.ch);
    out += ')';
  } else if (event.code.kind == Kind::F) {
    out += '(' + std::to_string(event.code.number) + ')';
  }
  return out;
}

std::ostream& operator<<(std::ostream& out, const KeyEvent& key) {
  return out << describe(key);
}

bool is_escape(const TerminalInput& input) {
  return input.kind == TerminalInput::Kind::Character && input.value == kEscape;
}

std::optional<KeyEvent> decode_key(const TerminalInput& input) {
  if (input.kind == TerminalInput::Kind::Character) {
    return decode_character(static_cast<char32_t>(input.value));
  }
  if (input.value <= static_cast<std::uint32_t>(KEY_MAX)) {
    return decode_standard_key_code(input.value);
  }
  if (input.value >= kFirstOwnCode && input.value < kFirstOwnCode + kOwnCodes) {
    return decode_own_key_code(input.value);
  }
  return decode_named_key_code(input.name);
}

std::optional<KeyEvent> decode_escape(const std::optional<TerminalInput>& next) {
  if (!next || is_escape(*next)) {
    return key(Kind::Esc);
  }
  std::optional<KeyEvent> event = decode_key(*next);
  if (event) {
    event->modifiers = event->modifiers | KeyModifiers::Alt;
  }
  return event;
}

}  // namespace orvo::ui
