// clsRegEdit against the file store and the platform's registry (advapi32, under Wine from
// Linux), so the file store is held to what the real registry does; then its own faults.
#include <gtest/gtest.h>
#include <numeric>
#include <thread>

#ifdef __linux__
#include <sys/resource.h>

#include <csignal>
#endif

#include "common/TestSupport.h"
#include "settings/RegistryFileStore.h"
#include "settings/clsRegEdit.h"

namespace tavrino::test {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

const RegKey kUser = reg::RootKey(reg::CurrentUser);
const RegKey kMachine = reg::RootKey(reg::LocalMachine);

void StoreValue(RegistryApi& api, const std::string& key, const std::string& name,
                std::uint32_t type, const std::string& bytes, std::int32_t expected = 0) {
    RegKey k = 0;
    ASSERT_EQ(api.CreateKey(kUser, key, k), 0);
    EXPECT_EQ(api.SetValue(k, name, type, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                           static_cast<std::uint32_t>(bytes.size())),
              expected);
    EXPECT_EQ(api.CloseKey(k), 0);
}

// The bytes of a value (its type in *type), or "error N" when the registry answers code N.
std::string ReadRaw(RegistryApi& api, RegKey root, const std::string& key, const std::string& name,
                    std::uint32_t* type = nullptr) {
    RegKey k = 0;
    std::int32_t rc = api.OpenKey(root, key, 0, reg::AllButStandardRights, k);
    std::string bytes(4096, '\0');
    auto size = static_cast<std::uint32_t>(bytes.size());
    if (rc == 0) {
        rc = api.QueryValue(k, name, type, reinterpret_cast<std::uint8_t*>(bytes.data()), &size);
        api.CloseKey(k);
    }
    return rc == 0 ? bytes.substr(0, size) : "error " + std::to_string(rc);
}

class RegistryCases : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        reg_.SetTopHKey(reg::CurrentUser);
        reg_.SetKeyName(Key());
        reg_.SetValueName("V");
    }
    // On Windows the platform registry is advapi32, the scratch key stays from run to run.
    [[nodiscard]] static std::string Key() { return "Software\\TavrinoTests"; }
    std::unique_ptr<RegistryApi> MakeApi() {
        const ScopedEnv file("TAVRINO_REGISTRY_USER_FILE", (folder_ / "b.txt").string().c_str());
        return GetParam() == "FileStore"
                   ? std::make_unique<RegistryFileStore>(RegistryFileOptions{folder_ / "a.txt", {}})
                   : MakeUserRegistry();
    }
    void Store(const std::string& bytes, std::uint32_t type = reg::Sz) {
        StoreValue(*api_, Key(), "V", type, bytes);
    }
    // One report from the class's error table (location 64, number -10000), or none.
    void ExpectReport(const char* description) {
        EXPECT_EQ(reporter_.Locations(), std::vector<int>(description != nullptr ? 1 : 0, 64));
        for (const Report& report : reporter_.reports) {
            EXPECT_EQ(report.number, -10000);
            EXPECT_EQ(report.description, description);
        }
        reporter_.reports.clear();
    }

    TempFolder folder_;
    std::unique_ptr<RegistryApi> api_ = MakeApi();
    RecordingReporter reporter_;
    clsRegEdit reg_{*api_, reporter_};
};

TEST_P(RegistryCases, ReadsEachStoredTypeAsTheClassDefines) {
    const RegValue unsupported("Data Type Not Supported"s);
    // clang-format off
    const std::tuple<std::uint32_t, std::string, bool, RegValue, const char*> rows[] = {
        {reg::Sz,       "2\0"s,                true,  RegValue("2\0"s),               nullptr},  // the NUL stays
        {reg::Dword,    "\1\0\0\0"s,           true,  RegValue(std::int32_t{1}),      nullptr},
        {reg::Dword,    "\xFF\xFF\xFF\xFF",    true,  RegValue(std::int32_t{-1}),     nullptr},
        {reg::Dword,    "\x34\x12"s,           true,  RegValue(std::int32_t{0x1234}), nullptr},
        {reg::Dword,    "\1\2\3\4\5\6\7\x08"s, false, RegValue(std::int16_t{0}),      ""},  // 234: no overrun
        {reg::Binary,   "\x01\x02\x00"s,       false, unsupported,                    nullptr},
    };
    // clang-format on
    for (const auto& [type, bytes, result, expected, report] : rows) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        Store(bytes, type);
        reg_.SetRegCurrentValue("before"s);
        EXPECT_EQ(reg_.RegistryReadValue(), result);
        EXPECT_EQ(reg_.RegCurrentValue(), expected);
        EXPECT_EQ(reg_.ValueDataType(), static_cast<std::int32_t>(type));
        ExpectReport(report);
    }
}

