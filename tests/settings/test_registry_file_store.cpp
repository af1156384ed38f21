// The file store's own faults: its text format, damaged and read-only files, the lock, unusual
// names, and two processes writing at once.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "RegistryTestSupport.h"
#include "common/TestSupport.h"
#include "settings/RegistryFileStore.h"
#include "settings/clsRegEdit.h"

namespace tavrino::test {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

const RegKey kUser = reg::RootKey(reg::CurrentUser);
const RegKey kMachine = reg::RootKey(reg::LocalMachine);

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << text;
}

class FileStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tavrino-filestore-" +
                std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(dir_);
        options_.userFile = dir_ / "config" / "registry.txt";
        options_.systemFile = dir_ / "system" / "registry-system.txt";
        options_.lockTimeout = std::chrono::milliseconds(3000);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(options_.userFile, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }
    RegistryFileStore Store() { return RegistryFileStore(options_); }

    fs::path dir_;
    RegistryFileOptions options_;
    RecordingReporter reporter_;
};

TEST(RegistryFileFormat, RoundTripsUnusualNamesAndBytes) {
    RegistryFileData data;
    const std::vector<std::string> paths = {"Control Panel\\desktop",
                                            "Weird [key] \"quoted\" 100% = x",
                                            "Tab\there\\New\nLine", "caf\xE9\\\x01\x7F"};
    for (const std::string& p : paths) {
        if (p.find_first_of("[]\t\n\x01\x7F") != std::string::npos) {
            EXPECT_FALSE(ParseRegistryFile("TavrinoRegistry 1\n[" + p + "]\nEnd\n").has_value())
                << "raw control bytes and brackets must be escaped: " << p;
        }
    }
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    RegistryFileData source;
    for (const std::string& p : paths) {
        RegistryFileKey key;
        key.path = p;
        key.values = {{"", reg::Sz, "default"},
                      {"\"=[]%", reg::Sz, all},
                      {"n", reg::Dword, "\x01\x00\x00\x80"s},
                      {"short", reg::Dword, "\x01"s},
                      {"bin", reg::Binary, ""},
                      {"big type", 0xFFFFFFFFU, "x"}};
        source.keys[CanonicalKeyPath(p)] = key;
    }
    const std::string text = FormatRegistryFile(source);
    std::string why;
    auto parsed = ParseRegistryFile(text, &why);
    ASSERT_TRUE(parsed.has_value()) << why;
    for (const std::string& p : paths) {
        SCOPED_TRACE(p);
        const auto it = parsed->keys.find(CanonicalKeyPath(p));
        ASSERT_NE(it, parsed->keys.end());
        EXPECT_EQ(it->second.path, p);
        ASSERT_EQ(it->second.values.size(), 6U);
        for (std::size_t i = 0; i < 6; ++i) {
            EXPECT_EQ(it->second.values[i].name, source.keys[CanonicalKeyPath(p)].values[i].name);
            EXPECT_EQ(it->second.values[i].type, source.keys[CanonicalKeyPath(p)].values[i].type);
            EXPECT_EQ(it->second.values[i].bytes, source.keys[CanonicalKeyPath(p)].values[i].bytes);
        }
    }
    // Every ancestor exists as a key of its own.
    EXPECT_NE(parsed->keys.find("control panel"), parsed->keys.end());
    const std::string again = FormatRegistryFile(*parsed);
    auto reparsed = ParseRegistryFile(again);
    ASSERT_TRUE(reparsed.has_value());
    EXPECT_EQ(FormatRegistryFile(*reparsed), again);
}

TEST(RegistryFileFormat, ReadsWhatAPersonWouldWrite) {
    const std::string text =
        "TavrinoRegistry 1\r\n"
        "# made by hand\r\n"
        "\r\n"
        "[Control Panel\\desktop]\r\n"
        "\"TileWallpaper\"=sz:\"0%00\"\r\n"
        "\"Lower\"=sz:\"%e9\"\r\n"
        "\"Count\"=dword:4294967295\r\n"
        "\"Blob\"=raw(3):\"%01%02\"\r\n"
        "End\r\n"
        "# trailing comment\r\n";
    std::string why;
    auto parsed = ParseRegistryFile(text, &why);
    ASSERT_TRUE(parsed.has_value()) << why;
    const auto& values = parsed->keys.at("control panel\\desktop").values;
    ASSERT_EQ(values.size(), 4U);
    EXPECT_EQ(values[0].bytes, "0\0"s);
    EXPECT_EQ(values[1].bytes, "\xE9");
    EXPECT_EQ(values[2].bytes, "\xFF\xFF\xFF\xFF");
    EXPECT_EQ(values[3].type, 3U);
}

