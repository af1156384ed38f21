// Hexadecimal digits of the percent escapes in our stored files and desktop commands.
#pragma once

namespace tavrino {

// The value of a hexadecimal digit of either case, or -1 for any other character.
constexpr int HexValue(char c) noexcept {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The upper-case digit of the low four bits of value.
constexpr char HexDigit(unsigned value) noexcept {
    value &= 0xFU;
    return static_cast<char>(value < 10 ? '0' + value : 'A' + (value - 10));
}

}  // namespace tavrino