TEST_P(RegistryCases, WritesTheExactTextWithoutTerminatorCreatingTheKey) {
    // Windows (and Wine) add a terminator themselves when the byte after the counted ones is NUL:
    // the stored bytes must be exactly the text. An empty text writes RegCurrentValue as text.
    // clang-format off
    const std::tuple<RegValue, std::string, std::string> rows[] = {  // RegCurrentValue, sData, stored
        {RegValue(),                  "1",                   "1"},
        {RegValue(),                  "caf\xE9",             "caf\xE9"},
        {RegValue(),                  std::string(300, 'x'), std::string(300, 'x')},
        {RegValue("2"s),              "",                    "2"},
        {RegValue("0\0"s),            "",                    "0\0"s},
        {RegValue(std::int32_t{-2}),  "",                    "-2"},
        {RegValue(),                  "",                    ""},
    };
    // clang-format on
    reg_.SetKeyName(Key() + "\\Created\\Deeper");
    for (const auto& [current, text, stored] : rows) {
        reg_.SetRegCurrentValue(current);
        std::string sData = text;
        EXPECT_TRUE(reg_.RegistryWriteString(sData));
        EXPECT_EQ(sData, stored);
        std::uint32_t type = 0;
        EXPECT_EQ(ReadRaw(*api_, kUser, reg_.KeyName(), "v", &type), stored);
        EXPECT_EQ(type, reg::Sz);
    }
    ExpectReport(nullptr);
}

TEST_P(RegistryCases, MissingKeysAndValuesAreWordedAndReportedOnce) {
    Store("2");
    ASSERT_TRUE(reg_.RegistryReadValue());
    for (const auto& [key, value] : {std::pair(Key(), "Missing"), std::pair(Key() + "\\V", "V")}) {
        reg_.SetKeyName(key);
        reg_.SetValueName(value);
        EXPECT_FALSE(reg_.RegistryReadValue());
        ExpectReport("Bad Or Missing Registry Key");
    }
    EXPECT_EQ(reg_.RegCurrentValue(), RegValue("2"s)) << "the last value read stays";
    reg_.SetTopHKey(0);  // never set: both registries answer "invalid handle" (6)
    EXPECT_FALSE(reg_.RegistryReadValue());
    ExpectReport("Out Of Memory");
}

// The file store, and the platform's own registry: advapi32 on Windows (Wine's under
// scripts/test-windows), the file store where the environment names it elsewhere.
INSTANTIATE_TEST_SUITE_P(Registries, RegistryCases, ::testing::Values("FileStore"s, "Platform"s),
                         [](const auto& row) { return row.param; });

class FileStoreTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(folder_ / "config"); }
    [[nodiscard]] fs::path User(const std::string& suffix = "") const {
        return options_.userFile.string() + suffix;
    }

    TempFolder folder_;
    RegistryFileOptions options_{folder_ / "config/registry.txt", folder_ / "system.txt"};
};

