#include "orvo_core/log_filter.hpp"

#include <locale.h>
#include <wctype.h>

#include <array>
#include <utility>

#include <fmt/format.h>

#include "orvo_sys/portable.hpp"
#include "orvo_sys/text.hpp"

namespace orvo::core::log {
namespace {

constexpr std::string_view kLevelError =
    "error parsing level filter: expected one of \"off\", \"error\", \"warn\", \"info\", "
    "\"debug\", \"trace\", or a number 0-5";
constexpr std::string_view kInvalidDirective = "invalid filter directive";

// Unicode letters and digits, as the C library's UTF-8 locale classifies them; without such a
// locale every non-ASCII character counts.
bool is_alphanumeric(char32_t cp) {
  if (cp < 0x80) {
    return (cp >= '0' && cp <= '9') || (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z');
  }
  const locale_t utf8 = sys::utf8_locale();
  return utf8 == static_cast<locale_t>(0) || iswalnum_l(static_cast<wint_t>(cp), utf8) != 0;
}

bool equals_ascii_nocase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) {
      return false;
    }
  }
  return true;
}

// A level name in any case, or an unsigned number (optionally with "+") from 0 (off) to 5
// (trace).
std::optional<LevelFilter> parse_level(std::string_view text) {
  static constexpr std::array<std::pair<std::string_view, LevelFilter>, 6> kNames = {{
      {"off", LevelFilter::Off},
      {"error", LevelFilter::Error},
      {"warn", LevelFilter::Warn},
      {"info", LevelFilter::Info},
      {"debug", LevelFilter::Debug},
      {"trace", LevelFilter::Trace},
  }};
  std::string_view digits = text;
  if (digits.starts_with('+')) {
    digits.remove_prefix(1);
  }
  if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos) {
    const std::size_t significant = digits.find_first_not_of('0');
    if (significant == std::string_view::npos) {
      return LevelFilter::Off;
    }
    if (digits.size() - significant == 1 && digits[significant] <= '5') {
      return static_cast<LevelFilter>(digits[significant] - '0');
    }
    return std::nullopt;
  }
  for (const auto& [name, level] : kNames) {
    if (equals_ascii_nocase(text, name)) {
      return level;
    }
  }
  return std::nullopt;
}

tl::unexpected<std::string> invalid() {
  return tl::unexpected(std::string(kInvalidDirective));
}

}  // namespace

// A state machine over the piece with its surrounding white space trimmed. Its offsets are
// positions in the trimmed text but cut the piece as given, so leading white space shifts every
// cut: " b=debug" has the target " " and the level text "=debug". Only ASCII characters change
// the state, so moving byte by byte sees the same transitions as moving by character.
tl::expected<Directive, std::string> parse_directive(std::string_view piece) {
  enum class State { Start, LevelOrTarget, Span, Field, Fields, Target, Level };
  const std::string_view trimmed = sys::trim_white_space(piece);
  const auto cut = [piece](std::size_t from, std::size_t to) {
    return std::string(piece.substr(from, to - from));
  };
  Directive directive;
  State state = State::Start;
  std::size_t start = 0;
  for (std::size_t i = 0; i < trimmed.size(); ++i) {
    const char c = trimmed[i];
    switch (state) {
      case State::Start:
        if (c == '[') {
          state = State::Span;
          start = i + 1;
          break;
        }
        if (c != '-' && c != ':' && c != '_' && !is_alphanumeric(sys::decode_utf8(trimmed).code)) {
          return invalid();
        }
        state = State::LevelOrTarget;
        start = i;
        break;
      case State::LevelOrTarget:
        if (c == '=' || c == '[') {
          directive.target = cut(start, i);
          state = c == '=' ? State::Level : State::Span;
          start = i + 1;
        }
        break;
      case State::Target:
        if (c != '=') {
          return invalid();
        }
        state = State::Level;
        start = i + 1;
        break;
      case State::Span:
        if (c == ']') {
          directive.span = cut(start, i);
          state = State::Target;
        } else if (c == '{') {
          if (i > start) {
            directive.span = cut(start, i);
          }
          state = State::Field;
          start = i + 1;
        }
        break;
      case State::Field:
        if (c == '}') {
          if (i == start) {
            return invalid();
          }
          directive.fields.push_back(cut(start, i));
          state = State::Fields;
        }
        break;
      case State::Fields:
        if (c != ']') {
          return invalid();
        }
        state = State::Target;
        break;
      case State::Level:
        break;
    }
  }
  switch (state) {
    case State::LevelOrTarget: {
      const std::string word(piece.substr(start));
      if (const std::optional<LevelFilter> level = parse_level(word)) {
        directive.level = *level;
      } else {
        directive.target = word;
      }
      return directive;
    }
    case State::Level: {
      const std::string_view text = piece.substr(start);
      if (text.empty()) {
        return directive;
      }
      const std::optional<LevelFilter> level = parse_level(text);
      if (!level) {
        return tl::unexpected(std::string(kLevelError));
      }
      directive.level = *level;
      return directive;
    }
    case State::Target:
      return directive;
    default:
      return invalid();
  }
}

Filter parse_filter(std::string_view raw) {
  Filter filter;
  while (true) {
    const std::size_t comma = raw.find(',');
    const std::string_view piece = raw.substr(0, comma);
    if (!piece.empty()) {
      tl::expected<Directive, std::string> directive = parse_directive(piece);
      if (directive) {
        filter.directives.push_back(std::move(*directive));
      } else {
        filter.complaints.push_back(fmt::format("ignoring `{}`: {}\n", piece, directive.error()));
      }
    }
    if (comma == std::string_view::npos) {
      break;
    }
    raw.remove_prefix(comma + 1);
  }
  if (filter.directives.empty()) {
    Directive errors_only;
    errors_only.level = LevelFilter::Error;
    filter.directives.push_back(std::move(errors_only));
  }
  return filter;
}

LevelFilter level_for(const std::vector<Directive>& directives, std::string_view target) {
  const Directive* best = nullptr;
  std::size_t best_rank = 0;
  for (const Directive& directive : directives) {
    if (directive.span || !directive.fields.empty()) {
      continue;
    }
    if (directive.target && !target.starts_with(*directive.target)) {
      continue;
    }
    const std::size_t rank = directive.target ? directive.target->size() + 1 : 0;
    if (best == nullptr || rank >= best_rank) {
      best = &directive;
      best_rank = rank;
    }
  }
  return best == nullptr ? LevelFilter::Off : best->level;
}

}  // namespace orvo::core::log
