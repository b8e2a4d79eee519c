#include "orvo_ui/terminal.hpp"

#include <curses.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "orvo_sys/os_error.hpp"
#include "orvo_sys/portable.hpp"
#include "orvo_sys/text.hpp"
#include "orvo_ui/terminal_cells.hpp"
#include "orvo_ui/terminal_signals.hpp"
#include "orvo_ui/terminal_type.hpp"

namespace orvo::ui {
namespace {

constexpr int kEscapeDelayMs = 25;

// Bracketed paste: the terminal marks pasted text instead of sending it as typed keys.
constexpr std::string_view kPasteModeOn = "\033[?2004h";
constexpr std::string_view kPasteModeOff = "\033[?2004l";

// A stream of its own over a duplicate of `fd`, so closing it leaves `fd` open; null with
// errno set on failure.
FILE* open_stream(int fd, const char* mode) {
  const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (copy < 0) {
    return nullptr;
  }
  FILE* stream = fdopen(copy, mode);
  if (stream == nullptr) {
    const int code = errno;
    close(copy);
    errno = code;
  }
  return stream;
}

core::Error os_error_or(int code, std::string fallback) {
  return code != 0 ? core::Error(sys::OsError{code}.message()) : core::Error(std::move(fallback));
}

// Runs one curses call; ERR becomes the system's error when it left one, else `what`.
template <class F>
core::Result<void> curses_call(F&& call, const char* what) {
  errno = 0;
  if (call() == ERR) {
    return tl::unexpected(os_error_or(errno, std::string("terminal: ") + what + " failed"));
  }
  return {};
}

bool is_resize(const TerminalInput& input) {
  return input.kind == TerminalInput::Kind::KeyCode && input.value == KEY_RESIZE;
}

attr_t attributes_of(Modifier modifier) {
  static constexpr std::pair<Modifier, attr_t> kAttributes[] = {
      {Modifier::Bold, A_BOLD},        {Modifier::Dim, A_DIM},
      {Modifier::Italic, A_ITALIC},    {Modifier::Underlined, A_UNDERLINE},
      {Modifier::Reversed, A_REVERSE},
  };
  attr_t attrs = A_NORMAL;
  for (const auto& [flag, attr] : kAttributes) {
    if (contains(modifier, flag)) {
      attrs |= attr;
    }
  }
  return attrs;
}

}  // namespace

struct TerminalSession::State {
  enum class Mode : std::uint8_t { FullScreen, Suspended, Restored };

  SCREEN* screen = nullptr;
  FILE* out = nullptr;
  FILE* in = nullptr;
  bool owns_streams = false;
  int input_fd = 0;
  Mode mode = Mode::FullScreen;
  bool no_color = false;
  bool use_colors = false;
  bool default_colors = false;
  bool repaint_pending = false;
  // Bracketed paste is switched on once the screen is up again, after curses entered it.
  bool paste_mode_pending = false;
  // Input read ahead that the next read returns first.
  std::optional<TerminalInput> unread;
  std::vector<cchar_t> row;
  // The cells last copied to curses, row by row, for the frame and screen areas given.
  std::vector<Cell> shown;
  std::vector<bool> shown_valid;
  Rect shown_area;
  Rect shown_screen;