TEST_F(FileStoreTest, ReadsWhatAPersonWritesAndWritesEveryByteBack) {
    WriteBytes(User(),
               "TavrinoRegistry 1\r\n# by hand\r\n\r\n[Control Panel\\desktop]\r\n"
               "\"Tile\"=sz:\"0%00\"\r\n\"Lower\"=sz:\"%e9\"\r\n\"Count\"=dword:4294967295\r\n"
               "\"Blob\"=raw(3):\"%01\"\r\n[a\\\\B\\]\r\nEnd\r\n#\r\n");
    RegistryFileStore store(options_);
    std::uint32_t type = 0;
    EXPECT_EQ(ReadRaw(store, kUser, "control panel\\DESKTOP", "tile") +
                  ReadRaw(store, kUser, "Control Panel\\desktop", "Lower") +
                  ReadRaw(store, kUser, "Control Panel\\desktop", "Count") +
                  ReadRaw(store, kUser, "Control Panel\\desktop", "Blob", &type),
              "0\0\xE9\xFF\xFF\xFF\xFF\x01"s);
    EXPECT_EQ(type, reg::Binary);
    StoreValue(store, "A", "d", reg::Dword, "\1\0\0\0"s);
    EXPECT_EQ(ReadBytes(User()),
              "TavrinoRegistry 1\n# Written by Tavrino Wallpaper Manager; see REGISTRY-FORMAT.md "
              "for the format.\n\n[a]\n\"d\"=dword:1\n\n[a\\B]\n\n[Control Panel]\n\n"
              "[Control Panel\\desktop]\n\"Tile\"=sz:\"0%00\"\n\"Lower\"=sz:\"%E9\"\n"
              "\"Count\"=dword:4294967295\n\"Blob\"=raw(3):\"%01\"\n\nEnd\n");
    std::string all(256, '\0');
    std::iota(all.begin(), all.end(), '\0');
    const std::string path = "Weird [key] \"q\" 100% \t\\caf\xE9\x01";
    StoreValue(store, path, "\"=[]%", reg::Sz, all);
    StoreValue(store, path, "n", reg::Dword, "\1"s);
    EXPECT_EQ(ReadRaw(store, kUser, path, "\"=[]%") + ReadRaw(store, kUser, path, "N"), all + "\1");
}

TEST_F(FileStoreTest, DamagedUserFileIsSetAsideAndTheNextChangeStartsAnew) {
    const std::string head = "TavrinoRegistry 1\n[K]\n";
    // clang-format off
    const std::string damaged[] = {
        "", "TavrinoRegistry 2\n[K]\nEnd\n", head + "\"a\"=sz:\"1\"\n" /* no end line */,
        head + "End\n[L]\n", head + "\"a\"=sz:\"%G1\"\nEnd\n", head + "\"a\"=sz:\"\x01\"\nEnd\n",
        head + "\"a\"=sz:\"1\"\n\"A\"=sz:\"2\"\nEnd\n", head + "\"a\"=dword:4294967296\nEnd\n",
        head + "\"a\"=sz:\"1\" junk\nEnd\n", "\x89PNG\r\n\0"s,
    };
    // clang-format on
    RegistryFileStore store(options_);
    for (const std::string& text : damaged) {
        WriteBytes(User(), text);
        EXPECT_EQ(ReadRaw(store, kUser, "K", "V"), "error 1") << text;
        EXPECT_FALSE(fs::exists(User()));
    }
    EXPECT_EQ(ReadBytes(User(".corrupt")), damaged[0]);
    EXPECT_EQ(ReadBytes(User(".corrupt.9")), damaged[9]);
    StoreValue(store, "K", "V", reg::Sz, "1");
    EXPECT_EQ(ReadRaw(store, kUser, "K", "V"), "1");
    // Nothing but the file and its damaged copies: no temporary file, no lock.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_ / "config"), fs::directory_iterator()),
              11);
}

