// Looking up the System Information tool in the machine-wide registry store.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
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

namespace fs = std::filesystem;

class SysInfoLookup : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '_');
        dir = fs::temp_directory_path() / ("tavrino-sysinfo-" + name);
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // A store whose machine-wide file holds values; without a file when present is false.
    RegistryFileStore Store(const std::vector<test::StoredValue>& values, bool present = true) {
        RegistryFileOptions options;
        options.userFile = dir / "user.txt";
        options.userReadOnly = true;
        if (present) {
            options.systemFile = dir / "system.txt";
            EXPECT_TRUE(test::WriteRegistryStore(options.systemFile, values));
        }
        return RegistryFileStore(options);
    }

    bool Exists(const std::string& path) const { return existing.count(path) != 0; }

    fs::path dir;
    std::set<std::string> existing;
    test::RecordingReporter reporter;
};

const RegKey kMachine = reg::RootKey(reg::LocalMachine);

std::string Bytes(const char* text, std::size_t size) {
    return std::string(text, size);
}
std::string WithNul(const char* text) {
    return std::string(text) + '\0';
}

struct ValueCase {
    const char* name;
    test::StoredValue stored;  // under key "K"
    bool read;
    std::string expected;
};

class KeyValues : public SysInfoLookup, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(KeyValues, ComeBackByType) {
    RegistryFileStore store = Store({GetParam().stored});
    std::string value = "unchanged";
    EXPECT_EQ(GetKeyValue(reporter, store, kMachine, "K", "V", value), GetParam().read);
    EXPECT_EQ(value, GetParam().expected);
    EXPECT_EQ(store.OpenHandleCount(), 0U);
    EXPECT_TRUE(reporter.reports.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Types, KeyValues,
    ::testing::Values(
        ValueCase{"StringWithNul",
                  {"K", "V", reg::Sz, WithNul("C:\\Tools\\msinfo32.exe")},
                  true,
                  "C:\\Tools\\msinfo32.exe"},
        ValueCase{
            "StringWithoutNul", {"K", "V", reg::Sz, "/usr/bin/sysinfo"}, true, "/usr/bin/sysinfo"},
        ValueCase{"EmptyString", {"K", "V", reg::Sz, ""}, true, ""},
        ValueCase{"OnlyNul", {"K", "V", reg::Sz, Bytes("\0", 1)}, true, ""},
        ValueCase{"NameIgnoresCase", {"k", "v", reg::Sz, WithNul("x")}, true, "x"},
        ValueCase{"Dword", {"K", "V", reg::Dword, Bytes("\x78\x56\x34\x12", 4)}, true, "305419896"},
        ValueCase{"DwordZero", {"K", "V", reg::Dword, Bytes("\0\0\0\0", 4)}, true, "0"},
        ValueCase{"DwordHighBit", {"K", "V", reg::Dword, "\xff\xff\xff\xff"}, true, "4294967295"},
        ValueCase{"OtherTypeLeavesTheText",
                  {"K", "V", reg::ExpandSz, WithNul("%SystemRoot%")},
                  true,
                  "unchanged"},
        ValueCase{"MissingValue", {"K", "W", reg::Sz, "x"}, false, ""}),
    [](const ::testing::TestParamInfo<ValueCase>& p) { return std::string(p.param.name); });

TEST_F(SysInfoLookup, MissingKeyOrStoreReadsAsNothing) {
    for (bool present : {false, true}) {
        RegistryFileStore store = Store({{"Other", "V", reg::Sz, "x"}}, present);
        std::string value = "stale";
        EXPECT_FALSE(GetKeyValue(reporter, store, kMachine, "K", "V", value));
        EXPECT_EQ(value, "");
    }
    EXPECT_TRUE(reporter.reports.empty());
}

TEST_F(SysInfoLookup, StringLongerThanTheBufferIsNotRead) {
    RegistryFileStore store = Store({{"K", "V", reg::Sz, std::string(1500, 'a')}});
    std::string value;
    // Too long for the 1024-byte buffer: the store says so and the value is not read.
    EXPECT_FALSE(GetKeyValue(reporter, store, kMachine, "K", "V", value));
    EXPECT_EQ(value, "");
    EXPECT_EQ(store.OpenHandleCount(), 0U);
}

TEST_F(SysInfoLookup, DamagedStoreReadsAsNothing) {
    RegistryFileOptions options;
    options.systemFile = dir / "system.txt";
    std::ofstream(options.systemFile, std::ios::binary) << "not a registry file\n";
    RegistryFileStore store(options);
    std::string value = "stale";
    EXPECT_FALSE(GetKeyValue(reporter, store, kMachine, "K", "V", value));
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
        ++opened;
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
        ++closed;
        return 0;
    }
    int opened = 0;
    int closed = 0;
};

TEST_F(SysInfoLookup, UnexpectedFailureIsReportedUnderGetKeyValueAndTheKeyIsClosed) {
    ThrowingRegistry registry;
    std::string value = "old";
    EXPECT_FALSE(GetKeyValue(reporter, registry, kMachine, "K", "V", value));
    EXPECT_EQ(value, "");
    ASSERT_EQ(reporter.reports.size(), 1U);
    EXPECT_EQ(reporter.reports[0].location, 5);
    EXPECT_EQ(registry.opened, registry.closed);
}

struct ProgramCase {
    const char* name;
    std::vector<test::StoredValue> stored;
    std::set<std::string> files;
    std::optional<std::string> program;
};

class ProgramLookup : public SysInfoLookup, public ::testing::WithParamInterface<ProgramCase> {};

TEST_P(ProgramLookup, PrefersThePathThenTheFolder) {
    existing = GetParam().files;
    RegistryFileStore store = Store(GetParam().stored);
    const auto program = FindSysInfoProgram(
        reporter, store, [this](const std::string& p) { return Exists(p); }, '/');
    EXPECT_EQ(program, GetParam().program);
    EXPECT_TRUE(reporter.reports.empty());
    EXPECT_EQ(store.OpenHandleCount(), 0U);
}

const test::StoredValue kPath{"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", reg::Sz,
                              WithNul("/opt/si/run")};
const test::StoredValue kFolder{"SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO", reg::Sz,
                                WithNul("/opt/folder")};
const test::StoredValue kFolderWithSlash{"SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO",
                                         reg::Sz, "/opt/folder/"};

INSTANTIATE_TEST_SUITE_P(
    Registrations, ProgramLookup,
    ::testing::Values(
        // The registered path wins even when a folder is registered too, and is not checked.
        ProgramCase{"PathWins", {kPath, kFolder}, {"/opt/folder/MSINFO32.EXE"}, "/opt/si/run"},
        ProgramCase{"PathNotChecked", {kPath, kFolder}, {}, "/opt/si/run"},
        ProgramCase{"FolderWithProgram",
                    {kFolder},
                    {"/opt/folder/MSINFO32.EXE"},
                    "/opt/folder/MSINFO32.EXE"},
        ProgramCase{"FolderWithTrailingSeparator",
                    {kFolderWithSlash},
                    {"/opt/folder/MSINFO32.EXE"},
                    "/opt/folder/MSINFO32.EXE"},
        ProgramCase{"FolderWithoutProgram", {kFolder}, {}, std::nullopt},
        ProgramCase{"NothingRegistered", {}, {}, std::nullopt}),
    [](const ::testing::TestParamInfo<ProgramCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace tavrino
