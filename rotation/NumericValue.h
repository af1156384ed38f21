// Reading the rotation period (and any other typed number) the forgiving way: the number a
// text begins with, 0 when it begins with none.
#pragma once

#include <string>
#include <string_view>

namespace tavrino {

// The decimal number that text begins with: optional sign, digits, optional decimal point with
// fraction, optional exponent ("e" or "E", optional sign, digits). Blanks (space, tab, CR, LF)
// are skipped wherever they stand, so " 1 2" reads as 12. Reading stops at the first character
// that cannot continue the number: "2abc" is 2, "abc" and "" are 0, "1e" is 1.
// Never throws: a number too large for a double saturates at the largest finite value, one too
// small for it reads as 0.
// This is the forgiving rule for what the user types or pastes. Stored settings are read by the
// strict rule instead (ParseStoredNumber in settings/Options.h): there the whole text must be
// the number, blanks only around it, and anything else is an error, not 0.
[[nodiscard]] double NumericValue(std::string_view text) noexcept;

// The shortest decimal text that reads back as value ("5", "2.5", "-3", "1e+21"); 0 and -0
// both give "0".
[[nodiscard]] std::string ShortestDecimal(double value);

}  // namespace tavrino