TEST_F(FileStoreTest, ReadOnlyFilesAreNeverChangedAndFailuresAreWordedAndReportedOnce) {
    WriteBytes(options_.systemFile,
               "TavrinoRegistry 1\n[Tools]\n\"PATH\"=sz:\"/bin/info%00\"\nEnd\n");
    RegistryFileStore store(options_);
    EXPECT_EQ(ReadRaw(store, kMachine, "tools", "path"), "/bin/info\0"s);
    RegKey key = 0;
    EXPECT_EQ(store.CreateKey(kMachine, "Tools", key), reg::AccessDenied);
    RecordingReporter reporter;
    clsRegEdit reg(store, reporter);
    reg.SetTopHKey(reg::CurrentUser);
    reg.SetKeyName("K");
    reg.SetValueName("V");
    WriteBytes(User(), "damaged");
    EXPECT_FALSE(reg.RegistryReadValue());
    StoreValue(store, "K", "V", reg::Sz, "0");
    // Permission bits are checked by the store itself, so this holds for root as well.
    fs::permissions(User(), fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_FALSE(reg.RegistryWriteString("2"));  // the wallpaper code must know it failed
    fs::permissions(User(), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(reporter.Locations(), (std::vector<int>{64, 64}));
    EXPECT_EQ(reporter.reports[0].description + "|" + reporter.reports[1].description,
              "Bad Or Missing Registry|Unable To Write Value To Registry Key");
    WriteBytes(options_.systemFile, "damaged");
    WriteBytes(User(), "damaged");
    options_.userReadOnly = true;
    RegistryFileStore readOnly(options_);
    EXPECT_EQ(ReadRaw(readOnly, kMachine, "Tools", "PATH") + ReadRaw(readOnly, kUser, "K", "V"),
              "error 1error 1");
    EXPECT_EQ(readOnly.CreateKey(kUser, "K", key), reg::AccessDenied);
    EXPECT_EQ(ReadBytes(options_.systemFile) + ReadBytes(User()), "damageddamaged");
    EXPECT_EQ(store.OpenHandleCount() + readOnly.OpenHandleCount(), 0U);
}

#ifdef __linux__
TEST_F(FileStoreTest, AWriteThatFailsLeavesTheOldFileWhole) {
    RegistryFileStore store(options_);
    StoreValue(store, "K", "V", reg::Sz, "old");
    const std::string before = ReadBytes(User());
    // A full disk: the file size limit makes the write fail (EFBIG), also for root.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{before.size() + 10, saved.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    StoreValue(store, "K", "V", reg::Sz, std::string(100, 'x'), reg::AccessDenied);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(ReadBytes(User()), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_ / "config"), fs::directory_iterator()),
              1);
}
#endif

TEST_F(FileStoreTest, ALockHeldByAnotherWriterWaitsUnlessItIsStale) {
    fs::create_directory(User(".lock"));
    options_.lockTimeout = std::chrono::milliseconds(100);
    RegKey key = 0;
    EXPECT_EQ(RegistryFileStore(options_).CreateKey(kUser, "K", key), reg::AccessDenied);
    // A lock older than the stale age was left by a process that died. Windows cannot set a
    // folder's time through the C run-time, so there every lock counts as old instead.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    options_.lockStaleAfter = std::chrono::seconds(0);
    EXPECT_EQ(RegistryFileStore(options_).CreateKey(kUser, "K", key), 0);
    EXPECT_FALSE(fs::exists(User(".lock")));
}

#ifndef _WIN32
TEST_F(FileStoreTest, PlatformRegistriesFindTheirFilesAndStartWithTheDesktopValues) {
    // clang-format off
    const char* const paths[][3] = {  // XDG_CONFIG_HOME, HOME, the user file
        {"/cfg",  "/home/u", "/cfg/tavrino-wallpaper-manager/registry.txt"},
        {"rel",   "/home/u", "/home/u/.config/tavrino-wallpaper-manager/registry.txt"},
        {nullptr, nullptr,   ""},
    };
    // clang-format on
    for (const auto& [xdg, home, expected] : paths) {
        const ScopedEnv config("XDG_CONFIG_HOME", xdg);
        const ScopedEnv homeFolder("HOME", home);
        EXPECT_EQ(DefaultUserRegistryFile().string(), expected);
    }
    const ScopedEnv user("TAVRINO_REGISTRY_USER_FILE", User().c_str());
    const ScopedEnv system("TAVRINO_REGISTRY_SYSTEM_FILE", options_.systemFile.c_str());
    const auto writable = MakeUserRegistry();
    EXPECT_EQ(ReadRaw(*writable, kUser, "Control Panel\\desktop", "TileWallpaper"), "0\0"s);
    EXPECT_FALSE(fs::exists(User())) << "reading creates nothing";
    StoreValue(*writable, "Control Panel\\desktop", "TileWallpaper", reg::Sz, "1");
    EXPECT_EQ(ReadRaw(*writable, kUser, "Control Panel\\desktop", "WallpaperStyle"), "0\0"s);
    RegKey key = 0;
    EXPECT_EQ(MakeSystemRegistry()->CreateKey(kUser, "K", key), reg::AccessDenied);
}
#endif

}  // namespace
}  // namespace tavrino::test
