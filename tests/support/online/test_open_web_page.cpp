// Opening web pages with a stand-in browser registered as the HTML default in a private home.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "common/TestSupport.h"
#include "support/MessageBox.h"
#include "support/online/OpenWebPage.h"

namespace tavrino {
namespace {

namespace fs = std::filesystem;

// GLib reads the XDG variables once per process, so every test here shares one private home.
class OpenWebPageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        home_ = std::make_unique<test::TempFolder>();
        // clang-format off
        const std::pair<const char*, const char*> variables[] = {{"HOME", ""}, {"XDG_DATA_HOME", "data"},
            {"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_DIRS", "sd"}, {"XDG_CONFIG_DIRS", "sc"},
            {"XDG_CURRENT_DESKTOP", nullptr}};
        // clang-format on
        for (const auto& [name, folder] : variables) {
            const fs::path path = home_->Path() / (folder != nullptr ? folder : "");
            fs::create_directories(path / "applications");
            env_.push_back(std::make_unique<test::ScopedEnv>(
                name, folder != nullptr ? path.c_str() : nullptr));
        }
    }
    void SetUp() override {
        SetMessageInterceptor([this](auto& m) { shown.push_back(m); });
    }
    void TearDown() override { SetMessageInterceptor({}); }

    static fs::path Home(const char* name) { return home_->Path() / name; }

    // Makes a stand-in browser the HTML default (none when entry is null; entry is added to its
    // desktop entry), and waits until GIO has noticed. It writes its argument count, then each.
    static void Register(const char* entry) {
        const fs::path browser = Home("stand in browser.sh");
        const fs::path list = Home("config") / "mimeapps.list";
        fs::remove(list);
        if (entry != nullptr) {
            test::WriteBytes(browser,
                             "#!/bin/sh\nout=\"$(dirname \"$0\")/args.txt\"\n"
                             "{ echo \"$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; }"
                             " > \"$out.tmp\"\nmv \"$out.tmp\" \"$out\"\n");
            fs::permissions(browser, fs::perms::owner_all);
            test::WriteBytes(Home("data") / "applications" / "stand-in.desktop",
                             "[Desktop Entry]\nType=Application\nName=Stand-in\nExec=\"" +
                                 browser.string() + "\" %u\n" + entry);
            test::WriteBytes(list, "[Default Applications]\ntext/html=stand-in.desktop\n");
        }
        ASSERT_TRUE(test::WaitUntil([entry] {
            GAppInfo* found = g_app_info_get_default_for_type("text/html", FALSE);
            const bool registered = found != nullptr;
            g_clear_object(&found);
            return registered == (entry != nullptr);
        }));
    }

    std::vector<ShownMessage> shown;
    test::RecordingReporter reporter;
    static inline std::unique_ptr<test::TempFolder> home_;
    static inline std::vector<std::unique_ptr<test::ScopedEnv>> env_;
};

TEST_F(OpenWebPageTest, BrowserGetsTheAddressAsOneArgument) {
    Register("");
    // A local page reaches the browser as its path.
    const std::string addresses[] = {"http://www.tavrino.example",
                                     "http://site.test/my page.html?q=a b&c=$(id)",
                                     Home("my help").string() + "/index.html"};
    for (const std::string& address : addresses) {
        fs::remove(Home("args.txt"));
        OpenWebPage(reporter, QString::fromStdString(address));
        ASSERT_TRUE(test::WaitUntil([] { return fs::exists(Home("args.txt")); })) << address;
        EXPECT_EQ(test::ReadBytes(Home("args.txt")), "1\n" + address + "\n");
    }
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(reporter.reports.empty());
}

TEST_F(OpenWebPageTest, FailuresAreToldInTheirOwnBoxes) {
    // clang-format off
    const char* const cases[][3] = {  // the browser's entry (none when null), text, title
        {nullptr,                     "Could not find associated Browser", "Browser Not Found"},
        {"Path=/no/such/folder\n",    "Web Page not Opened",               "URL Failed"},
    };
    // clang-format on
    for (const auto& [entry, text, title] : cases) {
        SCOPED_TRACE(title);
        Register(entry);
        shown.clear();
        OpenWebPage(reporter, QStringLiteral("http://www.tavrino.example"));
        ASSERT_EQ(shown.size(), 1U);
        EXPECT_EQ(shown[0].text, text);
        EXPECT_EQ(shown[0].title, title);
        EXPECT_EQ(shown[0].icon, MessageIcon::Exclamation);
    }
    EXPECT_TRUE(reporter.reports.empty());
}

TEST(OpenWebPageTarget, LocalPathsBecomeFileAddresses) {
    // clang-format off
    const QString cases[][3] = {
        {"http://a.test/x y",                  "http://a.test/x y",                             ""},
        {"/opt/my app/help#1.html",            "file:///opt/my%20app/help%231.html",            "/opt/my app/help#1.html"},
        {"C:\\Program Files\\help\\index.html", "file:///C:/Program%20Files/help/index.html", "C:\\Program Files\\help\\index.html"},
    };
    // clang-format on
    for (const auto& c : cases) {
        const WebPageTarget target = WebPageTargetFor(c[0]);
        EXPECT_EQ(target.url + " | " + target.localPath, c[1] + " | " + c[2]);
    }
}

}  // namespace
}  // namespace tavrino