TEST(RegistryFileFormat, RejectsDamagedText) {
    const std::string head = "TavrinoRegistry 1\n[K]\n";
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"empty file", ""},
        {"unknown version", "TavrinoRegistry 2\n[K]\nEnd\n"},
        {"no end line (cut at a line end)", head + "\"a\"=sz:\"1\"\n"},
        {"cut inside a value", head + "\"a\"=sz:\"1"},
        {"text after the end", head + "End\n[L]\n"},
        {"bad escape digit", head + "\"a\"=sz:\"%G1\"\nEnd\n"},
        {"escape cut short", head + "\"a\"=sz:\"%4\"\nEnd\n"},
        {"raw control byte", head + "\"a\"=sz:\"\x01\"\nEnd\n"},
        {"value before a key", "TavrinoRegistry 1\n\"a\"=sz:\"1\"\nEnd\n"},
        {"value listed twice, any case", head + "\"a\"=sz:\"1\"\n\"A\"=sz:\"2\"\nEnd\n"},
        {"key listed twice", head + "\"a\"=sz:\"1\"\n[k]\n\"b\"=sz:\"1\"\nEnd\n"},
        {"dword too large", head + "\"a\"=dword:4294967296\nEnd\n"},
        {"dword not a number", head + "\"a\"=dword:-1\nEnd\n"},
        {"unknown type", head + "\"a\"=qword:1\nEnd\n"},
        {"raw type not a number", head + "\"a\"=raw(x):\"\"\nEnd\n"},
        {"text after data", head + "\"a\"=sz:\"1\" junk\nEnd\n"},
        {"key without bracket", "TavrinoRegistry 1\n[K\nEnd\n"},
        {"stray line", head + "hello\nEnd\n"},
        {"binary garbage",
         "\x7F"
         "ELF\x02\x01\x01\0\0\0"s},
    };
    for (const auto& [name, text] : cases) {
        std::string why;
        EXPECT_FALSE(ParseRegistryFile(text, &why).has_value()) << name;
        EXPECT_FALSE(why.empty()) << name;
    }
}

TEST_F(FileStoreTest, DamagedUserFileIsKeptAsideReportedAndReplacedOnTheNextWrite) {
    const std::vector<std::pair<const char*, std::string>> damage = {
        {"truncated", "TavrinoRegistry 1\n[Control Panel\\desktop]\n\"TileWallpaper\"=sz:\"0"},
        {"garbage", "\x89PNG\r\n\x1A\n\0\0\0\rIHDR"s},
    };
    for (const auto& [name, text] : damage) {
        SCOPED_TRACE(name);
        fs::remove_all(options_.userFile.parent_path());
        WriteFile(options_.userFile, text);
        RegistryFileStore store = Store();
        clsRegEdit reg(store, reporter_);
        reg.SetTopHKey(reg::CurrentUser);
        reg.SetKeyName("Control Panel\\desktop");
        reg.SetValueName("TileWallpaper");
        reporter_.reports.clear();
        EXPECT_FALSE(reg.RegistryReadValue());
        ASSERT_EQ(reporter_.reports.size(), 1U);
        EXPECT_EQ(reporter_.reports[0].description, "Bad Or Missing Registry");
        EXPECT_FALSE(fs::exists(options_.userFile));
        EXPECT_EQ(ReadFile(fs::path(options_.userFile).concat(".corrupt")), text);

        EXPECT_TRUE(reg.RegistryWriteString("1"));
        EXPECT_EQ(ReadRaw(store, kUser, "Control Panel\\desktop", "TileWallpaper").bytes, "1");
        EXPECT_EQ(ReadFile(fs::path(options_.userFile).concat(".corrupt")), text)
            << "the damaged copy stays";
        EXPECT_EQ(store.OpenHandleCount(), 0U);
    }
}

