#include "orvo_core/log_filter.hpp"

#include <gtest/gtest.h>

namespace orvo::core::log {
namespace {

constexpr std::string_view kLevelError =
    "error parsing level filter: expected one of \"off\", \"error\", \"warn\", \"info\", "
    "\"debug\", \"trace\", or a number 0-5";
constexpr std::string_view kInvalid = "invalid filter directive";

Directive make(std::optional<std::string> target, LevelFilter level,
               std::optional<std::string> span = std::nullopt,
               std::vector<std::string> fields = {}) {
  return Directive{std::move(target), std::move(span), std::move(fields), level};
}

TEST(ParseDirective, ReadsLevelsTargetsAndSpanFilters) {
  using L = LevelFilter;
  struct Case {
    std::string_view piece;
    Directive directive;
  };
  const Case cases[] = {
      {"info", make(std::nullopt, L::Info)},
      {"INFO", make(std::nullopt, L::Info)},
      {"Off", make(std::nullopt, L::Off)},
      {"3", make(std::nullopt, L::Info)},
      {"0", make(std::nullopt, L::Off)},
      {"5", make(std::nullopt, L::Trace)},
      {"0001", make(std::nullopt, L::Error)},
      // A word that is no level is a target, enabled at every level.
      {"foo", make("foo", L::Trace)},
      {"warning", make("warning", L::Trace)},
      {"6", make("6", L::Trace)},
      {"foo.bar", make("foo.bar", L::Trace)},
      {"a b", make("a b", L::Trace)},
      {"\xC3\xA9", make("\xC3\xA9", L::Trace)},
      {"-x", make("-x", L::Trace)},
      {"orvo_store=info", make("orvo_store", L::Info)},
      {"a::b=WARN", make("a::b", L::Warn)},
      {"x=+2", make("x", L::Warn)},
      {"info=", make("info", L::Trace)},
      {"foo=", make("foo", L::Trace)},
      {"[span]", make(std::nullopt, L::Trace, "span")},
      {"[span]=info", make(std::nullopt, L::Info, "span")},
      {"foo[bar]=debug", make("foo", L::Debug, "bar")},
      {"foo[{x}]", make("foo", L::Trace, std::nullopt, {"x"})},
      {"[s{a=1}]=warn", make(std::nullopt, L::Warn, "s", {"a=1"})},
      // Trimmed for the walk, cut untrimmed: the surrounding blanks stay in the target.
      {"info ", make("info ", L::Trace)},
      {" info", make(" info", L::Trace)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.piece);
    const auto directive = parse_directive(c.piece);
    ASSERT_TRUE(directive.has_value()) << directive.error();
    EXPECT_EQ(*directive, c.directive);
  }
}

TEST(ParseDirective, RefusesMalformedPiecesWithTheirReason) {
  struct Case {
    std::string_view piece;
    std::string_view reason;
  };
  const Case cases[] = {
      {"foo=bar", kLevelError},
      {"a=info=debug", kLevelError},
      {"x=6", kLevelError},
      {" b=debug", kLevelError},
      // A leading blank of several bytes shifts the cuts into the middle of a character.
      {"\xE3\x80\x80"
       "ab=x",
       kLevelError},
      {"=info", kInvalid},
      {"[", kInvalid},
      {"]", kInvalid},
      {"{", kInvalid},
      {"[{}]", kInvalid},
      {"foo[bar", kInvalid},
      {"foo[bar]x", kInvalid},
      {"foo[{x}y]", kInvalid},
      {" ", kInvalid},
      {"\xE2\x82\xAC"
       "x",
       kInvalid},
      {"*", kInvalid},
      {"+2", kInvalid},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.piece);
    const auto directive = parse_directive(c.piece);
    ASSERT_FALSE(directive.has_value());
    EXPECT_EQ(directive.error(), c.reason);
  }
}

TEST(ParseFilter, SkipsEmptyAndBadPiecesAndDefaultsToErrors) {
  const Directive errors = make(std::nullopt, LevelFilter::Error);
  struct Case {
    std::string_view raw;
    std::vector<Directive> directives;
    std::vector<std::string> complaints;
  };
  const Case cases[] = {
      {"", {errors}, {}},
      {",,", {errors}, {}},
      {"info,warn",
       {make(std::nullopt, LevelFilter::Info), make(std::nullopt, LevelFilter::Warn)},
       {}},
      {",orvo_store=info,,", {make("orvo_store", LevelFilter::Info)}, {}},
      {"=x,orvo_store=info",
       {make("orvo_store", LevelFilter::Info)},
       {"ignoring `=x`: invalid filter directive\n"}},
      {"foo=bar, b=debug",
       {errors},
       {"ignoring `foo=bar`: " + std::string(kLevelError) + "\n",
        "ignoring ` b=debug`: " + std::string(kLevelError) + "\n"}},
      {"[span]", {make(std::nullopt, LevelFilter::Trace, "span")}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.raw);
    const Filter filter = parse_filter(c.raw);
    EXPECT_EQ(filter.directives, c.directives);
    EXPECT_EQ(filter.complaints, c.complaints);
  }
}

TEST(LevelFor, MostSpecificMatchingTargetDecides) {
  using L = LevelFilter;
  struct Case {
    std::string_view raw;
    std::string_view target;
    LevelFilter level;
  };
  const Case cases[] = {
      {"", "orvo_store", L::Error},
      {"=bad", "orvo_ui::app", L::Error},
      {"info", "orvo_runtime::app", L::Info},
      {"info,warn", "orvo_store", L::Warn},
      {"orvo=debug", "orvo_store", L::Debug},
      {"orvo=debug", "orvo_ui::app", L::Debug},
      {"orvo=debug", "git", L::Off},
      {"orvo_store=info", "orvo_ui::app", L::Off},
      {"orvo_store=info,warn", "orvo_store", L::Info},
      {"orvo_store=info,warn", "orvo_ui::app", L::Warn},
      {"warn,orvo_runtime=trace,orvo_runtime::app=error", "orvo_runtime::app", L::Error},
      {"warn,orvo_runtime=trace,orvo_runtime::app=error", "orvo_runtime::other", L::Trace},
      {"orvo_store=off,info", "orvo_store", L::Off},
      {"orvo_store", "orvo_store", L::Trace},
      {"orvo_store::x=info", "orvo_store", L::Off},
      {"info ", "orvo_store", L::Off},
      // Span and field filters select events inside spans, and Orvo records none.
      {"[span]=trace", "orvo_store", L::Off},
      {"orvo_store[{name}]=info", "orvo_store", L::Off},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.raw) + " for " + std::string(c.target));
    EXPECT_EQ(level_for(parse_filter(c.raw).directives, c.target), c.level);
  }
}

TEST(Admits, LetsThroughTheLevelAndLessVerboseOnes) {
  EXPECT_FALSE(admits(LevelFilter::Off, Level::Error));
  EXPECT_TRUE(admits(LevelFilter::Error, Level::Error));
  EXPECT_FALSE(admits(LevelFilter::Error, Level::Warn));
  EXPECT_TRUE(admits(LevelFilter::Info, Level::Warn));
  EXPECT_FALSE(admits(LevelFilter::Info, Level::Debug));
  EXPECT_TRUE(admits(LevelFilter::Trace, Level::Trace));
}

}  // namespace
}  // namespace orvo::core::log