  core::Result<void> restore();
  void release();
  [[nodiscard]] core::Result<void> leave_screen();
  [[nodiscard]] core::Result<void> take_screen_back();
  [[nodiscard]] core::Result<bool> follow_stop_and_continue();
  [[nodiscard]] int pair_for(const Cell& cell);
  void copy_row(const Buffer& frame, std::uint16_t y, std::uint16_t right);
  [[nodiscard]] core::Result<std::optional<TerminalInput>> read_input(int timeout_ms);
  [[nodiscard]] core::Result<std::string> read_paste();
  void write_direct(std::string_view bytes);
  void switch_paste_mode_on_if_pending();
};

TerminalSession::State*& TerminalSession::open_state() {
  static State* open = nullptr;
  return open;
}

void TerminalSession::restore_at_exit() {
  if (open_state() != nullptr) {
    (void)open_state()->restore();
  }
}

namespace {

core::Result<void> enter_full_screen_modes() {
  set_escdelay(kEscapeDelayMs);
  // Raw input: Ctrl-C, Ctrl-Z and Ctrl-S arrive as keys. Without nonl Enter and Ctrl-J
  // would look alike.
  return curses_call(raw, "raw mode")
      .and_then([] { return curses_call(noecho, "echo off"); })
      .and_then([] { return curses_call(nonl, "newline translation off"); })
      .and_then([] { return curses_call([] { return keypad(stdscr, TRUE); }, "keypad"); });
}

}  // namespace

core::Result<void> TerminalSession::State::restore() {
  if (mode == Mode::Restored) {
    return {};
  }
  core::Result<void> result;
  if (mode == Mode::FullScreen) {
    mark_full_screen(false);
    write_direct(kPasteModeOff);
    result = curses_call(endwin, "leaving full-screen mode");
  }
  mode = Mode::Restored;
  mark_suspended(false);
  release();
  return result;
}

void TerminalSession::State::release() {
  if (screen != nullptr) {
    delscreen(screen);
    screen = nullptr;
  }
  if (owns_streams) {
    std::fclose(out);
    std::fclose(in);
  }
  out = nullptr;
  in = nullptr;
  reinstate_signal_handlers();
  if (open_state() == this) {
    open_state() = nullptr;
  }
}

int TerminalSession::State::pair_for(const Cell& cell) {
  if (!use_colors) {
    return 0;
  }
  int fg = color_index(cell.fg, COLORS);
  int bg = color_index(cell.bg, COLORS);
  if (fg == -1 && bg == -1) {
    return 0;
  }
  if (!default_colors) {
    fg = fg == -1 ? COLOR_WHITE : fg;
    bg = bg == -1 ? COLOR_BLACK : bg;
  }
  const int pair = alloc_pair(fg, bg);
  return pair < 0 ? 0 : pair;
}

// Curses writes with write(2) and keeps nothing buffered between its calls, so bytes written
// here come after everything it wrote. Best effort: a terminal that takes no output fails the
// next curses call anyway.
void TerminalSession::State::write_direct(std::string_view bytes) {
  std::fflush(out);
  const int fd = fileno(out);
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

void TerminalSession::State::switch_paste_mode_on_if_pending() {
  if (paste_mode_pending) {
    paste_mode_pending = false;
    write_direct(kPasteModeOn);
  }
}

core::Result<std::optional<TerminalInput>> TerminalSession::State::read_input(int timeout_ms) {
  if (unread) {
    return std::exchange(unread, std::nullopt);
  }
  wtimeout(stdscr, timeout_ms);
  wint_t ch = 0;
  const int rc = wget_wch(stdscr, &ch);
  if (rc == ERR) {
    // A terminal that hung up reads as ERR at once, forever; tell it apart from a time-out.
    if (sys::terminal_hung_up(input_fd)) {
      return core::fail("terminal: input closed");
    }
    return std::nullopt;
  }
  if (rc == KEY_CODE_YES) {
    const char* name = keyname(static_cast<int>(ch));
    return TerminalInput{TerminalInput::Kind::KeyCode, static_cast<std::uint32_t>(ch),
                         name != nullptr ? std::string_view(name) : std::string_view()};
  }
  return TerminalInput{TerminalInput::Kind::Character, static_cast<std::uint32_t>(ch), {}};
}

TerminalSession::TerminalSession(std::unique_ptr<State> state) : state_(std::move(state)) {}
TerminalSession::TerminalSession(TerminalSession&&) noexcept = default;
TerminalSession& TerminalSession::operator=(TerminalSession&& other) noexcept {
  if (this != &other) {
    if (state_) {
      (void)state_->restore();
    }
    state_ = std::move(other.state_);
  }
  return *this;
}

TerminalSession::~TerminalSession() {
  if (state_) {
    (void)state_->restore();
  }
}

core::Result<TerminalSession> TerminalSession::open() {
  const bool input_is_terminal = isatty(STDIN_FILENO) != 0;
  const bool output_is_terminal = isatty(STDOUT_FILENO) != 0;
  if (input_is_terminal && output_is_terminal) {
    return open(TerminalConfig{STDIN_FILENO, STDOUT_FILENO});
  }
  const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
  if (tty < 0) {
    return core::fail(
        "no terminal: standard input, standard output and /dev/tty are not terminals");
  }
  // The session works on copies of the descriptors, so this one can go at once.
  auto opened = open(TerminalConfig{input_is_terminal ? STDIN_FILENO : tty,
                                    output_is_terminal ? STDOUT_FILENO : tty});
  close(tty);
  return opened;
}

core::Result<TerminalSession> TerminalSession::open(const TerminalConfig& config) {
  if (open_state() != nullptr) {
    return core::fail("a terminal session is already open");
  }
  if (isatty(config.input_fd) == 0 || isatty(config.output_fd) == 0) {
    return tl::unexpected(core::Error(sys::OsError{ENOTTY}.message()));
  }
  // The type is handed to curses, not put into the environment: children get TERM as it was.
  const auto type = choose_terminal_type(std::getenv("TERM"), config.output_fd);
  if (!type) {
    return tl::unexpected(type.error());
  }
  // Wide characters need a UTF-8 character type; the rest of the locale stays "C" so that
  // number formats and system error texts do not change with the user's language.
  sys::use_utf8_ctype();

  auto state = std::make_unique<State>();
  if (!record_shell_mode(config.output_fd)) {
    return tl::unexpected(core::Error(sys::OsError::last().message()));
  }
  if (config.input_fd == STDIN_FILENO && config.output_fd == STDOUT_FILENO) {
    state->in = stdin;
    state->out = stdout;
    std::fflush(stdout);
  } else {
    state->in = open_stream(config.input_fd, "r");
    state->out = state->in != nullptr ? open_stream(config.output_fd, "w") : nullptr;
    if (state->out == nullptr) {
      const int code = errno;
      if (state->in != nullptr) {
        std::fclose(state->in);
      }
      return tl::unexpected(core::Error(sys::OsError{code}.message()));
    }
    state->owns_streams = true;
  }
  state->input_fd = fileno(state->in);

  // Our handlers come first: curses then leaves these signals alone instead of installing its
  // own, whose SIGTERM handler would exit past our teardown and whose stop handler would draw
  // over a foreground child when continued.
  install_signal_handlers();
  open_state() = state.get();

  state->screen = newterm(type->c_str(), state->out, state->in);
  if (state->screen == nullptr) {
    state->mode = State::Mode::Restored;
    state->release();
    return core::fail("terminal: cannot open terminal type \"" + *type + "\"");
  }
  record_crash_restore(fileno(state->out), std::string(kPasteModeOff) + crash_restore_sequences());
  mark_full_screen(true);

  static const bool exit_hook = std::atexit(restore_at_exit) == 0;
  (void)exit_hook;

  if (auto entered = enter_full_screen_modes(); !entered) {
    (void)state->restore();
    return tl::unexpected(entered.error());
  }
  curs_set(0);
  leaveok(stdscr, TRUE);
  typeahead(-1);
  define_key_aliases();
  const char* no_color = std::getenv("NO_COLOR");
  state->no_color = no_color != nullptr && *no_color != '\0';
  if (!state->no_color && has_colors() && start_color() == OK) {
    state->use_colors = true;
    state->default_colors = use_default_colors() == OK;
  }
  if (auto shown = curses_call(doupdate, "entering full-screen mode"); !shown) {
    (void)state->restore();
    return tl::unexpected(shown.error());
  }
  state->write_direct(kPasteModeOn);
  return TerminalSession(std::move(state));
}

Rect TerminalSession::size() const {
  if (!state_ || state_->mode == State::Mode::Restored) {
    return Rect{};
  }
  int rows = 0;
  int cols = 0;
  getmaxyx(stdscr, rows, cols);
  return Rect{0, 0, static_cast<std::uint16_t>(std::clamp(cols, 0, int{UINT16_MAX})),
              static_cast<std::uint16_t>(std::clamp(rows, 0, int{UINT16_MAX}))};
}

core::Result<void> TerminalSession::draw(const Buffer& frame) {
  if (!state_ || state_->mode != State::Mode::FullScreen) {
    return core::fail("terminal: the session is not showing the full screen");
  }
  State& s = *state_;
  const Rect screen = size();
  const Rect area = frame.area();
  // After a resize the terminal's own idea of the old content is unreliable: paint it all.
  const bool repaint = s.repaint_pending || screen != s.shown_screen;
  if (repaint || area != s.shown_area) {
    s.shown.assign(area.area(), Cell{});
    s.shown_valid.assign(area.height, false);
    s.shown_area = area;
    s.shown_screen = screen;
  }
  const std::uint16_t right = std::min(area.right(), screen.right());
  for (std::uint16_t y = area.y; y < area.bottom() && y < screen.bottom(); ++y) {
    s.copy_row(frame, y, right);
  }
  if (repaint) {
    clearok(curscr, TRUE);
    s.repaint_pending = false;
  }
  wnoutrefresh(stdscr);
  auto drawn = curses_call(doupdate, "drawing");
  if (drawn) {
    s.switch_paste_mode_on_if_pending();
  }
  return drawn;
}

void TerminalSession::State::copy_row(const Buffer& frame, std::uint16_t y, std::uint16_t right) {
  const Rect area = frame.area();
  const std::size_t row_index = y - area.y;
  Cell* remembered = shown.data() + row_index * area.width;
  // A row equal to the one copied before is skipped: curses would find no change in it, and
  // converting the cells is most of the cost of a frame.
  bool same = shown_valid[row_index];
  for (std::uint16_t i = 0; same && i < area.width; ++i) {
    same = remembered[i] == frame.at(static_cast<std::uint16_t>(area.x + i), y);
  }
  if (same) {
    return;
  }
  for (std::uint16_t i = 0; i < area.width; ++i) {
    remembered[i] = frame.at(static_cast<std::uint16_t>(area.x + i), y);
  }
  shown_valid[row_index] = true;

  row.resize(area.width);
  CellChars wide{};
  int count = 0;
  const Cell* previous = nullptr;
  int previous_pair = 0;
  for (std::uint16_t x = area.x; x < right; ++x) {
    const Cell& cell = frame.at(x, y);
    int width = symbol_to_wide(cell.symbol, wide);
    if (width > 1 && x + 1 >= right) {
      wide = {L' ', L'\0'};
      width = 1;
    }
    int pair = previous_pair;
    if (previous == nullptr || previous->fg != cell.fg || previous->bg != cell.bg) {
      pair = pair_for(cell);
    }
    previous = &cell;
    previous_pair = pair;
    const attr_t attrs = no_color ? A_NORMAL : attributes_of(cell.modifier);
    setcchar(&row[static_cast<std::size_t>(count++)], wide.data(), attrs, 0, &pair);
    // The following cell is covered by this wide character.
    x = static_cast<std::uint16_t>(x + width - 1);
  }
  if (count > 0) {
    mvwadd_wchnstr(stdscr, y, area.x, row.data(), count);
  }
}

// Reads the text of a paste whose start mark was read, up to its end mark; key codes within it
// (sequences curses took for keys) carry no text.
core::Result<std::string> TerminalSession::State::read_paste() {
  std::string text;
  std::string character;
  while (!termination_requested()) {
    auto input = read_input(static_cast<int>(kPasteQuiet.count()));
    if (!input) {
      return tl::unexpected(std::move(input.error()));
    }
    if (!*input || paste_mark(**input) == PasteMark::End) {
      break;
    }
    const TerminalInput& in = **input;
    if (in.kind != TerminalInput::Kind::Character || !sys::is_scalar_value(in.value)) {
      continue;
    }
    character.clear();
    sys::append_utf8(character, static_cast<char32_t>(in.value));
    if (text.size() + character.size() <= kMaxPasteBytes) {
      text += character;
    }
  }
  return text;
}

core::Result<std::optional<TerminalEvent>> TerminalSession::poll_event(
    std::chrono::milliseconds timeout) {
  if (!state_ || state_->mode != State::Mode::FullScreen) {
    return core::fail("terminal: the session is not showing the full screen");
  }
  // Input is read only with pasted text marked as such, even before the first frame.
  state_->switch_paste_mode_on_if_pending();
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + timeout;
  while (!termination_requested()) {
    auto stopped = state_->follow_stop_and_continue();
    if (!stopped) {
      return tl::unexpected(stopped.error());
    }
    if (*stopped) {
      return std::nullopt;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    auto input = state_->read_input(static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
    if (!input) {
      return tl::unexpected(input.error());
    }
    if (!*input) {
      if (Clock::now() >= deadline) {
        return std::nullopt;
      }
      continue;
    }
    const TerminalInput& first = **input;
    if (is_resize(first)) {
      const Rect area = size();
      return TerminalEvent{ResizeEvent{area.width, area.height}};
    }
    if (const std::optional<PasteMark> mark = paste_mark(first)) {
      // An end mark alone closes a paste that was already taken as ended.
      if (*mark == PasteMark::End) {
        continue;
      }
      auto text = state_->read_paste();
      if (!text) {
        return tl::unexpected(std::move(text.error()));
      }
      return TerminalEvent{PasteEvent{std::move(*text)}};
    }
    std::optional<KeyEvent> key;
    if (is_escape(first)) {
      auto next = state_->read_input(0);
      if (!next) {
        return tl::unexpected(next.error());
      }
      // A resize or a paste right after the escape character is no Alt combination: Esc now,
      // the other at the next call.
      if (*next && (is_resize(**next) || paste_mark(**next) == PasteMark::Start)) {
        state_->unread = *next;
        next->reset();
      }
      key = decode_escape(*next);
    } else {
      key = decode_key(first);
    }
    if (key) {
      return TerminalEvent{*key};
    }
  }
  return std::nullopt;
}

// Leaves the full screen for the modes and the screen the shell had; the next draw after
// `take_screen_back` enters it again, with the modes def_prog_mode recorded last.
core::Result<void> TerminalSession::State::leave_screen() {
  write_direct(kPasteModeOff);
  auto left = curses_call(endwin, "leaving full-screen mode");
  if (!left) {
    return left;
  }
  mark_full_screen(false);
  mode = Mode::Suspended;
  return {};
}

core::Result<void> TerminalSession::State::take_screen_back() {
  auto resumed = curses_call(reset_prog_mode, "entering full-screen mode");
  if (!resumed) {
    return resumed;
  }
  // Keys typed while the screen was away were meant for someone else.
  flushinp();
  unread.reset();
  mark_full_screen(true);
  mode = Mode::FullScreen;
  repaint_pending = true;
  paste_mode_pending = true;
  return {};
}

// A stop asked for while the screen is up: leave the screen as for a child, stop by the
// signal's own action, and on continuing take the screen back. A continue after a stop Orvo
// could not catch takes the screen back too, since the shell may have changed the modes
// meanwhile. Returns whether either happened, so the caller draws in full.
core::Result<bool> TerminalSession::State::follow_stop_and_continue() {
  if (take_stop_request()) {
    def_prog_mode();
    if (auto left = leave_screen(); !left) {
      return tl::unexpected(std::move(left.error()));
    }
    give_stop_signal_its_own_action();
    raise(SIGTSTP);
    take_stop_signal_back();
    // The continue that ended this stop needs nothing further.
    (void)take_continue();
    return take_screen_back().map([] { return true; });
  }
  if (take_continue()) {
    return leave_screen().and_then([this] { return take_screen_back(); }).map([] { return true; });
  }
  return false;
}

core::Result<void> TerminalSession::suspend() {
  if (!state_ || state_->mode != State::Mode::FullScreen) {
    return core::fail("terminal: the session is not showing the full screen");
  }
  def_prog_mode();
  if (auto left = state_->leave_screen(); !left) {
    return left;
  }
  mark_suspended(true);
  give_stop_signal_its_own_action();
  return {};
}

core::Result<void> TerminalSession::resume() {
  if (!state_ || state_->mode != State::Mode::Suspended) {
    return core::fail("terminal: the session is not suspended");
  }
  take_stop_signal_back();
  mark_suspended(false);
  return state_->take_screen_back();
}

sys::StdStreams TerminalSession::child_streams() const {
  if (!state_ || state_->mode == State::Mode::Restored) {
    return {};
  }
  const int out = fileno(state_->out);
  return {fileno(state_->in), out, out};
}

void TerminalSession::print(std::string_view text) {
  if (state_ && state_->mode == State::Mode::Suspended) {
    std::fwrite(text.data(), 1, text.size(), state_->out);
    std::fflush(state_->out);
  }
}

core::Result<void> TerminalSession::restore() {
  return state_ ? state_->restore() : core::Result<void>{};
}

}  // namespace orvo::ui
