// The vendor site's addresses and the rules for its answers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "common/TestSupport.h"
#include "support/online/VendorSite.h"

namespace tavrino {
namespace {

TEST(VendorSite, RootComesFromTheBuildUnlessTheEnvironmentSaysOtherwise) {
    {
        test::ScopedEnv env("TAVRINO_VENDOR_SITE", nullptr);
        EXPECT_EQ(VendorSiteRoot(), TAVRINO_DEFAULT_VENDOR_SITE);
    }
    {
        test::ScopedEnv env("TAVRINO_VENDOR_SITE", "http://mirror.test:8080");
        EXPECT_EQ(VendorSiteRoot(), "http://mirror.test:8080");
    }
    {
        test::ScopedEnv env("TAVRINO_VENDOR_SITE", "   ");
        EXPECT_EQ(VendorSiteRoot(), TAVRINO_DEFAULT_VENDOR_SITE);
    }
}

TEST(VendorSite, EveryRequestPathHangsOffTheRoot) {
    struct Case {
        std::string root;
        std::string version, notes, report;
    };
    const Case cases[] = {
        {"http://site.test", "http://site.test/products/Varnello/version.asp",
         "http://site.test/products/Varnello/whatsnew.html",
         "http://site.test/products/errorreport.asp"},
        {"http://site.test/", "http://site.test/products/Varnello/version.asp",
         "http://site.test/products/Varnello/whatsnew.html",
         "http://site.test/products/errorreport.asp"},
        {"http://site.test/shop", "http://site.test/shop/products/Varnello/version.asp",
         "http://site.test/shop/products/Varnello/whatsnew.html",
         "http://site.test/shop/products/errorreport.asp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.root);
        EXPECT_EQ(VersionCheckUrl(c.root), c.version);
        EXPECT_EQ(ReleaseNotesUrl(c.root), c.notes);
        const std::string url = ErrorReportUrl(c.root, {1, 2, "x"}, {1, 0, 0});
        EXPECT_EQ(url.substr(0, url.find('?')), c.report);
    }
}

TEST(VendorSite, VersionTextAndDigits) {
    struct Case {
        ProgramVersion version;
        const char* text;
        const char* digits;
    };
    const Case cases[] = {
        {{1, 0, 0}, "1.0.0", "100"},
        {{1, 0, 3}, "1.0.3", "103"},
        {{1, 0, 12}, "1.0.12", "1012"},
        {{65535, 0, 7}, "65535.0.7", "6553507"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VersionText(c.version), c.text);
        EXPECT_EQ(VersionDigits(c.version), c.digits);
    }
    EXPECT_EQ(VersionText(), "1.0.0");
    EXPECT_EQ(VersionDigits(), "100");
}

TEST(VendorSite, ReportQueryKeepsItsFieldsInOrderAndEncodesEveryValue) {
    struct Case {
        ErrorReportFields fields;
        const char* query;
    };
    const Case cases[] = {
        {{30, 13, "Type mismatch"},
         "application=Varnello100&errorlocation=30&errornumber=13&errordescription=Type%"
         "20mismatch"},
        {{64, -10000, "a&b#c=d?e+f/g"},
         "application=Varnello100&errorlocation=64&errornumber=-10000"
         "&errordescription=a%26b%23c%3Dd%3Fe%2Bf%2Fg"},
        {{-1, -2147483647 - 1, "\r\n%"},
         "application=Varnello100&errorlocation=-1&errornumber=-2147483648"
         "&errordescription=%0D%0A%25"},
        {{60, 0, "~._-AZaz09"},
         "application=Varnello100&errorlocation=60&errornumber=0&errordescription=~._-AZaz09"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ErrorReportQuery(c.fields, {1, 0, 0}), c.query);
    }
    EXPECT_EQ(ErrorReportUrlAt("http://other.test/r", {1, 2, "x y"}, {1, 0, 12}),
              "http://other.test/r?application=Varnello1012&errorlocation=1&errornumber=2"
              "&errordescription=x%20y");
}

TEST(VendorSite, PercentEncodingEncodesBytesNotCharacters) {
    EXPECT_EQ(PercentEncode(""), "");
    EXPECT_EQ(PercentEncode("caf\xc3\xa9"), "caf%C3%A9");
    EXPECT_EQ(PercentEncode(std::string("a\0b", 3)), "a%00b");
    EXPECT_EQ(PercentEncode("\xff "), "%FF%20");
}

TEST(VendorSite, VersionAnswerCountsOnlyWhenFiveCharactersWithADot) {
    struct Case {
        const char* reply;
        bool answer;
        bool other;  // compared with 1.0.3
    };
    const Case cases[] = {
        {"1.0.3", true, false},      {"1.0.2", true, true},    {"1.0.4", true, true},
        {"1.0.3\r\n", false, false}, {"10.0", false, false},   {"1.0.10", false, false},
        {"abcde", false, false},     {"ab.cd", true, true},    {"", false, false},
        {".....", true, true},       {"1.0.3 ", false, false}, {" 1.0.", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        EXPECT_EQ(IsVersionAnswer(c.reply), c.answer);
        EXPECT_EQ(AnnouncesOtherVersion(c.reply, "1.0.3"), c.other);
    }
}

TEST(VendorSite, RetryBaseIsTakenOnlyFromAnExactPrefixWithAnHttpAddress) {
    struct Case {
        const char* reply;
        std::optional<std::string> base;
    };
    const Case cases[] = {
        {"RETRY|http://b.test/r.asp", "http://b.test/r.asp"},
        {"RETRY|https://b.test:8443/x", "https://b.test:8443/x"},
        {"RETRY|HTTP://b.test", "HTTP://b.test"},
        {"RETRY|http://b.test/r\r\n", "http://b.test/r"},
        {"RETRY|", std::nullopt},
        {"RETRY|\n", std::nullopt},
        {"RETRY", std::nullopt},
        {"retry|http://b.test/r", std::nullopt},
        {"Retry|http://b.test/r", std::nullopt},
        {" RETRY|http://b.test/r", std::nullopt},
        {"RETRY|ftp://b.test/r", std::nullopt},
        {"RETRY|file:///etc/passwd", std::nullopt},
        {"RETRY|javascript:alert(1)", std::nullopt},
        {"RETRY|b.test/r", std::nullopt},
        {"RETRY|http://", std::nullopt},
        {"RETRY|http:///path", std::nullopt},
        {"RETRY|http://b.test/a b", std::nullopt},
        {"RETRY|http://b.test/r?x=1", std::nullopt},
        {"RETRY|http://b.test/r#frag", std::nullopt},
        {"RETRY|http://b.test/\x01", std::nullopt},
        {"OK", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        EXPECT_EQ(RetryBase(c.reply), c.base);
    }
}

}  // namespace
}  // namespace tavrino
