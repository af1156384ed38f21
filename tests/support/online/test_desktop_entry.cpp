// Reading desktop entries and building the browser's command line from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "support/online/OpenWebPageDesktopEntry.h"

namespace tavrino {
namespace {

using Args = std::vector<std::string>;

TEST(DesktopEntry, ReadsTheDesktopEntryGroupOnly) {
    const auto entry = ParseDesktopEntry(
        "# comment\n"
        "[Desktop Entry]\n"
        "Type = Application\n"
        "Name=Browser\n"
        "Name[de]=Brauser\n"
        "Icon=web\n"
        "Exec=/usr/bin/web --flag\\sx %u\n"
        "Exec=/second/exec\n"
        "[Desktop Action new]\n"
        "Exec=/usr/bin/web --new %u\n"
        "Hidden=true\n");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->type, "Application");
    EXPECT_EQ(entry->name, "Browser");
    EXPECT_EQ(entry->icon, "web");
    EXPECT_EQ(entry->exec, "/usr/bin/web --flag x %u");
    EXPECT_FALSE(entry->hidden);
}

TEST(DesktopEntry, TextWithoutTheGroupIsNoEntry) {
    EXPECT_FALSE(ParseDesktopEntry(""));
    EXPECT_FALSE(ParseDesktopEntry("Exec=/bin/sh\n"));
    EXPECT_FALSE(ParseDesktopEntry("[Other]\nExec=/bin/sh\n"));
    EXPECT_TRUE(ParseDesktopEntry("[Desktop Entry]\r\nExec=x\r\n"));
}

struct ExecCase {
    const char* name;
    std::string exec;
    std::optional<Args> args;
};

class ExecSplitting : public ::testing::TestWithParam<ExecCase> {};

TEST_P(ExecSplitting, FollowsTheQuotingRules) {
    EXPECT_EQ(SplitExecLine(GetParam().exec), GetParam().args);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ExecSplitting,
    ::testing::Values(
        ExecCase{"Simple", "firefox %u", Args{"firefox", "%u"}},
        ExecCase{"ExtraBlanks", "  a   b  ", Args{"a", "b"}},
        ExecCase{"QuotedBlank", "\"/opt/My Browser/run\" %U", Args{"/opt/My Browser/run", "%U"}},
        ExecCase{"EscapesInQuotes", "sh \"a\\\"b\\$c\\\\d\\`e\"", Args{"sh", "a\"b$c\\d`e"}},
        ExecCase{"PercentPercent", "printf 100%%", Args{"printf", "100%"}},
        ExecCase{"UnbalancedQuote", "\"/opt/x", std::nullopt}, ExecCase{"Empty", "", std::nullopt},
        ExecCase{"OnlyBlanks", "   ", std::nullopt}),
    [](const ::testing::TestParamInfo<ExecCase>& p) { return std::string(p.param.name); });

struct CommandCase {
    const char* name;
    std::string exec;
    OpenTarget target;
    std::optional<Args> command;
};

class BrowserCommands : public ::testing::TestWithParam<CommandCase> {};

TEST_P(BrowserCommands, PutTheAddressInAsOneArgument) {
    DesktopEntry entry;
    entry.type = "Application";
    entry.name = "Web";
    entry.icon = "web-icon";
    entry.exec = GetParam().exec;
    EXPECT_EQ(BrowserCommandLine(entry, "/apps/web.desktop", GetParam().target),
              GetParam().command);
}

const OpenTarget kWeb{"http://site.test/a b?x=1&y=2", ""};
const OpenTarget kLocal{"file:///home/u/my%20help/index.html", "/home/u/my help/index.html"};

INSTANTIATE_TEST_SUITE_P(
    FieldCodes, BrowserCommands,
    ::testing::Values(CommandCase{"LowerU", "web %u", kWeb,
                                  Args{"web", "http://site.test/a b?x=1&y=2"}},
                      CommandCase{"UpperU", "web --new-window %U", kWeb,
                                  Args{"web", "--new-window", "http://site.test/a b?x=1&y=2"}},
                      CommandCase{"FileCodeGetsLocalPath", "viewer %f", kLocal,
                                  Args{"viewer", "/home/u/my help/index.html"}},
                      CommandCase{"UrlCodeGetsUrlForLocal", "web %U", kLocal,
                                  Args{"web", "file:///home/u/my%20help/index.html"}},
                      CommandCase{"FileCodeWithWebAddress", "web %F", kWeb,
                                  Args{"web", "http://site.test/a b?x=1&y=2"}},
                      CommandCase{"NoCodeAppends", "web --private", kWeb,
                                  Args{"web", "--private", "http://site.test/a b?x=1&y=2"}},
                      CommandCase{"OnlyFirstCodeCounts", "web %u %U %f", kWeb,
                                  Args{"web", "http://site.test/a b?x=1&y=2"}},
                      CommandCase{"EmbeddedCode", "web --url=%u", kWeb,
                                  Args{"web", "--url=http://site.test/a b?x=1&y=2"}},
                      CommandCase{"IconNameAndFile", "web %i %c %k %u", kWeb,
                                  Args{"web", "--icon", "web-icon", "Web", "/apps/web.desktop",
                                       "http://site.test/a b?x=1&y=2"}},
                      CommandCase{"DeprecatedCodesVanish", "web %d %D %n %N %v %m %u", kWeb,
                                  Args{"web", "http://site.test/a b?x=1&y=2"}},
                      CommandCase{"QuotedPercentIsText", "web \"%u\"", kWeb,
                                  Args{"web", "%u", "http://site.test/a b?x=1&y=2"}},
                      CommandCase{"AddressIsNeverSplitOrExpanded", "web %u",
                                  OpenTarget{"http://x.test/$(rm -rf ~) `id` \"q\"", ""},
                                  Args{"web", "http://x.test/$(rm -rf ~) `id` \"q\""}},
                      CommandCase{"NoProgram", "%u", kWeb, std::nullopt},
                      CommandCase{"BadQuoting", "\"web %u", kWeb, std::nullopt}),
    [](const ::testing::TestParamInfo<CommandCase>& p) { return std::string(p.param.name); });

TEST(BrowserCommand, UnusableEntriesGiveNoCommand) {
    DesktopEntry hidden{"Application", "W", "", "web %u", true};
    DesktopEntry link{"Link", "W", "", "web %u", false};
    DesktopEntry noExec{"Application", "W", "", "", false};
    EXPECT_FALSE(BrowserCommandLine(hidden, "", kWeb));
    EXPECT_FALSE(BrowserCommandLine(link, "", kWeb));
    EXPECT_FALSE(BrowserCommandLine(noExec, "", kWeb));
}

TEST(DesktopFileId, CandidatesCoverSubFolders) {
    EXPECT_EQ(DesktopFileIdCandidates("web.desktop"), Args{"web.desktop"});
    const Args two = DesktopFileIdCandidates("kde4-web.desktop");
    EXPECT_EQ(two, (Args{"kde4-web.desktop", "kde4/web.desktop"}));
    const Args three = DesktopFileIdCandidates("a-b-c.desktop");
    EXPECT_EQ(three.size(), 4U);
    EXPECT_NE(std::find(three.begin(), three.end(), "a/b/c.desktop"), three.end());
    EXPECT_NE(std::find(three.begin(), three.end(), "a-b/c.desktop"), three.end());
    // Many dashes: still bounded, and the plain id comes first.
    const Args many = DesktopFileIdCandidates("a-b-c-d-e-f-g-h-i-j.desktop");
    EXPECT_LE(many.size(), 11U);
    EXPECT_EQ(many.front(), "a-b-c-d-e-f-g-h-i-j.desktop");
}

TEST(DesktopFileId, NamesThatAreNoDesktopFileIdGiveNothing) {
    for (const char* id : {"", ".desktop", "web", "../web.desktop", "a/b.desktop", "a\\b.desktop",
                           ".hidden.desktop", "web.desktop.bak"}) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(DesktopFileIdCandidates(id).empty());
    }
}

}  // namespace
}  // namespace tavrino
