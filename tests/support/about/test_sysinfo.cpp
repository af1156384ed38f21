// Looking up the System Information tool in the machine-wide registry store.
#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "settings/RegistryFileStore.h"
#include "support/about/SysInfo.h"

namespace tavrino {
namespace {

const RegKey kMachine = reg::RootKey(reg::LocalMachine);

// A store whose machine-wide file holds these lines.
struct Store {
    explicit Store(const std::string& lines) {
        test::WriteBytes(dir / "system.txt", "TavrinoRegistry 1\n" + lines + "End\n");
    }
    test::TempFolder dir;
    RegistryFileStore store{{dir / "user.txt", dir / "system.txt", true}};
    test::RecordingReporter reporter;
};

TEST(SysInfo, ValuesComeBackByTypeAndAnythingUnreadableAsNothing) {
    // clang-format off
    const std::tuple<std::string, bool, std::string> cases[] = {  // lines, read, value
        {"[K]\n\"V\"=sz:\"C:\\Tools\\msinfo32.exe%00\"\n", true, "C:\\Tools\\msinfo32.exe"},
        {"[k]\n\"v\"=sz:\"x%00\"\n",                    true,  "x"},
        {"[K]\n\"V\"=dword:4294967295\n",               true,  "4294967295"},
        {"[K]\n\"V\"=raw(2):\"%25SystemRoot%25%00\"\n",     true,  "unchanged"},
        {"[K]\n\"W\"=sz:\"x\"\n",                       false, ""},
        {"[K]\n\"V\"=sz:\"" + std::string(1500, 'a') + "\"\n", false, ""},  // over the buffer
        {"damaged\n",                                   false, ""},
    };
    // clang-format on
    for (const auto& [lines, read, expected] : cases) {
        SCOPED_TRACE(lines.substr(0, 40));
        Store s(lines);
        std::string value = "unchanged";
        EXPECT_EQ(GetKeyValue(s.reporter, s.store, kMachine, "K", "V", value), read);
        EXPECT_EQ(value, expected);
        EXPECT_EQ(s.store.OpenHandleCount(), 0U);
        EXPECT_TRUE(s.reporter.reports.empty());
    }
}

TEST(SysInfo, TheRegisteredPathWinsThenTheProgramInTheRegisteredFolder) {
    const std::string path =
        "[SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n\"PATH\"=sz:\"/si%00\"\n";
    const std::string folder = "[SOFTWARE\\Microsoft\\Shared Tools Location]\n\"MSINFO\"=sz:\"/f";
    // clang-format off
    const std::tuple<std::string, bool, std::optional<std::string>> programs[] = {
        // lines, whether /f/MSINFO32.EXE exists, the program
        {path + folder + "%00\"\n", true,  "/si"},
        {path,                      false, "/si"},  // the registered path is not checked
        {folder + "%00\"\n",        true,  "/f/MSINFO32.EXE"},
        {folder + "/\"\n",          true,  "/f/MSINFO32.EXE"},
        {folder + "\"\n",           false, std::nullopt},
        {"",                        true,  std::nullopt},
    };
    // clang-format on
    for (const auto& [lines, exists, program] : programs) {
        SCOPED_TRACE(lines);
        Store s(lines);
        const auto found = [there = exists](const std::string& p) {
            return there && p == "/f/MSINFO32.EXE";
        };
        EXPECT_EQ(FindSysInfoProgram(s.reporter, s.store, found, '/'), program);
        EXPECT_EQ(s.store.OpenHandleCount(), 0U);
    }
}

}  // namespace
}  // namespace tavrino
