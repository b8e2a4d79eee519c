#include "orvo_store/rfc3339.hpp"

#include <gtest/gtest.h>

#include <string>

namespace orvo::store {
namespace {

TEST(FormatRfc3339, UsesTheFewestExactFractionDigitsAndFourYearDigits) {
  struct Case {
    core::UtcTime time;
    std::string text;
  };
  const Case cases[] = {
      {{0, 0}, "1970-01-01T00:00:00Z"},
      {{1'714'979'289, 0}, "2024-05-06T07:08:09Z"},
      {{1'714'979'289, 120'000'000}, "2024-05-06T07:08:09.120Z"},
      {{1'714'979'289, 5'000}, "2024-05-06T07:08:09.000005Z"},
      {{1'714'979'289, 123'456'789}, "2024-05-06T07:08:09.123456789Z"},
      {{1'714'979'289, 100'000'001}, "2024-05-06T07:08:09.100000001Z"},
      {{-1, 999'999'999}, "1969-12-31T23:59:59.999999999Z"},
      {{-86'400, 0}, "1969-12-31T00:00:00Z"},
      {{951'782'400, 0}, "2000-02-29T00:00:00Z"},
      {{-62'167'219'200, 0}, "0000-01-01T00:00:00Z"},
      {{-62'135'596'800, 0}, "0001-01-01T00:00:00Z"},
      {{253'402'300'799, 999'999'999}, "9999-12-31T23:59:59.999999999Z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(format_rfc3339(c.time), c.text);
  }
}

TEST(ParseRfc3339, AcceptsAnyOffsetAndTheRelaxedForms) {
  struct Case {
    std::string text;
    std::string utc;
  };
  const Case cases[] = {
      {"2024-05-06T07:08:09Z", "2024-05-06T07:08:09Z"},
      {"2024-05-06t07:08:09z", "2024-05-06T07:08:09Z"},
      {"2024-05-06 07:08:09Z", "2024-05-06T07:08:09Z"},
      {"2024-05-06T07:08:09.5Z", "2024-05-06T07:08:09.500Z"},
      {"2024-05-06T07:08:09.000005Z", "2024-05-06T07:08:09.000005Z"},
      {"2024-05-06T07:08:09.1234567891234Z", "2024-05-06T07:08:09.123456789Z"},
      {"2024-05-06T07:08:09+02:00", "2024-05-06T05:08:09Z"},
      {"2024-05-06T07:08:09+0200", "2024-05-06T05:08:09Z"},
      {"2024-05-06T07:08:09 +02 00", "2024-05-06T05:08:09Z"},
      {"2024-05-06T07:08:09-00:00", "2024-05-06T07:08:09Z"},
      {"2024-05-06T07:08:09UTC", "2024-05-06T07:08:09Z"},
      {"2024-05-06T07:08:09 utc", "2024-05-06T07:08:09Z"},
      {"2024-05-06T07:08:09\u221201:00", "2024-05-06T08:08:09Z"},
      {"2024-5-6T7:8:9Z", "2024-05-06T07:08:09Z"},
      {" 2024-05-06T07:08:09Z ", "2024-05-06T07:08:09Z"},
      {"2024 - 05-06T07 : 08:09Z", "2024-05-06T07:08:09Z"},
      {"+2024-05-06T07:08:09Z", "2024-05-06T07:08:09Z"},
      {"2024-05-06T07:08:09+23:59", "2024-05-05T07:09:09Z"},
      {"2024-12-31T23:30:00-01:00", "2025-01-01T00:30:00Z"},
      {"\u3000"
       "2024-05-06T07:08:09Z",
       "2024-05-06T07:08:09Z"},
      // A leap second is held as the first second of the next minute.
      {"2016-12-31T23:59:60Z", "2017-01-01T00:00:00Z"},
      // Every UTC year from 0 to 9999, to the nanosecond.
      {"0000-01-01T00:00:00Z", "0000-01-01T00:00:00Z"},
      {"0001-01-01T00:00:00Z", "0001-01-01T00:00:00Z"},
      {"1677-09-21T00:12:43.145224191Z", "1677-09-21T00:12:43.145224191Z"},
      {"2262-04-11T23:47:16.854775808Z", "2262-04-11T23:47:16.854775808Z"},
      {"9999-12-31T23:59:59.999999999Z", "9999-12-31T23:59:59.999999999Z"},
      {"0000-01-01T01:00:00+01:00", "0000-01-01T00:00:00Z"},
      {"9999-12-31T18:59:59.5-05:00", "9999-12-31T23:59:59.500Z"},
      {"0001-01-01T00:30:00+01:00", "0000-12-31T23:30:00Z"},
      {"+0400-02-29T00:00:00Z", "0400-02-29T00:00:00Z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto parsed = parse_rfc3339(c.text);
    ASSERT_TRUE(parsed) << parsed.error();
    EXPECT_EQ(format_rfc3339(*parsed), c.utc);
  }
}

TEST(ParseRfc3339, RefusesWithTheFault) {
  struct Case {
    std::string text;
    std::string fault;
  };
  const std::string short_input = "premature end of input";
  const std::string invalid = "input contains invalid characters";
  const std::string out_of_range = "input is out of range";
  const Case cases[] = {
      {"", short_input},
      {"2024", short_input},
      {"2024-05-06", short_input},
      {"2024-05-06T", short_input},
      {"2024-05-06T07:08", short_input},
      {"2024-05-06T07:08:09", short_input},
      {"2024-05-06T07:08:09.", short_input},
      {"2024-05-06T07:08:09+01", short_input},
      {"2024-05-06T07:08:09+01:6", short_input},
      {"abc", invalid},
      {"2024-05-06X07:08:09Z", invalid},
      {"2024-05-06T07:08:09.Z", invalid},
      {"2024-05-06T07:08:09,5Z", invalid},
      {"2024-05-06T07:08:09+1:00", invalid},
      {"20245-05-06T07:08:09Z", invalid},
      {"2024-05-06T07:08:09ZZ", "trailing input"},
      {"2024-05-06T07:08:09Z x", "trailing input"},
      {"2024-05-06T07:08:09+01:00:00", "trailing input"},
      {"2024-13-06T07:08:09Z", out_of_range},
      {"2024-00-06T07:08:09Z", out_of_range},
      {"2024-05-32T07:08:09Z", out_of_range},
      {"2024-02-30T07:08:09Z", out_of_range},
      {"2023-02-29T07:08:09Z", out_of_range},
      {"2024-05-06T24:08:09Z", out_of_range},
      {"2024-05-06T07:60:09Z", out_of_range},
      {"2024-05-06T07:08:61Z", out_of_range},
      {"2024-05-06T07:08:09+01:60", out_of_range},
      {"2024-05-06T07:08:09+24:00", out_of_range},
      {"+99999999999999999999-01-01T00:00:00Z", out_of_range},
      // Instants whose UTC form lies outside the years 0 to 9999.
      {"9999-12-31T23:00:00-05:00", out_of_range},
      {"0000-01-01T00:00:00+01:00", out_of_range},
      {"9999-12-31T23:59:60Z", out_of_range},
      {"+10000-01-01T00:00:00Z", out_of_range},
      {"-0001-12-31T23:59:59Z", out_of_range},
      {"+262142-12-31T23:59:59-01:00", out_of_range},
      {"-262143-01-01T00:00:00+01:00", out_of_range},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto parsed = parse_rfc3339(c.text);
    ASSERT_FALSE(parsed) << format_rfc3339(*parsed);
    EXPECT_EQ(parsed.error(), c.fault);
  }
}

}  // namespace
}  // namespace orvo::store
