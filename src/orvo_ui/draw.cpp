#include "orvo_ui/draw.hpp"

#include <algorithm>
#include <iterator>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include <fmt/format.h>

#include "orvo_core/path.hpp"
#include "orvo_sys/text.hpp"

namespace orvo::ui {
namespace {

constexpr std::string_view kHelp[] = {
    "name/base · Tab switch · Enter create+pi · Ctrl-p create only · Ctrl-b pick base · Esc",
    "type origin/main · Enter save · Esc",
    "absolute git path · Enter · Esc",
    "y delete · n/Esc cancel",
    "type filter · j/k · Enter · Esc",
};
constexpr std::string_view kTitles[] = {
    " New Worktree ", " Quick Base ", " Add Project ", " Confirm Delete ", " Pick Base Branch ",
};
static_assert(std::size(kHelp) == std::variant_size_v<Modal>);
static_assert(std::size(kTitles) == std::variant_size_v<Modal>);

// Rows of the branch picker's window: how many it shows and how many come before the selection.
constexpr std::size_t kBranchWindow = 14;
constexpr std::size_t kBranchesAbove = 6;

const Style kHeaderStyle{kBlack, kCyan, Modifier::Bold};
const Style kProjectNameStyle{kCyan, std::nullopt, Modifier::Bold};
const Style kQuickBaseStyle{kDarkGray};
const Style kLabelStyle{kWhite};
const Style kBranchStyle{kGray};
const Style kHighlightStyle{std::nullopt, Color::rgb(40, 44, 52), Modifier::Bold};
const Style kContextStyle{kYellow};
const Style kHelpStyle{kDarkGray};
const Style kDialogBorderStyle{kCyan};
const Style kMarkerStyle{kGreen};
const Style kTypedStyle{kWhite};

// `text` with every control character written as a visible escape: \n, \t and \r, the others as
// \x and two hexadecimal digits; a backslash is doubled, so that no escape reads like a name that
// holds those characters. The Confirm Delete dialog names the folder a forced removal takes;
// drawn as they are, control characters would be dropped and the name read as another folder's.
std::string with_visible_controls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const sys::Utf8Char c = sys::decode_utf8(text);
    switch (c.code) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (sys::is_control(c.code)) {
          out += fmt::format("\\x{:02x}", static_cast<unsigned>(c.code));
        } else {
          out += text.substr(0, c.length);
        }
    }
    text.remove_prefix(c.length);
  }
  return out;
}

Line row_line(const FlatItem& item) {
  if (const auto* project = std::get_if<ProjectRow>(&item)) {
    return Line(std::vector<Span>{
        {"▼ " + project->name, kProjectNameStyle},
        {"  " + project->quick_base.value_or("∅ quick base"), kQuickBaseStyle},
    });
  }
  const auto& wt = std::get<WorktreeRow>(item);
  return Line(std::vector<Span>{
      {"  ", {}},
      {worktree_label(wt.path), kLabelStyle},
      {fmt::format("  [{}]{}", wt.branch.value_or("detached"), wt.is_main ? " main" : ""),
       kBranchStyle},
  });
}

void draw_header(const UiApp& app, Rect area, Buffer& buf) {
  Paragraph{
      .lines = {Line(
          fmt::format(" Orvo · worktree agent shell · {} projects ", app.projects.size()))},
      .style = kHeaderStyle,
  }
      .render(area, buf);
}

// Builds only the rows that fit in the box, from the window the list would show of all rows.
void draw_list(const UiApp& app, Rect area, Buffer& buf) {
  const Block block{.borders = Borders::All, .title = " Projects / Worktrees "};
  ListState all;
  if (!app.flat.empty()) {
    all.selected = std::min(app.selected, app.flat.size() - 1);
  }
  const std::uint16_t height = block.inner(area).height;
  all.scroll(app.flat.size(), height);
  const std::size_t end = std::min(app.flat.size(), all.offset + height);

  List list{
      .items = {},
      .block = block,
      .highlight_style = kHighlightStyle,
      .highlight_symbol = "› ",
  };
  list.items.reserve(end - all.offset);
  for (std::size_t i = all.offset; i < end; ++i) {
    list.items.push_back(row_line(app.flat[i]));
  }
  ListState window;
  if (all.selected) {
    window.selected = *all.selected - all.offset;
  }
  list.render(area, buf, window);
}

