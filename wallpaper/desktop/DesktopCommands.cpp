#include "wallpaper/desktop/DesktopCommands.h"

#include <array>
#include <cstdint>
#include <regex>

#include "support/HexDigits.h"
#include "support/errors/Errors.h"

namespace tavrino {

namespace {

bool IsAsciiAlnum(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes UTF-8; a malformed sequence gives U+FFFD for its first byte.
std::vector<char32_t> DecodeUtf8(std::string_view text) {
    std::vector<char32_t> result;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t cp = 0;
        if (lead < 0x80) {
            length = 1;
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            cp = lead & 0x1FU;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            cp = lead & 0x0FU;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            cp = lead & 0x07U;
        }
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3FU);
        }
        constexpr std::array<char32_t, 5> kSmallest{0, 0, 0x80, 0x800, 0x10000};
        if (valid &&
            (cp < kSmallest.at(length) || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) {
            valid = false;  // overlong forms, surrogates and out-of-range values
        }
        if (valid) {
            result.push_back(cp);
            i += length;
        } else {
            result.push_back(0xFFFD);
            ++i;
        }
    }
    return result;
}

void AppendU16Escape(std::string& out, char32_t unit) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) {
        out += HexDigit(static_cast<unsigned>(unit >> shift));
    }
}

}  // namespace

std::string FileUri(std::string_view absolutePath) {
    std::string uri = "file://";
    for (const char ch : absolutePath) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsAsciiAlnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            uri += ch;
        } else {
            uri += '%';
            uri += HexDigit(c >> 4U);
            uri += HexDigit(c);
        }
    }
    return uri;
}

std::string GVariantStringLiteral(std::string_view utf8) {
    std::string literal = "'";
    for (const char32_t cp : DecodeUtf8(utf8)) {
        if (cp == '\'' || cp == '\\') {
            literal += '\\';
            literal += static_cast<char>(cp);
        } else if (cp < 0x20 || cp == 0x7F) {
            AppendU16Escape(literal, cp);
        } else {
            AppendUtf8(literal, cp);
        }
    }
    literal += '\'';
    return literal;
}

const char* GSettingsPictureOptions(Placement placement) {
    switch (placement) {
        case Placement::Tiled:
            return "wallpaper";
        case Placement::Stretched:
            return "stretched";
        case Placement::Centred:
            break;
    }
    return "centered";
}

std::string JsStringLiteral(std::string_view utf8) {
    std::string literal = "\"";
    for (const char32_t cp : DecodeUtf8(utf8)) {
        const bool plain =
            cp < 0x80 &&
            (IsAsciiAlnum(static_cast<unsigned char>(cp)) || cp == ' ' || cp == '/' || cp == '.' ||
             cp == '_' || cp == '-' || cp == ':' || cp == '%' || cp == '~' || cp == ',');
        if (plain) {
            literal += static_cast<char>(cp);
        } else if (cp < 0x10000) {
            AppendU16Escape(literal, cp);
        } else {
            const char32_t v = cp - 0x10000;
            AppendU16Escape(literal, 0xD800 + (v >> 10));
            AppendU16Escape(literal, 0xDC00 + (v & 0x3FF));
        }
    }
    literal += '"';
    return literal;
}

int PlasmaFillMode(Placement placement) {
    switch (placement) {
        case Placement::Tiled:
            return 3;
        case Placement::Stretched:
            return 0;
        case Placement::Centred:
            break;
    }
    return 6;
}

std::string PlasmaWallpaperScript(std::string_view imageUrl, Placement placement) {
    std::string script;
    script += "var image = " + JsStringLiteral(imageUrl) + ";\n";
    script += "var fillMode = " + std::to_string(PlasmaFillMode(placement)) + ";\n";
    script +=
        "var all = desktops();\n"
        "for (var i = 0; i < all.length; i++) {\n"
        "    var d = all[i];\n"
        "    d.wallpaperPlugin = \"org.kde.image\";\n"
        "    d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];\n"
        "    d.writeConfig(\"Image\", image);\n"
        "    d.writeConfig(\"FillMode\", fillMode);\n"
        "}\n";
    return script;
}

int XfceImageStyle(Placement placement) {
    switch (placement) {
        case Placement::Tiled:
            return 2;
        case Placement::Stretched:
            return 3;
        case Placement::Centred:
            break;
    }
    return 1;
}

std::vector<std::string> XfceLastImageProperties(std::string_view listing) {
    static const std::regex kProperty(
        R"(^/backdrop/screen[0-9]+/monitor[^/\s]+/workspace[0-9]+/last-image$)");
    std::vector<std::string> properties;
    while (!listing.empty()) {
        const std::size_t end = listing.find('\n');
        std::string line(listing.substr(0, end));
        listing = end == std::string_view::npos ? std::string_view() : listing.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.pop_back();
        }
        if (std::regex_match(line, kProperty)) {
            properties.push_back(line);
        }
    }
    return properties;
}

std::string XfceLastImageProperty(std::string_view monitorName, int workspace) {
    return "/backdrop/screen0/monitor" + std::string(monitorName) + "/workspace" +
           std::to_string(workspace) + "/last-image";
}

std::string XfceImageStyleProperty(std::string_view lastImageProperty) {
    constexpr std::string_view kLeaf = "last-image";
    std::string property(lastImageProperty);
    if (property.size() >= kLeaf.size() &&
        property.compare(property.size() - kLeaf.size(), kLeaf.size(), kLeaf) == 0) {
        property.resize(property.size() - kLeaf.size());
    }
    return property + "image-style";
}

const char* SwayMode(Placement placement) {
    switch (placement) {
        case Placement::Tiled:
            return "tile";
        case Placement::Stretched:
            return "stretch";
        case Placement::Centred:
            break;
    }
    return "center";
}

std::string SwayBackgroundCommand(std::string_view path, Placement placement) {
    std::string escaped;
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            throw Error(errnum::DesktopRefused,
                        "sway cannot be given a wallpaper path with control characters");
        }
        if (c < 0x80 && !IsAsciiAlnum(c) && c != '/' && c != '.' && c != '_' && c != '-') {
            escaped += '\\';
        }
        escaped += ch;
    }
    return "output * bg " + escaped + " " + SwayMode(placement);
}

const char* PcmanfmMode(Placement placement) {
    return SwayMode(placement);
}

}  // namespace tavrino
