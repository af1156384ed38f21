// Feeds arbitrary bytes to the rules for the vendor site's replies. Whatever comes back must keep
// the promises the update check and the report sender rely on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "support/online/VendorSite.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // A retry base is an http(s) address without blanks, controls, query or fragment.
    if (const auto base = tavrino::RetryBase(text)) {
        std::string scheme = base->substr(0, 8);
        for (char& c : scheme) {
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
        Require(scheme.rfind("http://", 0) == 0 || scheme == "https://");
        for (char c : *base) {
            const auto byte = static_cast<unsigned char>(c);
            Require(byte > 0x20 && byte != 0x7F && c != '?' && c != '#');
        }
    }

    // Percent-encoding leaves only unreserved characters and escapes, and decodes back.
    const std::string encoded = tavrino::PercentEncode(text);
    std::string decoded;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '%') {
            Require(i + 2 < encoded.size());
            const int high = HexValue(encoded[i + 1]);
            const int low = HexValue(encoded[i + 2]);
            Require(high >= 0 && low >= 0);
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
            continue;
        }
        Require((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                c == '-' || c == '.' || c == '_' || c == '~');
        decoded += c;
    }
    Require(decoded == text);

    // The version answer counts only as five characters holding a ".".
    if (tavrino::IsVersionAnswer(text)) {
        Require(text.size() == 5 && text.find('.') != std::string_view::npos);
    }
    return 0;
}