TEST_F(FileStoreTest, SecondDamagedFileDoesNotOverwriteTheFirstCopy) {
    WriteFile(options_.userFile, "first");
    RegistryFileStore store = Store();
    RawValue raw = ReadRaw(store, kUser, "K", "V");
    EXPECT_EQ(raw.rc, reg::BadStore);
    WriteFile(options_.userFile, "second");
    raw = ReadRaw(store, kUser, "K", "V");
    EXPECT_EQ(raw.rc, reg::BadStore);
    EXPECT_EQ(ReadFile(fs::path(options_.userFile).concat(".corrupt")), "first");
    EXPECT_EQ(ReadFile(fs::path(options_.userFile).concat(".corrupt.1")), "second");
}

TEST_F(FileStoreTest, ReadOnlyStoreReportsADamagedUserFileButLeavesItInPlace) {
    WriteFile(options_.userFile, "damaged");
    options_.userReadOnly = true;
    RegistryFileStore store = Store();
    EXPECT_EQ(ReadRaw(store, kUser, "K", "V").rc, reg::BadStore);
    EXPECT_EQ(ReadFile(options_.userFile), "damaged");
    EXPECT_FALSE(fs::exists(fs::path(options_.userFile).concat(".corrupt")));
    RegKey key = 0;
    EXPECT_EQ(store.CreateKey(kUser, "K", key), reg::AccessDenied);
}

TEST_F(FileStoreTest, ReadOnlyFileIsNeverChanged) {
    RegistryFileStore store = Store();
    StoreValue(store, "Control Panel\\desktop", "TileWallpaper", reg::Sz, "0");
    const std::string before = ReadFile(options_.userFile);
    // Permission bits are checked by the store itself, so this holds for root as well.
    fs::permissions(options_.userFile,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    clsRegEdit reg(store, reporter_);
    reg.SetTopHKey(reg::CurrentUser);
    reg.SetKeyName("Control Panel\\desktop");
    reg.SetValueName("TileWallpaper");
    EXPECT_FALSE(reg.RegistryWriteString("1"));
    ASSERT_FALSE(reporter_.reports.empty());
    EXPECT_EQ(reporter_.reports[0].description, "Unable To Write Value To Registry Key");
    EXPECT_EQ(ReadFile(options_.userFile), before);
    // Reading still works.
    reporter_.reports.clear();
    EXPECT_TRUE(reg.RegistryReadValue());
    EXPECT_EQ(reg.RegCurrentValue(), RegValue("0"s));
    EXPECT_EQ(store.OpenHandleCount(), 0U);
}

TEST_F(FileStoreTest, FolderThatCannotBeCreatedRefusesWrites) {
    WriteFile(dir_ / "blocker", "a file where the folder should be");
    options_.userFile = dir_ / "blocker" / "registry.txt";
    RegistryFileStore store = Store();
    RegKey key = 0;
    EXPECT_EQ(store.CreateKey(kUser, "Control Panel", key), reg::AccessDenied);
    EXPECT_EQ(store.OpenHandleCount(), 0U);
}

TEST_F(FileStoreTest, MachineFileIsReadOnlyAndNeverMovedWhenDamaged) {
    WriteFile(options_.systemFile,
              "TavrinoRegistry 1\n[SOFTWARE\\Microsoft\\Shared "
              "Tools\\MSINFO]\n\"PATH\"=sz:\"/usr/bin/sysinfo%00\"\nEnd\n");
    RegistryFileStore store = Store();
    RegKey key = 0;
    ASSERT_EQ(store.OpenKey(kMachine, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", 0,
                            reg::ReadWriteWithReadControl, key),
              0);
    std::uint8_t buffer[1024] = {};
    std::uint32_t size = sizeof buffer;
    std::uint32_t type = 0;
    EXPECT_EQ(store.QueryValue(key, "PATH", &type, buffer, &size), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), "/usr/bin/sysinfo\0"s);
    EXPECT_EQ(store.SetValue(key, "PATH", reg::Sz, buffer, 1), reg::AccessDenied);
    EXPECT_EQ(store.CloseKey(key), 0);
    EXPECT_EQ(store.CreateKey(kMachine, "SOFTWARE\\New", key), reg::AccessDenied);
    EXPECT_EQ(
        store.OpenKey(kMachine, "SOFTWARE\\Microsoft\\Shared Tools Location", 0, 0x2003F, key),
        reg::FileNotFound);

    WriteFile(options_.systemFile, "not a registry");
    EXPECT_EQ(store.OpenKey(kMachine, "SOFTWARE", 0, 0x2003F, key), reg::BadStore);
    EXPECT_EQ(ReadFile(options_.systemFile), "not a registry");
    EXPECT_EQ(store.OpenHandleCount(), 0U);
}

