#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include <fmt/format.h>

#include "orvo_core/model.hpp"
#include "orvo_ui/app.hpp"
#include "orvo_ui/widgets.hpp"

namespace orvo::ui {

inline void PrintTo(const Rect& r, std::ostream* os) {
  *os << "Rect{x" << r.x << " y" << r.y << " w" << r.width << " h" << r.height << "}";
}

inline void PrintTo(const Color& c, std::ostream* os) {
  *os << "Color{" << static_cast<int>(c.kind) << " " << int{c.r} << "," << int{c.g} << ","
      << int{c.b} << "}";
}

namespace test {

// Every row of the buffer as text, blanks at the end of each row removed.
inline std::vector<std::string> rows(const Buffer& buf) {
  std::vector<std::string> out;
  for (std::uint16_t y = buf.area().y; y < buf.area().bottom(); ++y) {
    std::string row = buf.row_text(y);
    row.erase(row.find_last_not_of(' ') + 1);
    out.push_back(std::move(row));
  }
  return out;
}

// `text` followed by blanks up to `cells` cells.
inline std::string pad(std::string text, std::size_t cells) {
  const std::size_t width = display_width(text);
  if (width < cells) {
    text.append(cells - width, ' ');
  }
  return text;
}

// `count` copies of a one-cell symbol.
inline std::string repeat(std::string_view symbol, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) {
    out += symbol;
  }
  return out;
}

// A fixed project identity numbered `n`.
inline core::ProjectId project_id(std::uint8_t n) {
  core::Uuid::Bytes bytes{};
  bytes[15] = n;
  return core::ProjectId(core::Uuid(bytes));
}

inline core::WorktreeView worktree(std::string path, std::optional<std::string> branch,
                                   bool is_main = false) {
  return core::WorktreeView{
      .path = std::move(path), .branch = std::move(branch), .is_main = is_main};
}

inline core::ProjectSnapshot project(std::uint8_t n, std::string name,
                                     std::optional<std::string> quick_base,
                                     std::vector<core::WorktreeView> worktrees = {}) {
  core::ProjectSnapshot snap;
  snap.project.id = project_id(n);
  snap.project.name = std::move(name);
  snap.project.main_path = "/r/" + snap.project.name;
  snap.project.quick_base = std::move(quick_base);
  snap.worktrees = std::move(worktrees);
  return snap;
}

// The items joined with "|".
inline std::string join(const std::vector<std::string_view>& items) {
  std::string out;
  for (const std::string_view item : items) {
    out += out.empty() ? "" : "|";
    out += item;
  }
  return out;
}

// The open dialog as one line, the project identity left out.
inline std::string modal_text(const std::optional<Modal>& modal) {
  if (!modal) {
    return "none";
  }
  return std::visit(
      [](const auto& d) -> std::string {
        using D = std::decay_t<decltype(d)>;
        if constexpr (std::is_same_v<D, NewWorktree>) {
          return fmt::format("NewWorktree {} name={} base={} field={}", d.project_name, d.name,
                             d.base, d.active_field);
        } else if constexpr (std::is_same_v<D, QuickBase>) {
          return fmt::format("QuickBase {} input={}", d.project_name, d.input);
        } else if constexpr (std::is_same_v<D, AddProject>) {
          return fmt::format("AddProject input={}", d.input);
        } else if constexpr (std::is_same_v<D, ConfirmDelete>) {
          return fmt::format("ConfirmDelete {}", d.path.string());
        } else {
          return fmt::format("PickBase filter={} selected={} visible={}", d.filter, d.selected,
                             join(d.matching()));
        }
      },
      *modal);
}

}  // namespace test
}  // namespace orvo::ui
