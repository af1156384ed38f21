// The registry: clsRegEdit against the file store and the platform's registry (advapi32 on
// Windows, under Wine when run from Linux), so the file store is held to what the real registry
// does; then the file store's own faults.
#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <numeric>
#include <thread>

#include "common/TestSupport.h"
#include "settings/RegistryFileStore.h"
#include "settings/clsRegEdit.h"
#include "support/errors/ErrorCodes.h"

namespace tavrino::test {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

const RegKey kUser = reg::RootKey(reg::CurrentUser);
const RegKey kMachine = reg::RootKey(reg::LocalMachine);

void StoreValue(RegistryApi& api, const std::string& key, const std::string& name,
                std::uint32_t type, const std::string& bytes) {
    RegKey k = 0;
    ASSERT_EQ(api.CreateKey(kUser, key, k), 0);
    EXPECT_EQ(api.SetValue(k, name, type, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                           static_cast<std::uint32_t>(bytes.size())),
              0);
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

enum class RegOp { Create, Open, Query, Set, Close };

// Passes every call on to inner, counting keys left open. hook(op, n) may answer the n-th call of
// a kind itself (a code) or throw.
struct ScriptedRegistry final : RegistryApi {
    explicit ScriptedRegistry(RegistryApi& registry) : inner(registry) {}
    std::int32_t CreateKey(RegKey root, const std::string& subKey, RegKey& key) override {
        return Opened(Call(RegOp::Create, [&] { return inner.CreateKey(root, subKey, key); }));
    }
    std::int32_t OpenKey(RegKey root, const std::string& subKey, std::uint32_t options,
                         std::uint32_t access, RegKey& key) override {
        lastOpenAccess = access;
        return Opened(
            Call(RegOp::Open, [&] { return inner.OpenKey(root, subKey, options, access, key); }));
    }
    std::int32_t QueryValue(RegKey key, const std::string& name, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t* size) override {
        return Call(RegOp::Query, [&] { return inner.QueryValue(key, name, type, data, size); });
    }
    std::int32_t SetValue(RegKey key, const std::string& name, std::uint32_t type,
                          const std::uint8_t* data, std::uint32_t size) override {
        return Call(RegOp::Set, [&] { return inner.SetValue(key, name, type, data, size); });
    }
    std::int32_t CloseKey(RegKey key) override {
        // The real close always happens, so a forced failure never leaks a handle.
        const std::int32_t real = inner.CloseKey(key);
        openKeys -= real == 0 ? 1 : 0;
        return Call(RegOp::Close, [real] { return real; });
    }
    template <class Inner>
    std::int32_t Call(RegOp op, Inner call) {
        const std::int32_t forced = hook ? hook(op, calls[static_cast<int>(op)]++) : 0;
        return forced != 0 ? forced : call();
    }
    std::int32_t Opened(std::int32_t rc) {
        openKeys += rc == 0 ? 1 : 0;
        return rc;
    }

    RegistryApi& inner;
    std::function<std::int32_t(RegOp op, int callIndex)> hook;  // 0: pass the call on
    int openKeys = 0;                                           // opened and not yet closed
    int calls[5] = {};                                          // per RegOp
    std::uint32_t lastOpenAccess = 0;
};

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
        if (GetParam() == "FileStore") {
            return std::make_unique<RegistryFileStore>(RegistryFileOptions{folder_ / "a.txt", {}});
        }
        const ScopedEnv file("TAVRINO_REGISTRY_USER_FILE", (folder_ / "b.txt").string().c_str());
        return MakeUserRegistry();
    }
    void Store(const std::string& bytes, std::uint32_t type = reg::Sz) {
        StoreValue(*api_, Key(), "V", type, bytes);
    }
    // One report from the class's error table (location 64, number -10000), or none.
    void ExpectReport(const char* description) {
        ASSERT_EQ(reporter_.reports.size(), description != nullptr ? 1U : 0U);
        if (description != nullptr) {
            EXPECT_EQ(reporter_.reports[0].location, 64);
            EXPECT_EQ(reporter_.reports[0].number, -10000);
            EXPECT_EQ(reporter_.reports[0].description, description);
        }
        EXPECT_EQ(scripted_.openKeys, 0);
        reporter_.reports.clear();
    }

