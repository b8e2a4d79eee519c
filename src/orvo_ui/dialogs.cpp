#include "orvo_ui/app.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include <fmt/format.h>

#include "orvo_core/log.hpp"
#include "orvo_runtime/app.hpp"
#include "orvo_sys/text.hpp"

namespace orvo::ui {
namespace {

using Kind = KeyCode::Kind;

constexpr std::string_view kLogTarget = "orvo_ui::app";

bool is_char(const KeyEvent& key, char32_t c) {
  return key.code.kind == Kind::Char && key.code.ch == c;
}

bool is_control_char(const KeyEvent& key, char32_t c) {
  return is_char(key, c) && contains(key.modifiers, KeyModifiers::Control);
}

// Unicode scalar values other than control characters: what a text field can hold, so that a
// key event carrying anything else never puts broken or invisible text on screen or into git.
bool is_typable(char32_t c) {
  return sys::is_scalar_value(c) && !sys::is_control(c);
}

std::optional<char32_t> typable(const KeyEvent& key) {
  if (key.code.kind != Kind::Char || !is_typable(key.code.ch)) {
    return std::nullopt;
  }
  return key.code.ch;
}

// The character the New Worktree dialog types: only with no modifier or Shift alone.
std::optional<char32_t> strict_plain_char(const KeyEvent& key) {
  const bool unmodified =
      key.modifiers == KeyModifiers::None || key.modifiers == KeyModifiers::Shift;
  return unmodified ? typable(key) : std::nullopt;
}

// The character the other dialogs type: whenever Control is not held.
std::optional<char32_t> plain_char(const KeyEvent& key) {
  return contains(key.modifiers, KeyModifiers::Control) ? std::nullopt : typable(key);
}

// Backspace removes the last character of `field`, a typable character is appended to it.
void edit(std::string& field, const KeyEvent& key, std::optional<char32_t> typed) {
  if (key.code.kind == Kind::Backspace) {
    field.erase(sys::last_char_start(field));
  } else if (typed) {
    sys::append_utf8(field, *typed);
  }
}

// The characters of `text` that a text field can hold, in order.
std::string typable_text(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    const sys::Utf8Char c = sys::decode_utf8(text);
    text.remove_prefix(c.length);
    if (c.valid && is_typable(c.code)) {
      sys::append_utf8(out, c.code);
    }
  }
  return out;
}

// Where pasted text is typed: the text field of each dialog that has one.
struct PasteInto {
  const std::string& typed;

  void operator()(NewWorktree& dialog) const {
    (dialog.active_field == 0 ? dialog.name : dialog.base) += typed;
  }
  void operator()(QuickBase& dialog) const { dialog.input += typed; }
  void operator()(AddProject& dialog) const { dialog.input += typed; }
  void operator()(ConfirmDelete& /*dialog*/) const {}
  // As typing does, a changed filter puts the cursor back on the first visible branch.
  void operator()(PickBase& picker) const {
    if (!typed.empty()) {
      picker.filter += typed;
      picker.selected = 0;
    }
  }
};

std::string trimmed(std::string_view text) {
  return std::string(sys::trim_white_space(text));
}

// A branch or base name as typed or picked: git allows no ASCII white space in a ref name, so only
// that is trimmed; any other character, such as U+00A0, belongs to the name.
std::string trimmed_ref(std::string_view text) {
  return std::string(sys::trim_ascii_white_space(text));
}

// The key handling of each dialog. A handler gets the dialog by value and stores it back into
// `app.modal` only when it stays open.
class DialogKeys {
 public:
  DialogKeys(UiApp& app, const KeyEvent& key) : app_(app), key_(key) {}

  core::Result<KeyOutcome> operator()(NewWorktree dialog) const {
    switch (key_.code.kind) {
      case Kind::Enter:
        app_.create_wt(dialog.name, dialog.base, dialog.project_id, true);
        if (std::optional<std::filesystem::path> path = std::exchange(app_.foreground_path, {})) {
          return RunForeground{std::move(*path)};
        }
        return Continue{};
      case Kind::Esc:
        return Continue{};
      case Kind::Tab:
        dialog.active_field = dialog.active_field == 0 ? 1 : 0;
        return keep(std::move(dialog));
      default:
        break;
    }
    if (is_control_char(key_, U'p')) {
      app_.create_wt(dialog.name, dialog.base, dialog.project_id, false);
      return Continue{};
    }
    if (is_control_char(key_, U'b')) {
      open_picker(std::move(dialog));
      return Continue{};
    }
    edit(dialog.active_field == 0 ? dialog.name : dialog.base, key_, strict_plain_char(key_));
    return keep(std::move(dialog));
  }

  core::Result<KeyOutcome> operator()(PickBase picker) const {
    if (key_.code.kind == Kind::Up || is_char(key_, U'k')) {
      picker.selected = picker.selected == 0 ? 0 : picker.selected - 1;
      return keep(std::move(picker));
    }
    if (key_.code.kind == Kind::Down || is_char(key_, U'j')) {
      const std::size_t visible = picker.matching().size();
      if (visible > 0) {
        picker.selected = std::min(picker.selected + 1, visible - 1);
      }
      return keep(std::move(picker));
    }
    switch (key_.code.kind) {
      case Kind::Enter:
        pick(picker);
        return Continue{};
      case Kind::Esc:
        unpark(std::nullopt);
        return Continue{};
      default:
        break;
    }
    const std::optional<char32_t> typed = plain_char(key_);
    if (key_.code.kind == Kind::Backspace || typed) {
      edit(picker.filter, key_, typed);
      picker.selected = 0;
    }
    return keep(std::move(picker));
  }

