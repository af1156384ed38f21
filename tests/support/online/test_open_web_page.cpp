// Opening web pages with a stand-in browser registered as the HTML default in a private home.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <memory>

#include "common/TestSupport.h"
#include "support/MessageBox.h"
#include "support/online/OpenWebPage.h"

namespace tavrino {
namespace {

namespace fs = std::filesystem;

TEST(OpenWebPage, TheBrowserGetsTheAddressAsOneArgumentAndFailuresHaveTheirOwnBoxes) {
    // A private home; GLib reads the XDG variables once per process, so only this test uses it.
    test::TempFolder home;
    std::vector<std::unique_ptr<test::ScopedEnv>> env;
    // clang-format off
    const std::pair<const char*, const char*> variables[] = {{"HOME", ""}, {"XDG_DATA_HOME", "data"},
        {"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_DIRS", "sd"}, {"XDG_CONFIG_DIRS", "sc"},
        {"XDG_CURRENT_DESKTOP", nullptr}};
    // clang-format on
    for (const auto& [name, folder] : variables) {
        const fs::path path = home / (folder != nullptr ? folder : "");
        fs::create_directories(path / "applications");
        env.push_back(std::make_unique<test::ScopedEnv>(name, folder ? path.c_str() : nullptr));
    }
    std::vector<ShownMessage> shown;
    SetMessageInterceptor([&shown](auto& m) { shown.push_back(m); });
    test::RecordingReporter reporter;
    // Makes a stand-in browser the HTML default (none when entry is null; entry is added to its
    // desktop entry), and waits until GIO has noticed. It writes its argument count, then each.
    const auto registerBrowser = [&home](const char* entry) {
        const fs::path browser = home / "stand in browser.sh";
        fs::remove(home / "config/mimeapps.list");
        if (entry != nullptr) {
            test::WriteBytes(
                browser,
                "#!/bin/sh\nout=\"$(dirname \"$0\")/args.txt\"\n"
                "printf '%s\\n' \"$#\" \"$@\" > \"$out.tmp\"\nmv \"$out.tmp\" \"$out\"\n");
            fs::permissions(browser, fs::perms::owner_all);
            test::WriteBytes(home / "data/applications/stand-in.desktop",
                             "[Desktop Entry]\nType=Application\nName=Stand-in\nExec=\"" +
                                 browser.string() + "\" %u\n" + entry);
            test::WriteBytes(home / "config/mimeapps.list",
                             "[Default Applications]\ntext/html=stand-in.desktop\n");
        }
        ASSERT_TRUE(test::WaitUntil([entry] {
            GAppInfo* found = g_app_info_get_default_for_type("text/html", FALSE);
            const bool registered = found != nullptr;
            g_clear_object(&found);
            return registered == (entry != nullptr);
        }));
    };
    registerBrowser("");
    // A local page reaches the browser as its path.
    for (const std::string& address : {std::string("http://site.test/my page.html?q=a b&c=$(id)"),
                                       (home / "my help/index.html").string()}) {
        fs::remove(home / "args.txt");
        OpenWebPage(reporter, QString::fromStdString(address));
        ASSERT_TRUE(test::WaitUntil([&home] { return fs::exists(home / "args.txt"); })) << address;
        EXPECT_EQ(test::ReadBytes(home / "args.txt"), "1\n" + address + "\n");
    }
    EXPECT_TRUE(shown.empty());
    // clang-format off
    const char* const cases[][3] = {  // the browser's entry (none when null), text, title
        {nullptr,                  "Could not find associated Browser", "Browser Not Found"},
        {"Path=/no/such/folder\n", "Web Page not Opened",               "URL Failed"},
    };
    // clang-format on
    for (const auto& [entry, text, title] : cases) {
        registerBrowser(entry);
        shown.clear();
        OpenWebPage(reporter, QStringLiteral("http://www.tavrino.example"));
        ASSERT_EQ(shown.size(), 1U);
        EXPECT_EQ(shown[0].text + shown[0].title, QString(text) + title);
        EXPECT_EQ(shown[0].icon, MessageIcon::Exclamation);
    }
    SetMessageInterceptor({});
    EXPECT_TRUE(reporter.reports.empty());
}

}  // namespace
}  // namespace tavrino
