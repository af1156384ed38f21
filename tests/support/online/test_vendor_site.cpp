// The vendor site's addresses and the rules for its answers.
#include <gtest/gtest.h>
#include <tuple>
#include <utility>

#include "common/TestSupport.h"
#include "support/online/VendorSite.h"

namespace tavrino {
namespace {

TEST(VendorSite, EveryAddressHangsOffTheConfiguredRoot) {
    const test::ScopedEnv blank("TAVRINO_VENDOR_SITE", "   ");
    EXPECT_EQ(VendorSiteRoot(), TAVRINO_DEFAULT_VENDOR_SITE);
    for (const std::string root : {"http://site.test/shop", "http://site.test/shop/"}) {
        EXPECT_EQ(ReleaseNotesUrl(root), "http://site.test/shop/products/Varnello/whatsnew.html");
    }
}

TEST(VendorSite, TheReportQueryKeepsItsFieldsInOrderAndEncodesEveryByte) {
    // clang-format off
    const std::tuple<ErrorReportFields, ProgramVersion, const char*> cases[] = {
        {{64, -10000, "a&b#c=d?e+f/g"}, {1, 0, 12},
         "application=Varnello1012&errorlocation=64&errornumber=-10000&errordescription=a%26b%23c%3Dd%3Fe%2Bf%2Fg"},
        {{-1, -2147483647 - 1, "\r\n%\xff caf\xc3\xa9"}, {65535, 0, 7},
         "application=Varnello6553507&errorlocation=-1&errornumber=-2147483648&errordescription=%0D%0A%25%FF%20caf%C3%A9"},
        {{60, 0, std::string("~._-AZaz09\0", 11)}, {1, 0, 0},
         "application=Varnello100&errorlocation=60&errornumber=0&errordescription=~._-AZaz09%00"},
    };
    // clang-format on
    for (const auto& [fields, version, query] : cases) {
        EXPECT_EQ(ErrorReportQuery(fields, version), query);
    }
    EXPECT_EQ(VersionText({65535, 0, 7}), "65535.0.7");
}

TEST(VendorSite, OnlyAFiveCharacterAnswerWithADotThatDiffersAnnouncesAVersion) {
    // clang-format off
    const std::pair<const char*, bool> cases[] = {  // reply, whether it differs from 1.0.3
        {"1.0.3", false}, {"1.0.2", true}, {"1.0.4", true}, {"ab.cd", true}, {".....", true},
        {" 1.0.", true}, {"1.0.3\r\n", false}, {"10.0", false}, {"1.0.10", false},
        {"abcde", false}, {"", false}, {"1.0.4 ", false},
    };
    // clang-format on
    for (const auto& [reply, other] : cases) {
        EXPECT_EQ(AnnouncesOtherVersion(reply, "1.0.3"), other) << reply;
    }
}

TEST(VendorSite, ARetryBaseIsTakenOnlyFromTheExactPrefixWithAnHttpAddress) {
    // clang-format off
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"RETRY|http://b.test/r.asp", "http://b.test/r.asp"}, {"RETRY|HTTP://b.test", "HTTP://b.test"},
        {"RETRY|https://b.test:8443/x", "https://b.test:8443/x"}, {"RETRY|http://b.test/r\r\n", "http://b.test/r"},
        {"RETRY|", std::nullopt}, {"retry|http://b.test/r", std::nullopt},
        {" RETRY|http://b.test/r", std::nullopt},
        {"RETRY|http://", std::nullopt}, {"RETRY|http:///path", std::nullopt},
        {"RETRY|http://b.test/a b", std::nullopt}, {"RETRY|http://b.test/r?x=1", std::nullopt},
    };
    // clang-format on
    for (const auto& [reply, base] : cases) {
        EXPECT_EQ(RetryBase(reply), base) << reply;
    }
}

}  // namespace
}  // namespace tavrino
