#pragma once

#include <optional>
#include <string_view>

#include "orvo_ui/app.hpp"
#include "orvo_ui/widgets.hpp"

namespace orvo::ui {

// Paints one whole frame of `app` over the buffer's area, starting from blank cells: the header
// line, the list of projects and worktrees with the cursor, the context row, the help line, then
// the open dialog. Reads `app` only.
void draw(const UiApp& app, Buffer& buf);

// Paints the open dialog, if any, in a cleared box in the middle of the buffer's area.
void draw_modal(const UiApp& app, Buffer& buf);

// The key help for the open dialog, or for the main view when none is open.
[[nodiscard]] std::string_view help_text(const std::optional<Modal>& modal);

}  // namespace orvo::ui
