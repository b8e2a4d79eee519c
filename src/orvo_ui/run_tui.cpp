#include "orvo_ui/run_tui.hpp"

#include <chrono>
#include <type_traits>
#include <utility>
#include <variant>

#include <fmt/format.h>

#include "orvo_core/path.hpp"
#include "orvo_runtime/app.hpp"
#include "orvo_sys/process.hpp"
#include "orvo_ui/draw.hpp"

namespace orvo::ui {
namespace {

std::string agent_end_message(const tl::expected<sys::ExitStatus, sys::ProcessError>& status) {
  if (status) {
    return fmt::format("Pi exited ({})", sys::exit_status_text(*status));
  }
  return fmt::format("Pi failed: {} (is `pi` on PATH?)", status.error().message());
}

// Shows the last line the Terminal window programs wrote to their standard error since the
// previous turn, in place of the message before it.
void show_window_message(UiApp& app) {
  if (auto message = app.runtime->take_window_message()) {
    app.show_toast(fmt::format("Terminal window: {}", *message));
  }
}

}  // namespace

EventLoop::EventLoop(TerminalSession& terminal, UiApp& app)
    : terminal_(terminal), app_(app), frame_(Rect{}) {}

core::Result<bool> EventLoop::turn() {
  const Rect area = terminal_.size();
  if (frame_.area() != area) {
    frame_ = Buffer(area);
  }
  draw(app_, frame_);
  if (auto drawn = terminal_.draw(frame_); !drawn) {
    return tl::unexpected(std::move(drawn.error()));
  }
  if (app_.quit) {
    return false;
  }
  if (app_.needs_reload) {
    app_.reload_from_runtime();
    app_.needs_reload = false;
  }
  auto event = terminal_.poll_event(kEventWait);
  if (!event) {
    return tl::unexpected(std::move(event.error()));
  }
  if (termination_requested()) {
    return false;
  }
  show_window_message(app_);
  if (!*event) {
    app_.expire_toast(std::chrono::steady_clock::now());
    return true;
  }
  if (const auto* paste = std::get_if<PasteEvent>(&**event)) {
    app_.handle_paste(paste->text);
    return true;
  }
  // A resize only needs the next frame, which is drawn at the new size.
  const auto* key = std::get_if<KeyEvent>(&**event);
  if (key == nullptr) {
    return true;
  }
  auto outcome = app_.handle_key(*key);
  if (!outcome) {
    return tl::unexpected(std::move(outcome.error()));
  }
  return std::visit(
      [&](auto& result) -> core::Result<bool> {
        using T = std::decay_t<decltype(result)>;
        if constexpr (std::is_same_v<T, Quit>) {
          return false;
        } else if constexpr (std::is_same_v<T, RunForeground>) {
          return run_agent_in_foreground(terminal_, app_, result.path).map([] { return true; });
        } else if constexpr (std::is_same_v<T, RunEditor>) {
          return run_editor_in_foreground(terminal_, app_, result.path).map([] { return true; });
        } else {
          return true;
        }
      },
      *outcome);
}

core::Result<void> EventLoop::run() {
  for (;;) {
    auto more = turn();
    if (!more) {
      return tl::unexpected(std::move(more.error()));
    }
    if (!*more) {
      return {};
    }
  }
}

std::string agent_banner(const std::filesystem::path& dir) {
  return fmt::format("\n—— Orvo · Pi @ {} ——\n\n", core::display(dir));
}

core::Result<void> run_agent_in_foreground(TerminalSession& terminal, UiApp& app,
                                           const std::filesystem::path& dir) {
  if (auto suspended = terminal.suspend(); !suspended) {
    return suspended;
  }
  terminal.print(agent_banner(dir));
  const sys::Command command{
      .program = app.runtime->prefs_pi_bin(),
      .args = {},
      .cwd = dir,
      .env = {{"ORVO_WORKTREE", core::display(dir)}},
  };
  // The message's five seconds start when the agent has ended, not when it started.
  std::string message = agent_end_message(sys::spawn_and_wait(command, terminal.child_streams()));
  app.show_toast(std::move(message), std::chrono::steady_clock::now());
  if (auto resumed = terminal.resume(); !resumed) {
    return resumed;
  }
  app.needs_reload = true;
  return {};
}

core::Result<void> run_editor_in_foreground(TerminalSession& terminal, UiApp& app,
                                            const std::filesystem::path& dir) {
  if (auto suspended = terminal.suspend(); !suspended) {
    return suspended;
  }
  auto opened = app.runtime->handle(runtime::OpenEditor{dir, terminal.child_streams()});
  app.show_toast(opened ? std::string("opened editor") : "editor: " + opened.error().message());
  return terminal.resume();
}

core::Result<void> run_tui(std::shared_ptr<runtime::Runtime> runtime,
                           std::optional<std::string> start_path) {
  if (start_path) {
    if (auto added = runtime->handle(runtime::AddProject{std::move(*start_path)}); !added) {
      return added;
    }
  }
  runtime->bootstrap();
  auto terminal = TerminalSession::open();
  if (!terminal) {
    return tl::unexpected(std::move(terminal.error()));
  }
  UiApp app(std::move(runtime));
  app.reload_from_runtime();
  const core::Result<void> result = EventLoop(*terminal, app).run();
  // A failure to give the terminal back outranks the loop's own result.
  if (auto restored = terminal->restore(); !restored) {
    return restored;
  }
  return result;
}

}  // namespace orvo::ui