TEST_F(FileStoreTest, HandlesAreCheckedAndClosedOnce) {
    RegistryFileStore store = Store();
    RegKey key = 0;
    ASSERT_EQ(store.CreateKey(kUser, "A\\B", key), 0);
    EXPECT_EQ(store.CloseKey(key), 0);
    EXPECT_EQ(store.CloseKey(key), reg::InvalidHandle);
    const std::uint8_t byte = '1';
    EXPECT_EQ(store.SetValue(key, "V", reg::Sz, &byte, 1), reg::InvalidHandle);
    std::uint32_t size = 0;
    EXPECT_EQ(store.QueryValue(key, "V", nullptr, nullptr, &size), reg::InvalidHandle);
    EXPECT_EQ(store.OpenKey(reg::RootKey(reg::ClassesRoot), "", 0, 0x3F, key), reg::InvalidHandle);
    EXPECT_EQ(store.CreateKey(0, "A", key), reg::InvalidHandle);
    // A handle may be the parent of further keys.
    RegKey parent = 0;
    RegKey child = 0;
    ASSERT_EQ(store.OpenKey(kUser, "A", 0, 0x3F, parent), 0);
    ASSERT_EQ(store.OpenKey(parent, "b", 0, 0x3F, child), 0);
    EXPECT_EQ(store.SetValue(child, "V", reg::Sz, &byte, 1), 0);
    EXPECT_EQ(ReadRaw(store, kUser, "a\\b", "v").bytes, "1");
    EXPECT_EQ(store.CloseKey(child), 0);
    EXPECT_EQ(store.CloseKey(parent), 0);
    EXPECT_EQ(store.OpenHandleCount(), 0U);
}

TEST_F(FileStoreTest, QueryFollowsTheRegistrysBufferRules) {
    RegistryFileStore store = Store();
    StoreValue(store, "K", "V", reg::Sz, "abc\0"s);
    RegKey key = 0;
    ASSERT_EQ(store.OpenKey(kUser, "K", 0, 0x3F, key), 0);
    std::uint8_t buffer[8] = {};
    std::uint32_t size = 2;
    EXPECT_EQ(store.QueryValue(key, "V", nullptr, buffer, &size), reg::MoreData);
    EXPECT_EQ(size, 4U);
    EXPECT_EQ(buffer[0], 0) << "nothing copied into a short buffer";
    size = sizeof buffer;
    EXPECT_EQ(store.QueryValue(key, "V", nullptr, buffer, &size), 0);
    EXPECT_EQ(size, 4U);
    EXPECT_EQ(store.QueryValue(key, "V", nullptr, buffer, nullptr), reg::InvalidParameter);
    store.CloseKey(key);
}

