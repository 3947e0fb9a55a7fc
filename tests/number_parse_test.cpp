#include <gtest/gtest.h>

#include <cmath>

#include "kit/number_parse.h"
#include "kit/text_format.h"

namespace {

TEST(ParseNumber, ReadsLikeTheOldToolWithoutSaturating) {
  const struct {
    const char* text;
    std::int32_t expected;
  } cases[] = {
      {"40", 40},
      {"  -7", -7},
      {"+12", 12},
      {"\t\n\v\f\r 9x", 9},
      {"abc", 0},
      {"", 0},
      {"50%", 50},
      {"- 5", 0},
      {"--5", 0},
      {"4294967336", 40},         // 2^32 + 40
      {"2147483648", INT32_MIN},  // 2^31
      {"-2147483649", INT32_MAX},
      {"99999999999999999999", 1661992959},  // (10^20 - 1) mod 2^32
      {"007", 7},
  };
  for (const auto& c : cases) EXPECT_EQ(parse_number(c.text), c.expected) << '"' << c.text << '"';
}

TEST(ParseNumber, ShareIsFormedInDoubleAndKeptAsFloat) {
  EXPECT_EQ(background_share_of(30), static_cast<float>(0.3));
  EXPECT_EQ(background_share_of(16), static_cast<float>(16 * 0.01));
  // The single-precision 0.16 lies just below the decimal value.
  EXPECT_LT(static_cast<double>(background_share_of(16)), 0.16);
  EXPECT_EQ(background_share_of(0), 0.0f);
  EXPECT_LT(background_share_of(-5), 0.0f);
}

// Texts on both sides of the stack buffer's size come out whole.
TEST(Format, TextsOfEveryLengthComeOutWhole) {
  for (std::size_t length : {0u, 1u, 254u, 255u, 256u, 257u, 4000u}) {
    std::string text(length, 'x');
    EXPECT_EQ(format("%s", text.c_str()), text) << length;
    EXPECT_EQ(format("<%s>", text.c_str()), "<" + text + ">") << length;
  }
  EXPECT_EQ(format("%d-%u", -3, 7u), "-3-7");
}

}  // namespace
