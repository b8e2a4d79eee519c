#include "orvo_store/json_text.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace orvo::store {
namespace {

TEST(FloatText, ShortestDigitsWithAPointOrAnExponent) {
  struct Case {
    double value;
    std::string text;
  };
  const Case cases[] = {
      {1.5, "1.5"},
      {1e3, "1000.0"},
      {-0.0, "-0.0"},
      {-2.5, "-2.5"},
      {0.0001, "0.0001"},
      {0.00001, "0.00001"},
      {0.000001, "1e-6"},
      {1e-7, "1e-7"},
      {1e15, "1000000000000000.0"},
      {1e16, "1e+16"},
      {1.5e300, "1.5e+300"},
      {18446744073709551616.0, "1.8446744073709552e+19"},
      {0.1 + 0.2, "0.30000000000000004"},
      {123.456, "123.456"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(float_text(c.value), c.text);
  }
}

}  // namespace
}  // namespace orvo::store
