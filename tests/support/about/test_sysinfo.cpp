// Looking up the System Information tool in the machine-wide registry store.
#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "settings/RegistryFileStore.h"
#include "support/about/SysInfo.h"
#include "tests/support/online/RegistryStoreWriter.h"

namespace tavrino {
namespace {

const RegKey kMachine = reg::RootKey(reg::LocalMachine);

std::string WithNul(const std::string& text) {
    return text + '\0';
}

// A store whose machine-wide file holds values (or, with text, that text).
RegistryFileStore Store(const test::TempFolder& dir, const std::vector<test::StoredValue>& values,
                        const char* text = nullptr) {
    RegistryFileOptions options;
    options.userFile = dir / "user.txt";
    options.userReadOnly = true;
    options.systemFile = dir / "system.txt";
    if (text != nullptr) {
        test::WriteBytes(options.systemFile, text);
    } else {
        EXPECT_TRUE(test::WriteRegistryStore(options.systemFile, values));
    }
    return RegistryFileStore(options);
}

TEST(SysInfo, ValuesComeBackByTypeAndAnythingUnreadableAsNothing) {
    struct Case {
        test::StoredValue stored;  // read back as key "K", value "V"
        bool read;
        std::string expected;
    };
    // clang-format off
    const Case cases[] = {
        {{"K", "V", reg::Sz, WithNul("C:\\Tools\\msinfo32.exe")}, true, "C:\\Tools\\msinfo32.exe"},
        {{"K", "V", reg::Sz, "/usr/bin/sysinfo"},                 true, "/usr/bin/sysinfo"},
        {{"K", "V", reg::Sz, std::string(1, '\0')},               true, ""},
        {{"k", "v", reg::Sz, WithNul("x")},                       true, "x"},
        {{"K", "V", reg::Dword, "\x78\x56\x34\x12"},              true, "305419896"},
        {{"K", "V", reg::Dword, "\xff\xff\xff\xff"},              true, "4294967295"},
        {{"K", "V", reg::ExpandSz, WithNul("%SystemRoot%")},      true, "unchanged"},
        {{"K", "W", reg::Sz, "x"},                                false, ""},
        {{"Other", "V", reg::Sz, "x"},                            false, ""},
        {{"K", "V", reg::Sz, std::string(1500, 'a')},             false, ""},  // over the buffer
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.key + "\\" + c.stored.name + "=" + c.stored.bytes.substr(0, 20));
        test::TempFolder dir;
        RegistryFileStore store = Store(dir, {c.stored});
        test::RecordingReporter reporter;
        std::string value = "unchanged";
        EXPECT_EQ(GetKeyValue(reporter, store, kMachine, "K", "V", value), c.read);
        EXPECT_EQ(value, c.expected);
        EXPECT_EQ(store.OpenHandleCount(), 0U);
        EXPECT_TRUE(reporter.reports.empty());
    }
    test::TempFolder dir;
    RegistryFileStore damaged = Store(dir, {}, "not a registry file\n");
    test::RecordingReporter reporter;
    std::string value = "stale";
    EXPECT_FALSE(GetKeyValue(reporter, damaged, kMachine, "K", "V", value));
    EXPECT_EQ(value, "");
    EXPECT_TRUE(reporter.reports.empty());
}

// A registry layer that fails in a way no return code describes.
class ThrowingRegistry final : public RegistryApi {
public:
    std::int32_t CreateKey(RegKey, const std::string&, RegKey&) override { return 5; }
    std::int32_t OpenKey(RegKey, const std::string&, std::uint32_t, std::uint32_t,
                         RegKey& key) override {
        key = 42;
        ++open;
        return 0;
    }
    std::int32_t QueryValue(RegKey, const std::string&, std::uint32_t*, std::uint8_t*,
                            std::uint32_t*) override {
        throw std::runtime_error("store vanished");
    }
    std::int32_t SetValue(RegKey, const std::string&, std::uint32_t, const std::uint8_t*,
                          std::uint32_t) override {
        return 5;
    }
    std::int32_t CloseKey(RegKey) override {
        --open;
        return 0;
    }
    int open = 0;
};

TEST(SysInfo, AnUnexpectedFailureIsReportedUnderGetKeyValueAndTheKeyClosed) {
    ThrowingRegistry registry;
    test::RecordingReporter reporter;
    std::string value = "old";
    EXPECT_FALSE(GetKeyValue(reporter, registry, kMachine, "K", "V", value));
    EXPECT_EQ(value, "");
    ASSERT_EQ(reporter.reports.size(), 1U);
    EXPECT_EQ(reporter.reports[0].location, 5);
    EXPECT_EQ(registry.open, 0);
}

TEST(SysInfo, TheRegisteredPathWinsThenTheProgramInTheRegisteredFolder) {
    const test::StoredValue path{"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", reg::Sz,
                                 WithNul("/opt/si/run")};
    const test::StoredValue folder{"SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO", reg::Sz,
                                   WithNul("/opt/folder")};
    test::StoredValue slashed = folder;
    slashed.bytes = "/opt/folder/";
    struct Case {
        std::vector<test::StoredValue> stored;
        bool programExists;  // /opt/folder/MSINFO32.EXE
        std::optional<std::string> program;
    };
    // clang-format off
    const Case cases[] = {
        {{path, folder}, true,  "/opt/si/run"},
        {{path, folder}, false, "/opt/si/run"},  // the registered path is not checked
        {{folder},       true,  "/opt/folder/MSINFO32.EXE"},
        {{slashed},      true,  "/opt/folder/MSINFO32.EXE"},
        {{folder},       false, std::nullopt},
        {{},             true,  std::nullopt},
    };
    // clang-format on
    for (const Case& c : cases) {
        test::TempFolder dir;
        RegistryFileStore store = Store(dir, c.stored);
        test::RecordingReporter reporter;
        const auto exists = [&c](const std::string& p) {
            return c.programExists && p == "/opt/folder/MSINFO32.EXE";
        };
        EXPECT_EQ(FindSysInfoProgram(reporter, store, exists, '/'), c.program);
        EXPECT_EQ(store.OpenHandleCount(), 0U);
    }
}

}  // namespace
}  // namespace tavrino
