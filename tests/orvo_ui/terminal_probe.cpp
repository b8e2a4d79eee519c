// A small program over the terminal session for end-to-end tests under tmux: it shows its
// process id, the screen size and the keys and pastes it decoded, quits on `q`, calls exit(3) with
// the session still open on `e`, and on `z` runs the command given on its command line as a
// foreground child.

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "orvo_sys/process.hpp"
#include "orvo_ui/terminal.hpp"

namespace {

using orvo::ui::Buffer;
using orvo::ui::KeyCode;
using orvo::ui::KeyEvent;
using orvo::ui::KeyModifiers;
using orvo::ui::Rect;
using orvo::ui::Style;
using orvo::ui::TerminalSession;

struct Probe {
  std::deque<std::string> keys;
  std::string child = "none";

  // Keeps the last six keys and pastes.
  void record(std::string entry) {
    keys.push_back(std::move(entry));
    if (keys.size() > 6) {
      keys.pop_front();
    }
  }
};

Buffer frame_of(const Probe& probe, Rect area) {
  Buffer frame(area);
  frame.set_string(0, 0,
                   "probe pid=" + std::to_string(getpid()) + " size=" + std::to_string(area.width) +
                       "x" + std::to_string(area.height),
                   {});
  std::string keys = "keys:";
  for (const std::string& key : probe.keys)
    keys += " " + key;
  frame.set_string(0, 1, keys, {});
  frame.set_string(0, 2, "last: " + (probe.keys.empty() ? std::string("-") : probe.keys.back()),
                   {});
  frame.set_string(0, 3, "child: " + probe.child, {});
  Style highlight;
  highlight.fg = orvo::ui::kCyan;
  highlight.bg = orvo::ui::Color::rgb(40, 44, 52);
  highlight.add = orvo::ui::Modifier::Bold;
  frame.set_string(0, 4, "styled", highlight);
  frame.set_string(0, 5, "symbols: ▼ ∅ › · — ▋", {});
  return frame;
}

// Runs the program `command[0]` with the rest as its arguments on the terminal; how it ended.
std::string run_child(const std::vector<std::string>& command) {
  const auto status = orvo::sys::spawn_and_wait(
      {.program = command[0], .args = {command.begin() + 1, command.end()}, .cwd = {}, .env = {}});
  if (!status) {
    return "failed";
  }
  if (const std::optional<int> signal = status->signal()) {
    return "signal " + std::to_string(*signal);
  }
  return "exit " + std::to_string(status->code().value_or(-1));
}

int run(int argc, char** argv) {
  auto opened = TerminalSession::open();
  if (!opened) {
    std::fprintf(stderr, "Error: %s\n", opened.error().message().c_str());
    return 1;
  }
  TerminalSession& session = *opened;
  Probe probe;
  while (!orvo::ui::termination_requested()) {
    if (auto drawn = session.draw(frame_of(probe, session.size())); !drawn) {
      (void)session.restore();
      std::fprintf(stderr, "Error: %s\n", drawn.error().message().c_str());
      return 1;
    }
    auto event = session.poll_event(orvo::ui::kEventWait);
    if (!event) {
      (void)session.restore();
      std::fprintf(stderr, "Error: %s\n", event.error().message().c_str());
      return 1;
    }
    if (const auto* paste = *event ? std::get_if<orvo::ui::PasteEvent>(&**event) : nullptr) {
      probe.record("Paste(" + paste->text + ")");
      continue;
    }
    if (!*event || !std::holds_alternative<KeyEvent>(**event)) {
      continue;
    }
    const KeyEvent& key = std::get<KeyEvent>(**event);
    if (key == KeyEvent{KeyCode::character(U'q')}) {
      break;
    }
    if (key == KeyEvent{KeyCode::character(U'e')}) {
      std::exit(3);
    }
    if (key == KeyEvent{KeyCode::character(U'z')} && argc > 1) {
      if (!session.suspend()) {
        return 1;
      }
      probe.child = run_child({argv + 1, argv + argc});
      if (!session.resume()) {
        return 1;
      }
      continue;
    }
    probe.record(orvo::ui::describe(key));
  }
  if (auto restored = session.restore(); !restored) {
    std::fprintf(stderr, "Error: %s\n", restored.error().message().c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int status = run(argc, argv);
  // Ended by a termination signal: end the same way, now that the terminal is restored.
  if (const int sig = orvo::ui::termination_signal(); sig != 0) {
    signal(sig, SIG_DFL);
    raise(sig);
  }
  return status;
}