    TempFolder folder_;
    std::unique_ptr<RegistryApi> api_ = MakeApi();
    ScriptedRegistry scripted_{*api_};
    RecordingReporter reporter_;
    clsRegEdit reg_{scripted_, reporter_};
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
        {reg::MultiSz,  "a\0b\0\0"s,           false, unsupported,                    nullptr},
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

TEST_P(RegistryCases, FailureAtEachStepIsWordedReportedOnceAndClosesTheKey) {
    const RegValue prior("prior"s);
    // clang-format off
    const std::tuple<bool, std::uint32_t, RegOp, int, std::int32_t, const char*, RegValue> rows[] = {
        // write, stored type, failing call and which one of its kind, code, report, value after
        {false, reg::Sz,    RegOp::Open,   0, 1,    "Bad Or Missing Registry",                            prior},
        {false, reg::Sz,    RegOp::Query,  0, 4,    "Unable To Read Registry Key",                        prior},
        {false, reg::Sz,    RegOp::Query,  1, 234,  "",                                                   RegValue(""s)},
        {false, reg::Dword, RegOp::Query,  1, 7,    "Invalid Parameter",                                  RegValue(std::int16_t{0})},
        {false, reg::Sz,    RegOp::Close,  0, 6,    "Out Of Memory",                                      RegValue("2\0\0\0"s)},
        {true,  reg::Sz,    RegOp::Create, 0, 8,    "Access To Registry Or Registry Key Has Been Denied", prior},
        {true,  reg::Sz,    RegOp::Set,    0, 5,    "Unable To Write Value To Registry Key",              prior},
        {true,  reg::Sz,    RegOp::Close,  0, 87,   "Invalid Parameters",                                 prior},
        {true,  reg::Sz,    RegOp::Set,    0, -1,   "",                                                   prior},
    };
    // clang-format on
    for (const auto& [write, type, failing, index, code, report, after] : rows) {
        SCOPED_TRACE(code);
        Store("2\0\0\0"s, type);
        reg_.SetRegCurrentValue(prior);
        scripted_.hook = [f = failing, i = index, c = code](RegOp op, int n) {
            return op == f && n == i ? c : 0;
        };
        std::fill(std::begin(scripted_.calls), std::end(scripted_.calls), 0);
        // A failed set or data query fails the whole call: the wallpaper code must be able to tell
        // the user that the desktop value was not changed.
        EXPECT_FALSE(write ? reg_.RegistryWriteString("1") : reg_.RegistryReadValue());
        EXPECT_EQ(reg_.RegCurrentValue(), after);
        ExpectReport(report);
    }
}

TEST_P(RegistryCases, MissingKeysAndValuesAreReportedAndUnexpectedFailuresToo) {
    Store("2");
    ASSERT_TRUE(reg_.RegistryReadValue());
    EXPECT_EQ(scripted_.lastOpenAccess, 0x3FU);
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
    reg_.SetTopHKey(reg::CurrentUser);
    reg_.SetKeyName(Key());
    scripted_.hook = [](RegOp op, int) {
        return op == RegOp::Query || op == RegOp::Set ? throw std::bad_alloc() : 0;
    };
    EXPECT_FALSE(reg_.RegistryReadValue());
    EXPECT_FALSE(reg_.RegistryWriteString("1"));
    EXPECT_EQ(reporter_.Locations(), (std::vector<int>{63, 62}));
    EXPECT_EQ(reporter_.reports[0].number, errnum::OutOfMemory);
    EXPECT_EQ(scripted_.openKeys, 0);
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

TEST_F(FileStoreTest, ReadOnlyFilesAndStoresAreNeverChanged) {
    WriteBytes(options_.systemFile,
               "TavrinoRegistry 1\n[Tools]\n\"PATH\"=sz:\"/bin/info%00\"\nEnd\n");
    RegistryFileStore store(options_);
    EXPECT_EQ(ReadRaw(store, kMachine, "tools", "path"), "/bin/info\0"s);
    RegKey key = 0;
    EXPECT_EQ(store.CreateKey(kMachine, "Tools", key), reg::AccessDenied);
    StoreValue(store, "K", "V", reg::Sz, "0");
    // Permission bits are checked by the store itself, so this holds for root as well.
    fs::permissions(User(), fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_EQ(store.CreateKey(kUser, "New", key), reg::AccessDenied);
    fs::permissions(User(), fs::perms::owner_write, fs::perm_options::add);
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

TEST_F(FileStoreTest, ALockHeldByAnotherWriterWaitsUnlessItIsStaleAndTwoWritersLoseNothing) {
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
    options_.lockStaleAfter = std::chrono::seconds(30);
    options_.lockTimeout = std::chrono::seconds(5);
    auto write = [this](const std::string& prefix) {
        RegistryFileStore store(options_);  // each as a process of its own would
        for (int i = 0; i < 40; ++i) {
            StoreValue(store, "K", prefix + std::to_string(i), reg::Sz, prefix);
        }
    };
    std::thread a(write, "a");
    std::thread b(write, "b");
    a.join();
    b.join();
    const auto parsed = ParseRegistryFile(ReadBytes(User()));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->keys.at("k").values.size(), 80U);
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
