#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvo::sys {

// U+FFFD, the replacement character, in UTF-8.
inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// One character decoded from the front of a UTF-8 text.
struct Utf8Char {
  char32_t code = 0;       // U+FFFD when the sequence is invalid
  std::size_t length = 1;  // bytes consumed: the sequence, or its maximal invalid part (>= 1)
  bool valid = false;
};

// Decodes the character at the front of `bytes`, which must not be empty. An invalid sequence
// covers its longest prefix that could still have begun a valid one, so that replacing each
// invalid sequence by one U+FFFD gives the standard lossy reading.
[[nodiscard]] Utf8Char decode_utf8(std::string_view bytes);

// Where the last character of `bytes` begins: the byte before the continuation bytes (at most
// three) that end it; 0 for an empty text.
[[nodiscard]] std::size_t last_char_start(std::string_view bytes);

// Whether `code` is a Unicode scalar value: at most U+10FFFF and not a surrogate.
[[nodiscard]] bool is_scalar_value(char32_t code);

// Whether `code` is a control character: C0 (below U+0020), DEL or C1 (U+0080 to U+009F).
[[nodiscard]] bool is_control(char32_t code);

// Whether `code` has Unicode's White_Space property.
[[nodiscard]] bool is_white_space(char32_t code);

// The value of the hexadecimal digit `c` (0-9, a-f, A-F), or -1 for any other character.
[[nodiscard]] int hex_digit_value(char c);

// Appends the UTF-8 encoding of `code` (a Unicode scalar value) to `out`.
void append_utf8(std::string& out, char32_t code);

// Whether `bytes` is well-formed UTF-8 (no surrogates, no overlong forms, nothing above U+10FFFF).
[[nodiscard]] bool is_valid_utf8(std::string_view bytes);

// `bytes` read as UTF-8 with each maximal invalid subsequence replaced by one U+FFFD.
[[nodiscard]] std::string lossy_utf8(std::string_view bytes);

// The number of screen columns the character `code` takes, as the C library measures it under
// the current LC_CTYPE, which must be a UTF-8 locale: 0 for a mark that joins the character
// before it, 1, or 2 for a wide character; -1 for one that cannot be shown (NUL, the other
// control characters, unassigned code points). Terminals and the terminal library measure with
// the same function, so text laid out by it lines up on the screen.
[[nodiscard]] int char_width(char32_t code);

// `text` without the leading characters for which `drop` holds; an invalid sequence is handed to
// `drop` as U+FFFD.
[[nodiscard]] std::string_view trim_start_if(std::string_view text, bool (*drop)(char32_t));

// `text` without leading and trailing Unicode White_Space characters.
[[nodiscard]] std::string_view trim_white_space(std::string_view text);

// `text` without leading and trailing ASCII white space (blank, tab, line feed, vertical tab,
// form feed, carriage return). git allows none of these in a ref name, while every other
// character, U+00A0 among them, may belong to one.
[[nodiscard]] std::string_view trim_ascii_white_space(std::string_view text);

// The lines of `text`, split at line feeds; a carriage return just before a line feed goes with
// it, and a final line feed makes no extra empty line. Views into `text`.
[[nodiscard]] std::vector<std::string_view> split_lines(std::string_view text);

// The names in a Unix path text, in order: the parts between its "/" separators, without the
// empty ones (repeated, leading and trailing separators) and ".". Views into `path`.
[[nodiscard]] std::vector<std::string_view> path_names(std::string_view path);

// `text` between double quotes as diagnostics show strings: `"` and `\` escaped, tab, line feed,
// carriage return and NUL as \t \n \r \0, other control and invisible characters (C0, DEL, C1,
// format and separator characters, combining marks, private use) as \u{hex}; everything else as
// it is.
[[nodiscard]] std::string debug_quoted(std::string_view text);

}  // namespace orvo::sys
