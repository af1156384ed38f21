// The vendor web site: its root address and every address the program asks it for, formed in
// this one place. Qt-free so the same rules hold in every build.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrino {

// Program version, fixed at build time.
struct ProgramVersion {
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t revision = 0;
};

// The version this build was made as.
ProgramVersion RunningVersion();

// major "." minor "." revision, plain decimal ("1.0.0"). Shown in the About box and compared
// with the vendor site's answer.
std::string VersionText(const ProgramVersion& version);
std::string VersionText();

// The three numbers run together ("100"), as the error report carries them.
std::string VersionDigits(const ProgramVersion& version);
std::string VersionDigits();

// The root address: TAVRINO_VENDOR_SITE from the environment when set and not blank, else the
// value the program was built with. Shown to the user exactly as configured.
std::string VendorSiteRoot();

// Root with the given absolute path appended; a trailing "/" of the root is not doubled.
std::string VendorSiteAddress(std::string_view root, std::string_view path);

inline constexpr std::string_view kVersionPath = "/products/Varnello/version.asp";
inline constexpr std::string_view kReleaseNotesPath = "/products/Varnello/whatsnew.html";
inline constexpr std::string_view kErrorReportPath = "/products/errorreport.asp";
inline constexpr std::string_view kRetryPrefix = "RETRY|";

std::string VersionCheckUrl(std::string_view root);
std::string ReleaseNotesUrl(std::string_view root);

// What an error report carries.
struct ErrorReportFields {
    std::int32_t location = 0;
    std::int32_t number = 0;
    std::string description;  // UTF-8
};

// The query, without "?": application, errorlocation, errornumber, errordescription, in that
// order. Every value is percent-encoded, so a description holding "&", "#" or "=" stays one field.
std::string ErrorReportQuery(const ErrorReportFields& fields, const ProgramVersion& version);

// base "?" query.
std::string ErrorReportUrlAt(std::string_view base, const ErrorReportFields& fields,
                             const ProgramVersion& version);

// The first report address: root + kErrorReportPath + "?" + query.
std::string ErrorReportUrl(std::string_view root, const ErrorReportFields& fields,
                           const ProgramVersion& version);

// Percent-encodes every byte outside the unreserved set (letters, digits, "-", ".", "_", "~").
std::string PercentEncode(std::string_view value);

// The vendor site's version answer counts only when it is exactly five characters and holds a
// "."; anything else is no answer.
bool IsVersionAnswer(std::string_view reply);

// True when the answer counts and differs from the running version text (plain comparison, so
// a lower version is announced as well).
bool AnnouncesOtherVersion(std::string_view reply, std::string_view runningVersionText);

// The second report base asked for by a reply "RETRY|<base>". Only an http or https address with
// a host is taken; anything else (another scheme, blanks or control characters, nothing after
// the prefix, the prefix in other letter case) means no second request.
std::optional<std::string> RetryBase(std::string_view reply);

}  // namespace tavrino
