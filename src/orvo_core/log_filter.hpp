#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <tl/expected.hpp>

namespace orvo::core::log {

enum class Level { Error, Warn, Info, Debug, Trace };

// The most verbose level let through; `Off` lets nothing through.
enum class LevelFilter { Off, Error, Warn, Info, Debug, Trace };

// Whether `filter` lets events of `level` through.
[[nodiscard]] constexpr bool admits(LevelFilter filter, Level level) {
  return static_cast<int>(level) < static_cast<int>(filter);
}

// One RUST_LOG directive: a level for the events whose target begins with `target`, or for all
// events when it has none. A directive that also names a span or fields selects events inside
// such spans; Orvo records no spans, so those directives are valid but enable nothing.
struct Directive {
  std::optional<std::string> target;
  std::optional<std::string> span;
  std::vector<std::string> fields;
  LevelFilter level = LevelFilter::Trace;

  bool operator==(const Directive&) const = default;
};

// One comma-separated piece of RUST_LOG read as a directive: a level ("off" to "trace" in any
// case, or 0 to 5), a target, "target=level", or a span filter "target[span{field}]=level".
// Fails with the reason text of the "ignoring" line.
[[nodiscard]] tl::expected<Directive, std::string> parse_directive(std::string_view piece);

// The directives of a whole RUST_LOG value, and one line "ignoring `{piece}`: {reason}\n" per
// piece that did not parse. Empty pieces are skipped; when no piece is valid the one directive
// is level error for all events.
struct Filter {
  std::vector<Directive> directives;
  std::vector<std::string> complaints;
};
[[nodiscard]] Filter parse_filter(std::string_view raw);

// The level the directives let through for events of `target`: that of the matching directive
// with the longest target (a directive without target matches every event and comes last; of
// equal ones the later wins); `Off` when none matches.
[[nodiscard]] LevelFilter level_for(const std::vector<Directive>& directives,
                                    std::string_view target);

}  // namespace orvo::core::log
