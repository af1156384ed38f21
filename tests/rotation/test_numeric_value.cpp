#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "rotation/NumericValue.h"

namespace tavrino {
namespace {

struct NumericCase {
    std::string text;
    double expected;
};

class NumericValueTest : public testing::TestWithParam<NumericCase> {};

TEST_P(NumericValueTest, ReadsTheNumberTheTextBeginsWith) {
    const NumericCase& c = GetParam();
    EXPECT_DOUBLE_EQ(NumericValue(c.text), c.expected) << "text: \"" << c.text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NumericValueTest,
    testing::Values(
        // Plain whole numbers as the period box holds them.
        NumericCase{"5", 5.0}, NumericCase{"007", 7.0}, NumericCase{"0", 0.0},
        NumericCase{"12", 12.0},
        // No number at the start.
        NumericCase{"", 0.0}, NumericCase{"abc", 0.0}, NumericCase{".", 0.0},
        NumericCase{"e5", 0.0}, NumericCase{"--5", 0.0}, NumericCase{"+-5", 0.0},
        NumericCase{"-", 0.0}, NumericCase{"x12", 0.0},
        // Reading stops where the number stops.
        NumericCase{"2abc", 2.0}, NumericCase{"5 minutes", 5.0}, NumericCase{"1,5", 1.0},
        NumericCase{"1.5.3", 1.5}, NumericCase{"3-4", 3.0}, NumericCase{"12 abc 3", 12.0},
        // Signs, fractions and exponents.
        NumericCase{"-3", -3.0}, NumericCase{"+4", 4.0}, NumericCase{"2.5", 2.5},
        NumericCase{".5", 0.5}, NumericCase{"-.5", -0.5}, NumericCase{"5.", 5.0},
        NumericCase{"1e3", 1000.0}, NumericCase{"1E-2", 0.01}, NumericCase{"2.5e+1", 25.0},
        NumericCase{"1e", 1.0}, NumericCase{"1e+", 1.0}, NumericCase{"1e-x", 1.0},
        NumericCase{"1e5x", 100000.0},
        // Blanks are skipped wherever they stand.
        NumericCase{"  12", 12.0}, NumericCase{"1 2", 12.0}, NumericCase{"\t7\n", 7.0},
        NumericCase{"- 5", -5.0}, NumericCase{"1 . 5", 1.5}, NumericCase{"1 e 2", 100.0},
        // Out of a double's range: saturates or vanishes, never fails.
        NumericCase{"1e999", std::numeric_limits<double>::max()},
        NumericCase{"-1e999", -std::numeric_limits<double>::max()}, NumericCase{"1e-999", 0.0},
        NumericCase{"1e99999999999999999999", std::numeric_limits<double>::max()},
        NumericCase{std::string(400, '9'), std::numeric_limits<double>::max()},
        NumericCase{"1" + std::string(399, '0') + "e-390", 1e9},
        NumericCase{"0." + std::string(400, '0') + "1e405", 1e4},
        NumericCase{std::string(500, '0') + "3", 3.0}));

struct ShortestCase {
    double value;
    std::string expected;
};

class ShortestDecimalTest : public testing::TestWithParam<ShortestCase> {};

TEST_P(ShortestDecimalTest, WritesTheShortestText) {
    EXPECT_EQ(ShortestDecimal(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, ShortestDecimalTest,
                         testing::Values(ShortestCase{5.0, "5"}, ShortestCase{12.0, "12"},
                                         ShortestCase{2.5, "2.5"}, ShortestCase{-3.0, "-3"},
                                         ShortestCase{0.0, "0"}, ShortestCase{-0.0, "0"},
                                         ShortestCase{0.1, "0.1"}, ShortestCase{1e21, "1e+21"}));

TEST(ShortestDecimalTest, ReadsBackAsTheSameNumber) {
    for (const double value : {1.0 / 3.0, 123456.789, 5e-7, 99999999999.0}) {
        EXPECT_DOUBLE_EQ(NumericValue(ShortestDecimal(value)), value);
    }
}

}  // namespace
}  // namespace tavrino
