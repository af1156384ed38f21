#include "rotation/NumericValue.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace tavrino {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Walks the text while skipping blanks, so the grammar below never sees them.
class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) { SkipBlanks(); }

    [[nodiscard]] bool AtEnd() const { return pos_ >= text_.size(); }
    [[nodiscard]] char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
    void Advance() {
        ++pos_;
        SkipBlanks();
    }
    [[nodiscard]] std::size_t Position() const { return pos_; }
    void Rewind(std::size_t pos) { pos_ = pos; }

private:
    void SkipBlanks() {
        while (pos_ < text_.size() && IsBlank(text_[pos_])) {
            ++pos_;
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

// Exponents beyond this are out of any double's range whatever the mantissa holds (at most a
// few hundred thousand digits of a pasted text), and clamping keeps the arithmetic small.
constexpr long kExponentLimit = 1'000'000;

}  // namespace

double NumericValue(std::string_view text) noexcept {
    Cursor at(text);
    bool negative = false;
    if (at.Peek() == '+' || at.Peek() == '-') {
        negative = at.Peek() == '-';
        at.Advance();
    }

    // Mantissa digits without the point, and where the point stood.
    std::string digits;
    long pointShift = 0;  // digits after the decimal point
    while (IsDigit(at.Peek())) {
        digits.push_back(at.Peek());
        at.Advance();
    }
    if (at.Peek() == '.') {
        at.Advance();
        while (IsDigit(at.Peek())) {
            digits.push_back(at.Peek());
            ++pointShift;
            at.Advance();
        }
    }
    if (digits.empty()) {
        return 0.0;
    }

    long exponent = 0;
    if (at.Peek() == 'e' || at.Peek() == 'E') {
        const std::size_t mark = at.Position();
        at.Advance();
        bool expNegative = false;
        if (at.Peek() == '+' || at.Peek() == '-') {
            expNegative = at.Peek() == '-';
            at.Advance();
        }
        if (IsDigit(at.Peek())) {
            while (IsDigit(at.Peek())) {
                if (exponent < kExponentLimit) {
                    exponent = exponent * 10 + (at.Peek() - '0');
                }
                at.Advance();
            }
            if (expNegative) {
                exponent = -exponent;
            }
        } else {
            at.Rewind(mark);  // "1e" or "1e+" is just 1
        }
    }

    // Leading zeros carry no magnitude; dropping them keeps the range check below honest.
    const std::size_t firstSignificant = digits.find_first_not_of('0');
    if (firstSignificant == std::string::npos) {
        return negative ? -0.0 : 0.0;
    }
    digits.erase(0, firstSignificant);

    const long scale = exponent - pointShift;  // value = digits x 10^scale
    // Decimal magnitude: the value lies in [10^(magnitude-1), 10^magnitude).
    const long magnitude = static_cast<long>(digits.size()) + scale;
    double value = 0.0;
    if (magnitude > std::numeric_limits<double>::max_exponent10 + 1) {
        value = std::numeric_limits<double>::max();
    } else if (magnitude < std::numeric_limits<double>::min_exponent10 - 20) {
        value = 0.0;
    } else {
        std::string normal = digits;
        normal += 'e';
        normal += std::to_string(scale);
        const char* first = normal.data();
        const char* last = normal.data() + normal.size();
        std::from_chars_result result = std::from_chars(first, last, value);
        if (result.ec == std::errc::result_out_of_range) {
            value = magnitude > 0 ? std::numeric_limits<double>::max() : 0.0;
        } else if (result.ec != std::errc{}) {
            value = 0.0;
        }
        if (std::isinf(value)) {
            value = std::numeric_limits<double>::max();
        }
    }
    return negative ? -value : value;
}

std::string ShortestDecimal(double value) {
    if (value == 0.0 || std::isnan(value)) {
        return "0";
    }
    char buffer[64];
    std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (result.ec != std::errc{}) {
        return "0";
    }
    return std::string(buffer, result.ptr);
}

}  // namespace tavrino
