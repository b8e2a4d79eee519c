#include "orvo_ui/terminal_type.hpp"

#include <curses.h>
// Last: it defines a macro for every terminal capability ("lines", "tab", ...).
#include <term.h>

#include <cstdint>
#include <string_view>
#include <utility>

#include "orvo_ui/keys.hpp"

namespace orvo::ui {
namespace {

bool has_capability(const char* text) {
  return text != nullptr && text != reinterpret_cast<char*>(-1);
}

// Appends a terminal capability to `out` without its padding ("$<5>"), which only slow
// terminals need.
void append_capability(std::string& out, std::string_view text) {
  while (!text.empty()) {
    if (text.starts_with("$<")) {
      const std::size_t end = text.find('>');
      if (end != std::string_view::npos) {
        text.remove_prefix(end + 1);
        continue;
      }
    }
    out += text.front();
    text.remove_prefix(1);
  }
}

enum class TypeSupport : std::uint8_t { FullScreen, NoDescription, NoCursorAddressing };

// Looked up before curses opens the screen: newterm leaks memory on a type it does not know. A
// hardcopy type (status 1) has a description, one that cannot show a full screen.
TypeSupport look_up(const char* type, int fd) {
  int status = 0;
  if (setupterm(type, fd, &status) != OK) {
    return status == 1 ? TypeSupport::NoCursorAddressing : TypeSupport::NoDescription;
  }
  const bool addressable = has_capability(tigetstr("cup"));
  del_curterm(cur_term);
  return addressable ? TypeSupport::FullScreen : TypeSupport::NoCursorAddressing;
}

core::Error cannot_place_the_cursor(const char* type) {
  return core::Error(std::string("terminal type \"") + type + "\" cannot place the cursor");
}

}  // namespace

core::Result<std::string> choose_terminal_type(const char* term, int fd, const char* fallback) {
  const bool named = term != nullptr && *term != '\0';
  if (named) {
    switch (look_up(term, fd)) {
      case TypeSupport::FullScreen:
        return std::string(term);
      case TypeSupport::NoCursorAddressing:
        return tl::unexpected(cannot_place_the_cursor(term));
      case TypeSupport::NoDescription:
        break;
    }
  }
  switch (look_up(fallback, fd)) {
    case TypeSupport::FullScreen:
      return std::string(fallback);
    case TypeSupport::NoCursorAddressing:
      return tl::unexpected(cannot_place_the_cursor(fallback));
    case TypeSupport::NoDescription:
      break;
  }
  return core::fail(named ? std::string("unknown terminal type \"") + term + "\""
                          : std::string("TERM is not set"));
}

void define_key_aliases() {
  static constexpr std::pair<const char*, int> kAliases[] = {
      {"\033[1~", KEY_HOME}, {"\033[7~", KEY_HOME}, {"\033[H", KEY_HOME},  {"\033OH", KEY_HOME},
      {"\033[4~", KEY_END},  {"\033[8~", KEY_END},  {"\033[F", KEY_END},   {"\033OF", KEY_END},
      {"\033[A", KEY_UP},    {"\033[B", KEY_DOWN},  {"\033[C", KEY_RIGHT}, {"\033[D", KEY_LEFT},
      {"\033OA", KEY_UP},    {"\033OB", KEY_DOWN},  {"\033OC", KEY_RIGHT}, {"\033OD", KEY_LEFT},
  };
  for (const auto& [sequence, code] : kAliases) {
    define_key(sequence, code);
  }
  for (const auto& sequences : {modified_key_sequences(), paste_mark_sequences()}) {
    for (const KeySequence& sequence : sequences) {
      define_key(sequence.bytes.c_str(), static_cast<int>(sequence.code));
    }
  }
}

std::string crash_restore_sequences() {
  std::string out;
  for (const char* capability : {"sgr0", "cnorm", "rmkx", "rmcup"}) {
    const char* text = tigetstr(capability);
    if (has_capability(text)) {
      append_capability(out, text);
    }
  }
  return out;
}

}  // namespace orvo::ui
