// The two number readers side by side: the forgiving one for the typed rotation period and the
// strict one for stored settings.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "rotation/NumericValue.h"
#include "settings/Options.h"

namespace tavrino {
namespace {

constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kBad = std::numeric_limits<double>::quiet_NaN();    // TypeMismatch
constexpr double kTooBig = std::numeric_limits<double>::infinity();  // Overflow

double Strict(const std::string& text) {
    try {
        return ParseStoredNumber(text);
    } catch (const Error& error) {
        return error.Number() == errnum::Overflow ? kTooBig : kBad;
    }
}

struct Case {
    std::string text;
    double forgiving;  // NumericValue
    double strict;     // ParseStoredNumber
};

TEST(NumberReaders, ForgivingReadsTheNumberATextBeginsWithStrictOnlyAWholeNumber) {
    // clang-format off
    const Case cases[] = {
        {"5",          5,      5},
        {"007",        7,      7},
        {"",           0,      kBad},
        {"abc",        0,      kBad},
        {".",          0,      kBad},
        {"e5",         0,      kBad},
        {"--5",        0,      kBad},
        {"-",          0,      kBad},
        {"2abc",       2,      kBad},
        {"1,5",        1,      kBad},
        {"1.5.3",      1.5,    kBad},
        {"-3",         -3,     -3},
        {"+4",         4,      4},
        {".5",         0.5,    0.5},
        {"5.",         5,      5},
        {"1e3",        1000,   1000},
        {"1E-2",       0.01,   0.01},
        {"1e",         1,      kBad},
        {"1e+",        1,      kBad},
        {"1e5x",       1e5,    kBad},
        {"  12\t",     12,     12},
        {"1 2",        12,     kBad},
        {"- 5",        -5,     kBad},
        {"1 e 2",      100,    kBad},
        {"\n7",        7,      kBad},
        {"1e999",      kMax,   kTooBig},
        {"-1e999",     -kMax,  kTooBig},
        {"1e-999",     0,      kTooBig},
        {"1e99999999999999999999", kMax, kTooBig},
        {std::string(400, '9'), kMax, kTooBig},
        {"1" + std::string(399, '0') + "e-390", 1e9, 1e9},
        {std::string(500, '0') + "3", 3, 3},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE("\"" + c.text.substr(0, 40) + "\"");
        EXPECT_DOUBLE_EQ(NumericValue(c.text), c.forgiving);
        const double strict = Strict(c.text);
        if (std::isnan(c.strict) || std::isinf(c.strict)) {
            EXPECT_EQ(std::isnan(strict), std::isnan(c.strict));
            EXPECT_EQ(std::isinf(strict), std::isinf(c.strict));
        } else {
            EXPECT_DOUBLE_EQ(strict, c.strict);
        }
    }
}

}  // namespace
}  // namespace tavrino
