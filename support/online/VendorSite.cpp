#include "support/online/VendorSite.h"

#include <cstdlib>

#ifndef TAVRINO_DEFAULT_VENDOR_SITE
#error "TAVRINO_DEFAULT_VENDOR_SITE must be defined by the build"
#endif
#if !defined(TAVRINO_VERSION_MAJOR) || !defined(TAVRINO_VERSION_MINOR) || \
    !defined(TAVRINO_VERSION_REVISION)
#error "TAVRINO_VERSION_MAJOR/MINOR/REVISION must be defined by the build"
#endif

namespace tavrino {

namespace {

bool IsAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsAsciiSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsAsciiSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (LowerAscii(text[i]) != LowerAscii(prefix[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

ProgramVersion RunningVersion() {
    return ProgramVersion{static_cast<std::uint16_t>(TAVRINO_VERSION_MAJOR),
                          static_cast<std::uint16_t>(TAVRINO_VERSION_MINOR),
                          static_cast<std::uint16_t>(TAVRINO_VERSION_REVISION)};
}

std::string VersionText(const ProgramVersion& version) {
    return std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
           std::to_string(version.revision);
}

std::string VersionText() {
    return VersionText(RunningVersion());
}

std::string VersionDigits(const ProgramVersion& version) {
    return std::to_string(version.major) + std::to_string(version.minor) +
           std::to_string(version.revision);
}

std::string VersionDigits() {
    return VersionDigits(RunningVersion());
}

std::string VendorSiteRoot() {
    // NOLINTNEXTLINE(concurrency-mt-unsafe): read on the one UI thread, nobody sets it
    if (const char* configured = std::getenv("TAVRINO_VENDOR_SITE")) {
        std::string_view value = TrimBlanks(configured);
        if (!value.empty()) {
            return std::string(value);
        }
    }
    return TAVRINO_DEFAULT_VENDOR_SITE;
}

std::string VendorSiteAddress(std::string_view root, std::string_view path) {
    while (!root.empty() && root.back() == '/') {
        root.remove_suffix(1);
    }
    std::string address(root);
    address += path;
    return address;
}

std::string VersionCheckUrl(std::string_view root) {
    return VendorSiteAddress(root, kVersionPath);
}

std::string ReleaseNotesUrl(std::string_view root) {
    return VendorSiteAddress(root, kReleaseNotesPath);
}

std::string PercentEncode(std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(value.size());
    for (char c : value) {
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~';
        if (unreserved) {
            encoded += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            encoded += '%';
            encoded += kHex[byte >> 4U];
            encoded += kHex[byte & 0x0FU];
        }
    }
    return encoded;
}

std::string ErrorReportQuery(const ErrorReportFields& fields, const ProgramVersion& version) {
    std::string query = "application=" + PercentEncode("Varnello" + VersionDigits(version));
    query += "&errorlocation=" + PercentEncode(std::to_string(fields.location));
    query += "&errornumber=" + PercentEncode(std::to_string(fields.number));
    query += "&errordescription=" + PercentEncode(fields.description);
    return query;
}

std::string ErrorReportUrlAt(std::string_view base, const ErrorReportFields& fields,
                             const ProgramVersion& version) {
    std::string url(base);
    url += '?';
    url += ErrorReportQuery(fields, version);
    return url;
}

std::string ErrorReportUrl(std::string_view root, const ErrorReportFields& fields,
                           const ProgramVersion& version) {
    return ErrorReportUrlAt(VendorSiteAddress(root, kErrorReportPath), fields, version);
}

bool IsVersionAnswer(std::string_view reply) {
    return reply.size() == 5 && reply.find('.') != std::string_view::npos;
}

bool AnnouncesOtherVersion(std::string_view reply, std::string_view runningVersionText) {
    return IsVersionAnswer(reply) && reply != runningVersionText;
}

std::optional<std::string> RetryBase(std::string_view reply) {
    if (reply.size() <= kRetryPrefix.size() ||
        reply.substr(0, kRetryPrefix.size()) != kRetryPrefix) {
        return std::nullopt;
    }
    // A line end after the address is the server's formatting, not part of the address.
    std::string_view base = reply.substr(kRetryPrefix.size());
    while (!base.empty() && IsAsciiSpace(base.back())) {
        base.remove_suffix(1);
    }
    std::size_t schemeLength = 0;
    if (StartsWithNoCase(base, "http://")) {
        schemeLength = 7;
    } else if (StartsWithNoCase(base, "https://")) {
        schemeLength = 8;
    } else {
        return std::nullopt;
    }
    for (char c : base) {
        const auto byte = static_cast<unsigned char>(c);
        // Blanks and control characters cannot be part of an address; "?" and "#" would mangle
        // the query that is appended to the base.
        if (byte <= 0x20 || byte == 0x7F || c == '?' || c == '#') {
            return std::nullopt;
        }
    }
    const std::string_view rest = base.substr(schemeLength);
    const std::size_t hostEnd = rest.find('/');
    if (rest.substr(0, hostEnd).empty()) {
        return std::nullopt;
    }
    return std::string(base);
}

}  // namespace tavrino