void draw_context(const UiApp& app, Rect area, Buffer& buf) {
  std::string text = app.context_line();
  if (!app.toast.empty()) {
    text += "  ·  ";
    text += app.toast;
  }
  // A message can hold several lines (git's error output); the one row shows the first.
  Paragraph{.lines = text_lines(text), .style = kContextStyle}.render(area, buf);
}

void draw_help(const UiApp& app, Rect area, Buffer& buf) {
  Paragraph{
      .lines = {Line(std::string(help_text(app.modal)))},
      .style = kHelpStyle,
      .block = Block{.borders = Borders::Top},
      .wrap = true,
  }
      .render(area, buf);
}

Line field_line(bool active, std::string_view label, const std::string& value) {
  return Line(std::vector<Span>{
      {active ? "> " : "  ", kMarkerStyle},
      {std::string(label), {}},
      {value, kTypedStyle},
  });
}

void append_branch_window(const PickBase& picker, std::vector<Line>& lines) {
  const std::vector<std::string_view> matches = picker.matching();
  if (matches.empty()) {
    lines.emplace_back("(no matches)");
    return;
  }
  if (picker.selected >= matches.size()) {
    return;
  }
  const std::size_t first = picker.selected < kBranchesAbove ? 0 : picker.selected - kBranchesAbove;
  const std::size_t end = std::min(first + kBranchWindow, matches.size());
  for (std::size_t i = first; i < end; ++i) {
    lines.emplace_back(fmt::format("{}{}", i == picker.selected ? "› " : "  ", matches[i]));
  }
}

std::vector<Line> dialog_body(const Modal& modal) {
  std::vector<Line> lines;
  std::visit(
      [&](const auto& dialog) {
        using T = std::decay_t<decltype(dialog)>;
        if constexpr (std::is_same_v<T, NewWorktree>) {
          lines.emplace_back("project: " + dialog.project_name);
          lines.emplace_back();
          lines.push_back(field_line(dialog.active_field == 0, "name: ", dialog.name));
          lines.push_back(field_line(dialog.active_field != 0, "base: ", dialog.base));
          lines.emplace_back();
          lines.emplace_back("Enter=create+Pi  Ctrl-p=create  Ctrl-b=pick base");
        } else if constexpr (std::is_same_v<T, QuickBase>) {
          lines.emplace_back("project: " + dialog.project_name);
          lines.emplace_back();
          lines.emplace_back("quick base: " + dialog.input + "▋");
        } else if constexpr (std::is_same_v<T, AddProject>) {
          lines.emplace_back("Absolute path to git repo:");
          lines.emplace_back();
          lines.emplace_back(dialog.input + "▋");
        } else if constexpr (std::is_same_v<T, ConfirmDelete>) {
          lines.emplace_back("Force-remove linked worktree?");
          lines.emplace_back(with_visible_controls(core::display(dialog.path)));
          lines.emplace_back();
          lines.emplace_back("y = yes   n = cancel");
        } else {
          static_assert(std::is_same_v<T, PickBase>);
          lines.emplace_back("filter: " + dialog.filter + "▋");
          lines.emplace_back();
          append_branch_window(dialog, lines);
        }
      },
      modal);
  return lines;
}

}  // namespace

std::string_view help_text(const std::optional<Modal>& modal) {
  return modal ? kHelp[modal->index()] : main_view_help();
}

void draw(const UiApp& app, Buffer& buf) {
  const Rect frame = buf.area();
  buf.reset(frame);
  const std::vector<Rect> areas = split(
      frame, Direction::Vertical,
      {Constraint::length(1), Constraint::min(5), Constraint::length(1), Constraint::length(2)});
  draw_header(app, areas[0], buf);
  draw_list(app, areas[1], buf);
  draw_context(app, areas[2], buf);
  draw_help(app, areas[3], buf);
  draw_modal(app, buf);
}

void draw_modal(const UiApp& app, Buffer& buf) {
  if (!app.modal) {
    return;
  }
  const Rect band = split(
      buf.area(), Direction::Vertical,
      {Constraint::percentage(29), Constraint::percentage(42), Constraint::percentage(29)})[1];
  const Rect area = split(
      band, Direction::Horizontal,
      {Constraint::percentage(18), Constraint::percentage(64), Constraint::percentage(18)})[1];
  clear(area, buf);
  Paragraph{
      .lines = dialog_body(*app.modal),
      .block = Block{.borders = Borders::All,
                     .title = std::string(kTitles[app.modal->index()]),
                     .border_style = kDialogBorderStyle},
  }
      .render(area, buf);
}

}  // namespace orvo::ui