TEST_F(FileStoreTest, KeyWithUnusualCharactersRoundTripsThroughANewStore) {
    const std::string key = "Weird [key] \"quoted\" 100% = x\\caf\xE9 \t tab\\#not a comment";
    const std::string name = "name \"with\" = and ]";
    {
        RegistryFileStore store = Store();
        clsRegEdit reg(store, reporter_);
        reg.SetTopHKey(reg::CurrentUser);
        reg.SetKeyName(key);
        reg.SetValueName(name);
        EXPECT_TRUE(reg.RegistryWriteString("line one\nline two"));
    }
    std::string why;
    ASSERT_TRUE(ParseRegistryFile(ReadFile(options_.userFile), &why).has_value()) << why;
    RegistryFileStore again = Store();
    clsRegEdit reg(again, reporter_);
    reg.SetTopHKey(reg::CurrentUser);
    reg.SetKeyName(key);
    reg.SetValueName(name);
    EXPECT_TRUE(reg.RegistryReadValue());
    EXPECT_EQ(reg.RegCurrentValue(), RegValue("line one\nline two"s));
    EXPECT_TRUE(reporter_.reports.empty());
    // Empty path components are ignored, as in "a\\b".
    EXPECT_EQ(ReadRaw(again, kUser,
                      "\\Weird [key] \"quoted\" 100% = x\\\\caf\xE9 \t tab\\#not a comment\\", name)
                  .rc,
              0);
}

TEST_F(FileStoreTest, StartsWithTheDesktopValuesOfAWindowsProfile) {
    options_.seedDesktopDefaults = true;
    RegistryFileStore store = Store();
    EXPECT_EQ(ReadRaw(store, kUser, "Control Panel\\desktop", "TileWallpaper").bytes, "0\0"s);
    EXPECT_FALSE(fs::exists(options_.userFile)) << "reading creates nothing";
    StoreValue(store, "Control Panel\\desktop", "TileWallpaper", reg::Sz, "1");
    EXPECT_EQ(ReadRaw(store, kUser, "Control Panel\\desktop", "WallpaperStyle").bytes, "0\0"s);
    EXPECT_EQ(ReadRaw(store, kUser, "Control Panel\\desktop", "TileWallpaper").bytes, "1");
}

TEST_F(FileStoreTest, WritesLeaveNoTemporaryFilesOrLocks) {
    RegistryFileStore store = Store();
    for (int i = 0; i < 5; ++i) {
        StoreValue(store, "K", "V" + std::to_string(i), reg::Sz, "x");
    }
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(options_.userFile.parent_path())) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"registry.txt"});
}

TEST_F(FileStoreTest, LockHeldByAnotherWriterTimesOutUnlessStale) {
    fs::create_directories(options_.userFile.parent_path());
    const fs::path lock = fs::path(options_.userFile).concat(".lock");
    fs::create_directory(lock);
    options_.lockTimeout = std::chrono::milliseconds(100);
    {
        RegistryFileStore store = Store();
        RegKey key = 0;
        EXPECT_EQ(store.CreateKey(kUser, "K", key), reg::AccessDenied);
        EXPECT_TRUE(fs::exists(lock)) << "a live lock is not taken away";
    }
    // A lock older than the stale age was left by a process that died: it is taken over.
#ifdef _WIN32
    // Windows cannot set a folder's time through the C run-time: make every lock count as old.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    options_.lockStaleAfter = std::chrono::seconds(0);
#else
    fs::last_write_time(lock, fs::file_time_type::clock::now() - std::chrono::minutes(5));
#endif
    RegistryFileStore store = Store();
    RegKey key = 0;
    EXPECT_EQ(store.CreateKey(kUser, "K", key), 0);
    EXPECT_EQ(store.CloseKey(key), 0);
    EXPECT_FALSE(fs::exists(lock));
}

TEST_F(FileStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
#if defined(_WIN32) || !defined(TAVRINO_REGISTRY_WRITER)
    GTEST_SKIP() << "Windows builds keep their values in the real registry, not in this store";
#else
    constexpr int kCount = 40;
    auto run = [&](const std::string& prefix, int& status) {
        const std::string command = std::string("\"") + TAVRINO_REGISTRY_WRITER + "\" \"" +
                                    options_.userFile.string() + "\" " + prefix + " " +
                                    std::to_string(kCount);
        status = std::system(command.c_str());
    };
    int first = -1;
    int second = -1;
    std::thread a(run, "a", std::ref(first));
    std::thread b(run, "b", std::ref(second));
    a.join();
    b.join();
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 0);
    std::string why;
    auto parsed = ParseRegistryFile(ReadFile(options_.userFile), &why);
    ASSERT_TRUE(parsed.has_value()) << why;
    const auto& values = parsed->keys.at("control panel\\desktop").values;
    EXPECT_EQ(values.size(), 2U * kCount);
    RegistryFileStore store = Store();
    for (const char* prefix : {"a", "b"}) {
        for (int i = 0; i < kCount; ++i) {
            const std::string name = prefix + std::to_string(i);
            EXPECT_EQ(ReadRaw(store, kUser, "Control Panel\\desktop", name).bytes, "value " + name);
        }
    }
    EXPECT_FALSE(fs::exists(fs::path(options_.userFile).concat(".lock")));