  core::Result<KeyOutcome> operator()(QuickBase dialog) const {
    switch (key_.code.kind) {
      case Kind::Enter:
        return save_quick_base(std::move(dialog));
      case Kind::Esc:
        return Continue{};
      default:
        edit(dialog.input, key_, plain_char(key_));
        return keep(std::move(dialog));
    }
  }

  core::Result<KeyOutcome> operator()(AddProject dialog) const {
    switch (key_.code.kind) {
      case Kind::Enter:
        if (auto added = app_.runtime->handle(runtime::AddProject{trimmed(dialog.input)}); !added) {
          app_.show_toast(fmt::format("add failed: {}", added.error().message()));
          return keep(std::move(dialog));
        }
        app_.needs_reload = true;
        app_.show_toast("project added");
        return Continue{};
      case Kind::Esc:
        return Continue{};
      default:
        edit(dialog.input, key_, plain_char(key_));
        return keep(std::move(dialog));
    }
  }

  core::Result<KeyOutcome> operator()(ConfirmDelete dialog) const {
    if (is_char(key_, U'y') || is_char(key_, U'Y')) {
      auto removed = app_.runtime->handle(
          runtime::RemoveWorktree{std::move(dialog.path), dialog.project_id, true});
      app_.show_toast(removed ? std::string("worktree removed")
                              : fmt::format("remove failed: {}", removed.error().message()));
      app_.needs_reload = true;
      return Continue{};
    }
    if (is_char(key_, U'n') || key_.code.kind == Kind::Esc) {
      return Continue{};
    }
    return keep(std::move(dialog));
  }

 private:
  template <class Dialog>
  KeyOutcome keep(Dialog dialog) const {
    app_.modal = std::move(dialog);
    return Continue{};
  }

  // Reads the project's branches and, when that works, parks the dialog and opens the picker;
  // otherwise the dialog stays as it was.
  void open_picker(NewWorktree dialog) const {
    auto branches = app_.runtime->list_branches(dialog.project_id);
    if (!branches) {
      app_.show_toast(fmt::format("branches: {}", branches.error().message()));
      app_.modal = std::move(dialog);
      return;
    }
    const core::ProjectId project_id = dialog.project_id;
    app_.pending = PendingNew{std::move(dialog.project_name), std::move(dialog.name),
                              std::move(dialog.base), project_id};
    app_.modal = PickBase{std::move(*branches), {}, project_id, 0};
  }

  // Enter on a visible branch brings the parked dialog back with it as the base; with nothing
  // visible at the cursor the picker just closes and the parked dialog stays parked.
  void pick(const PickBase& picker) const {
    const std::vector<std::string_view> visible = picker.matching();
    if (picker.selected < visible.size()) {
      unpark(std::string(visible[picker.selected]));
    }
  }

  // Takes the parked New Worktree dialog back into `app.modal`: with a picked base the name field
  // takes the typing, without one the base is kept and the base field takes it.
  void unpark(std::optional<std::string> picked_base) const {
    std::optional<PendingNew> parked = std::exchange(app_.pending, std::nullopt);
    if (!parked) {
      return;
    }
    const std::uint8_t field = picked_base ? 0 : 1;
    app_.modal = NewWorktree{std::move(parked->project_name), std::move(parked->name),
                             picked_base ? std::move(*picked_base) : std::move(parked->base),
                             parked->project_id, field};
  }

  core::Result<KeyOutcome> save_quick_base(QuickBase dialog) const {
    std::string base = trimmed_ref(dialog.input);
    if (base.empty()) {
      app_.show_toast("empty base");
      return keep(std::move(dialog));
    }
    if (auto saved =
            app_.runtime->handle(runtime::SetQuickBase{dialog.project_id, std::move(base)});
        !saved) {
      return tl::unexpected(std::move(saved.error()));
    }
    app_.needs_reload = true;
    app_.show_toast("quick base saved");
    return Continue{};
  }

  UiApp& app_;
  const KeyEvent& key_;
};

}  // namespace

core::Result<KeyOutcome> UiApp::handle_modal_key(Modal dialog, const KeyEvent& key) {
  return std::visit(DialogKeys(*this, key), std::move(dialog));
}

void UiApp::handle_paste(std::string_view text) {
  if (modal) {
    const std::string typed = typable_text(text);
    std::visit(PasteInto{typed}, *modal);
  }
}

void UiApp::create_wt(std::string_view name, std::string_view base,
                      const core::ProjectId& project_id, bool start_pi) {
  std::string branch = trimmed_ref(name);
  std::string from = trimmed_ref(base);
  if (branch.empty() || from.empty()) {
    show_toast("name and base required");
    return;
  }
  // The agent is started below, not through the command's own flag, so that the interface
  // knows the new worktree's path for the foreground run too.
  if (auto created = runtime->handle(runtime::CreateWorktree{branch, from, project_id, false});
      !created) {
    const std::string& message = created.error().message();
    core::log::event(core::log::Level::Error, kLogTarget, "create worktree", {{"error", message}});
    show_toast(fmt::format("create failed: {}", message));
    return;
  }
  needs_reload = true;
  reload_from_runtime();
  show_toast(fmt::format("created {} \u2190 {}", branch, from));
  if (start_pi && focus.path) {
    (void)runtime->handle(runtime::StartPi{*focus.path, project_id});
    foreground_path = *focus.path;
  }
}

}  // namespace orvo::ui
