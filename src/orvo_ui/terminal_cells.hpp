#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "orvo_ui/widgets.hpp"

// How the cells of a frame become the terminal's: colour numbers of the terminal's palette, and
// a cell's symbol as the wide characters of one screen cell.

namespace orvo::ui {

// The terminal colour number for `color` on a terminal with `colors` colours; -1 is the
// terminal's default. Named colours are the first 16 (with 8 colours the bright ones fall back
// to their plain forms, DarkGray to Gray); RGB is exact (packed 0xRRGGBB) with 1 << 24 colours,
// the nearest entry of the 256-colour cube and grey ramp with at least 256, else the default.
[[nodiscard]] int color_index(Color color, int colors);

// The wide characters of one screen cell: a character, the marks that join it, and a
// terminating NUL.
using CellChars = std::array<wchar_t, kMarksPerCell + 2>;

// A cell's symbol as the wide characters of one screen cell, into `out`, and its width in
// columns: a printable character with the zero-width marks after it (as many as a cell holds); a
// blank for an empty symbol, a blank before a mark that has no character, and U+FFFD for a
// character that cannot be shown.
[[nodiscard]] int symbol_to_wide(std::string_view symbol, CellChars& out);

}  // namespace orvo::ui