#endif
}

#ifndef _WIN32
TEST_F(FileStoreTest, PlatformRegistriesUseTheFilesTheEnvironmentNames) {
    setenv("TAVRINO_REGISTRY_USER_FILE", options_.userFile.c_str(), 1);
    setenv("TAVRINO_REGISTRY_SYSTEM_FILE", options_.systemFile.c_str(), 1);
    WriteFile(options_.systemFile,
              "TavrinoRegistry 1\n[SOFTWARE\\Microsoft\\Shared Tools Location]\n"
              "\"MSINFO\"=sz:\"/opt/info\"\nEnd\n");
    const auto user = MakeUserRegistry();
    const auto system = MakeSystemRegistry();
    unsetenv("TAVRINO_REGISTRY_USER_FILE");
    unsetenv("TAVRINO_REGISTRY_SYSTEM_FILE");

    // The wallpaper code finds the desktop values a Windows profile has, and can change them.
    clsRegEdit reg(*user, reporter_);
    reg.SetTopHKey(reg::CurrentUser);
    reg.SetKeyName("Control Panel\\desktop");
    reg.SetValueName("WallpaperStyle");
    ASSERT_TRUE(reg.RegistryReadValue());
    EXPECT_EQ(FirstCharacter(reg.RegCurrentValue()), "0");
    EXPECT_TRUE(reg.RegistryWriteString("2"));
    EXPECT_EQ(ReadRaw(*system, kUser, "Control Panel\\desktop", "WallpaperStyle").bytes, "2");
    EXPECT_TRUE(reporter_.reports.empty());

    EXPECT_EQ(
        ReadRaw(*system, kMachine, "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO").bytes,
        "/opt/info");
    RegKey key = 0;
    EXPECT_EQ(system->CreateKey(kUser, "Control Panel\\desktop", key), reg::AccessDenied);
}

TEST(RegistryFilePaths, FollowTheBaseDirectorySpecification) {
    struct Row {
        const char* name;
        const char* override_;
        const char* xdg;
        const char* home;
        const char* expected;
    };
    const std::vector<Row> rows = {
        {"explicit file", "/tmp/x/reg.txt", "/cfg", "/home/u", "/tmp/x/reg.txt"},
        {"XDG_CONFIG_HOME", nullptr, "/cfg", "/home/u",
         "/cfg/tavrino-wallpaper-manager/registry.txt"},
        {"relative XDG_CONFIG_HOME is ignored", nullptr, "rel", "/home/u",
         "/home/u/.config/tavrino-wallpaper-manager/registry.txt"},
        {"HOME only", nullptr, nullptr, "/home/u",
         "/home/u/.config/tavrino-wallpaper-manager/registry.txt"},
        {"nothing known", nullptr, nullptr, nullptr, ""},
    };
    const char* keep[] = {"TAVRINO_REGISTRY_USER_FILE", "XDG_CONFIG_HOME", "HOME"};
    std::vector<std::pair<std::string, std::string>> saved;
    for (const char* k : keep) {
        const char* v = std::getenv(k);
        saved.emplace_back(k, v != nullptr ? v : "\x01");
    }
    auto set = [](const char* k, const char* v) {
        if (v != nullptr) {
            setenv(k, v, 1);
        } else {
            unsetenv(k);
        }
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        set("TAVRINO_REGISTRY_USER_FILE", row.override_);
        set("XDG_CONFIG_HOME", row.xdg);
        set("HOME", row.home);
        EXPECT_EQ(DefaultUserRegistryFile().string(), row.expected);
    }
    for (const auto& [k, v] : saved) {
        set(k.c_str(), v == "\x01" ? nullptr : v.c_str());
    }
}
#endif

}  // namespace
}  // namespace tavrino::test
