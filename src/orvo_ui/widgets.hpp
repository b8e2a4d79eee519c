#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvo::ui {

// A colour as the drawing code names it; `Reset` is the terminal's default.
struct Color {
  enum class Kind : std::uint8_t {
    Reset, Black, Red, Green, Yellow, Blue, Magenta, Cyan, Gray, DarkGray, LightRed,
    LightGreen, LightYellow, LightBlue, LightMagenta, LightCyan, White, Rgb,
  };
  Kind kind = Kind::Reset;
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;

  static constexpr Color rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return Color{Kind::Rgb, r, g, b};
  }
  friend constexpr bool operator==(const Color&, const Color&) = default;
};

inline constexpr Color kReset{Color::Kind::Reset};
inline constexpr Color kBlack{Color::Kind::Black};
inline constexpr Color kGreen{Color::Kind::Green};
inline constexpr Color kYellow{Color::Kind::Yellow};
inline constexpr Color kCyan{Color::Kind::Cyan};
inline constexpr Color kGray{Color::Kind::Gray};
inline constexpr Color kDarkGray{Color::Kind::DarkGray};
inline constexpr Color kWhite{Color::Kind::White};

// Text attributes, as a bit set.
enum class Modifier : std::uint16_t {
  None = 0,
  Bold = 1u << 0,
  Dim = 1u << 1,
  Italic = 1u << 2,
  Underlined = 1u << 3,
  Reversed = 1u << 4,
};

constexpr Modifier operator|(Modifier a, Modifier b) {
  return static_cast<Modifier>(static_cast<std::uint16_t>(a) | static_cast<std::uint16_t>(b));
}
constexpr Modifier operator&(Modifier a, Modifier b) {
  return static_cast<Modifier>(static_cast<std::uint16_t>(a) & static_cast<std::uint16_t>(b));
}
constexpr Modifier operator~(Modifier a) {
  return static_cast<Modifier>(~static_cast<std::uint16_t>(a));
}

// A style patch: unset colours leave the cell's colour alone; `add` is OR-ed in, `sub` removed.
struct Style {
  std::optional<Color> fg;
  std::optional<Color> bg;
  Modifier add = Modifier::None;
  Modifier sub = Modifier::None;

  // This style with `other` laid over it.
  [[nodiscard]] Style patch(const Style& other) const;
  friend bool operator==(const Style&, const Style&) = default;
};

// A rectangle of cells; x and y count from the buffer's top-left corner.
struct Rect {
  std::uint16_t x = 0;
  std::uint16_t y = 0;
  std::uint16_t width = 0;
  std::uint16_t height = 0;

  [[nodiscard]] std::uint32_t area() const { return std::uint32_t{width} * height; }
  [[nodiscard]] std::uint16_t right() const { return static_cast<std::uint16_t>(x + width); }
  [[nodiscard]] std::uint16_t bottom() const { return static_cast<std::uint16_t>(y + height); }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// One screen cell: one symbol (a whole UTF-8 character) with its colours and attributes.
struct Cell {
  std::string symbol = " ";
  Color fg = kReset;
  Color bg = kReset;
  Modifier modifier = Modifier::None;

  void set_style(const Style& style);
  friend bool operator==(const Cell&, const Cell&) = default;
};

// A frame of cells that drawing writes into and the terminal copies to the screen.
class Buffer {
 public:
  explicit Buffer(Rect area) : area_(area), cells_(area.area()) {}

  [[nodiscard]] const Rect& area() const { return area_; }
  [[nodiscard]] Cell& at(std::uint16_t x, std::uint16_t y);
  [[nodiscard]] const Cell& at(std::uint16_t x, std::uint16_t y) const;

  // Applies `style` to every cell of `rect` (cut to the buffer).
  void set_style(Rect rect, const Style& style);

  // Writes `text` from (x, y), one character per cell, at most `max_width` cells, patching
  // `style` onto each written cell; returns the x after the last written cell.
  std::uint16_t set_string(std::uint16_t x, std::uint16_t y, std::string_view text,
                           const Style& style, std::uint16_t max_width = UINT16_MAX);

  // The symbols of row `y` joined, for tests and the plain dumps of frames.
  [[nodiscard]] std::string row_text(std::uint16_t y) const;

 private:
  Rect area_;
  std::vector<Cell> cells_;
};

}  // namespace orvo::ui
