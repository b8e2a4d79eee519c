#include "orvo_ui/terminal_cells.hpp"

#include <gtest/gtest.h>

namespace orvo::ui {
namespace {

TEST(ColorIndex, MapsColoursToThePaletteOfTheTerminal) {
  constexpr int kDirect = 1 << 24;
  struct Case {
    const char* what;
    Color color;
    int colors;
    int expected;
  } const cases[] = {
      {"reset is the default", kReset, 256, -1},
      {"black", kBlack, 256, 0},
      {"green", kGreen, 256, 2},
      {"yellow", kYellow, 256, 3},
      {"cyan", kCyan, 256, 6},
      {"gray", kGray, 256, 7},
      {"dark gray", kDarkGray, 256, 8},
      {"white", kWhite, 256, 15},
      {"white with 16 colours", kWhite, 16, 15},
      {"dark gray with 8 colours is gray, not black", kDarkGray, 8, 7},
      {"white with 8 colours", kWhite, 8, 7},
      {"light red with 8 colours", Color{Color::Kind::LightRed}, 8, 1},
      {"monochrome", kCyan, 2, -1},
      {"rgb exact with direct colour", Color::rgb(40, 44, 52), kDirect, 0x282C34},
      {"rgb nearest grey of 256", Color::rgb(40, 44, 52), 256, 236},
      {"rgb nearest cube entry of 256", Color::rgb(255, 0, 0), 256, 196},
      {"rgb black is the cube's black", Color::rgb(0, 0, 0), 256, 16},
      {"rgb white is the cube's white", Color::rgb(255, 255, 255), 256, 231},
      {"rgb mid grey", Color::rgb(128, 128, 128), 256, 244},
      {"rgb with 16 colours is the default", Color::rgb(40, 44, 52), 16, -1},
      {"plain colours stay numbered with direct colour", kCyan, kDirect, 6},
      {"bright colours become rgb with direct colour", kWhite, kDirect, 0xFFFFFF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(color_index(c.color, c.colors), c.expected);
  }
}

}  // namespace
}  // namespace orvo::ui
