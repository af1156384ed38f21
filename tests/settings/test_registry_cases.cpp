// clsRegEdit against every registry the build has: the text-file store, and on Windows builds
// the real registry through advapi32 (under Wine when run from Linux). The same cases run on each,
// so the file store is held to what the real registry does.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "RegistryTestSupport.h"
#include "common/TestSupport.h"
#include "settings/clsRegEdit.h"
#include "support/errors/ErrorCodes.h"

namespace tavrino::test {
namespace {

using namespace std::string_literals;

std::string Dword(std::uint32_t v) {
    return {static_cast<char>(v & 0xFFU), static_cast<char>((v >> 8U) & 0xFFU),
            static_cast<char>((v >> 16U) & 0xFFU), static_cast<char>((v >> 24U) & 0xFFU)};
}

class RegistryCases : public ::testing::TestWithParam<RegistryBackendInfo> {
protected:
    void SetUp() override {
        backend_ = GetParam().make();
        scripted_ = std::make_unique<ScriptedRegistry>(backend_->Api());
        reg_ = std::make_unique<clsRegEdit>(*scripted_, reporter_);
        reg_->SetTopHKey(reg::CurrentUser);
        reg_->SetKeyName(Key());
    }

    [[nodiscard]] std::string Key() const { return backend_->ScratchKey(); }
    RegistryApi& Api() { return backend_->Api(); }

    void ExpectOneRegistryReport(const std::string& description) {
        ASSERT_EQ(reporter_.reports.size(), 1U);
        EXPECT_EQ(reporter_.reports[0].location, 64);
        EXPECT_EQ(reporter_.reports[0].number, -10000);
        EXPECT_EQ(reporter_.reports[0].description, description);
    }

    std::unique_ptr<RegistryTestBackend> backend_;
    std::unique_ptr<ScriptedRegistry> scripted_;
    RecordingReporter reporter_;
    std::unique_ptr<clsRegEdit> reg_;
};

TEST_P(RegistryCases, ReadsEachStoredTypeAsTheClassDefines) {
    const std::string unsupported = "Data Type Not Supported";
    struct Row {
        const char* name;
        std::uint32_t type;
        std::string bytes;
        bool result;
        RegValue expected;
    };
    const std::vector<Row> rows = {
        {"text stored with its terminator keeps the NUL", reg::Sz, "2\0"s, true, RegValue("2\0"s)},
        {"text stored without terminator", reg::Sz, "2", true, RegValue("2"s)},
        {"empty text", reg::Sz, "", true, RegValue(""s)},
        {"text with a byte above 127", reg::Sz, "a\xE9z", true, RegValue("a\xE9z"s)},
        {"dword 1", reg::Dword, Dword(1), true, RegValue(std::int32_t{1})},
        {"dword with the top bit set reads as negative", reg::Dword, Dword(0xFFFFFFFFU), true,
         RegValue(std::int32_t{-1})},
        {"dword stored with two bytes", reg::Dword, "\x34\x12"s, true,
         RegValue(std::int32_t{0x1234})},
        {"binary", reg::Binary, "\x01\x02\x00"s, false, RegValue(unsupported)},
        {"expandable text", reg::ExpandSz, "%TEMP%\0"s, false, RegValue(unsupported)},
        {"multi text", reg::MultiSz, "a\0b\0\0"s, false, RegValue(unsupported)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        reporter_.reports.clear();
        StoreValue(Api(), Key(), "V", row.type, row.bytes);
        reg_->SetValueName("V");
        reg_->SetRegCurrentValue("before"s);
        EXPECT_EQ(reg_->RegistryReadValue(), row.result);
        EXPECT_EQ(reg_->RegCurrentValue(), row.expected);
        EXPECT_EQ(reg_->ValueDataType(), static_cast<std::int32_t>(row.type));
        EXPECT_TRUE(reporter_.reports.empty()) << reporter_.reports.front().description;
        EXPECT_EQ(scripted_->openKeys, 0);
    }
}

TEST_P(RegistryCases, TextOfWhatWasReadStartsWithTheStoredCharacter) {
    StoreValue(Api(), Key(), "TileWallpaper", reg::Sz, "2\0"s);
    StoreValue(Api(), Key(), "Count", reg::Dword, Dword(1));
    reg_->SetValueName("TileWallpaper");
    ASSERT_TRUE(reg_->RegistryReadValue());
    EXPECT_EQ(FirstCharacter(reg_->RegCurrentValue()), "2");
    reg_->SetValueName("Count");
    ASSERT_TRUE(reg_->RegistryReadValue());
    EXPECT_EQ(RegValueText(reg_->RegCurrentValue()), "1");
}

TEST_P(RegistryCases, MissingValueOrKeyIsReportedAndLeavesTheLastValue) {
    struct Row {
        const char* name;
        std::string key;
        std::string value;
    };
    const std::vector<Row> rows = {
        {"missing value in an existing key", Key(), "NoSuchValue"},
        {"missing key", Key() + "\\NoSuchKey", "V"},
    };
    StoreValue(Api(), Key(), "Previous", reg::Sz, "2");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        reg_->SetKeyName(Key());
        reg_->SetValueName("Previous");
        ASSERT_TRUE(reg_->RegistryReadValue());
        reporter_.reports.clear();

        reg_->SetKeyName(row.key);
        reg_->SetValueName(row.value);
        EXPECT_FALSE(reg_->RegistryReadValue());
        ExpectOneRegistryReport("Bad Or Missing Registry Key");
        EXPECT_EQ(reg_->RegCurrentValue(), RegValue("2"s));
        EXPECT_EQ(scripted_->openKeys, 0);
    }
}

TEST_P(RegistryCases, DwordLongerThanFourBytesIsReportedInsteadOfOverrunningTheNumber) {
    // Both registries accept a REG_DWORD of any length. Asking for its stored byte count into a
    // four-byte number would write past it; the class asks for four bytes and gets "more data".
    StoreValue(Api(), Key(), "Wide", reg::Dword, "\x01\x02\x03\x04\x05\x06\x07\x08"s);
    reg_->SetValueName("Wide");
    EXPECT_FALSE(reg_->RegistryReadValue());
    EXPECT_EQ(reg_->RegCurrentValue(), RegValue(std::int16_t{0}));
    ExpectOneRegistryReport("");  // code 234 is not in the table
    EXPECT_EQ(scripted_->openKeys, 0);
}

TEST_P(RegistryCases, WritesTextWithoutTerminatorCreatingTheKey) {
    // Windows adds a terminator itself when the byte after the counted ones is NUL (Wine does the
    // same); the stored bytes must be exactly the text, so this checks the raw value.
    const std::vector<std::string> texts = {
        "1", "0", "2", "Wallpaper text", std::string(300, 'x'), "caf\xE9"};
    reg_->SetKeyName(Key() + "\\Created\\Deeper");
    reg_->SetValueName("W");
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        std::string sData = text;
        EXPECT_TRUE(reg_->RegistryWriteString(sData));
        EXPECT_EQ(sData, text);
        const RawValue raw =
            ReadRaw(Api(), reg::RootKey(reg::CurrentUser), Key() + "\\Created\\Deeper", "W");
        ASSERT_EQ(raw.rc, 0);
        EXPECT_EQ(raw.type, reg::Sz);
        EXPECT_EQ(raw.bytes, text);
        ASSERT_TRUE(reg_->RegistryReadValue());
        EXPECT_EQ(reg_->RegCurrentValue(), RegValue(text));
    }
    EXPECT_TRUE(reporter_.reports.empty());
    EXPECT_EQ(scripted_->openKeys, 0);
}

TEST_P(RegistryCases, EmptyWriteStoresTheLastValueReadAndHandsItBack) {
    struct Row {
        const char* name;
        std::uint32_t type;
        std::string stored;
        std::string written;
    };
    const std::vector<Row> rows = {
        {"text without terminator", reg::Sz, "2", "2"},
        {"text with terminator keeps it", reg::Sz, "0\0"s, "0\0"s},
        {"dword in decimal", reg::Dword, Dword(7), "7"},
        {"negative dword", reg::Dword, Dword(0xFFFFFFFEU), "-2"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StoreValue(Api(), Key(), "Source", row.type, row.stored);
        reg_->SetValueName("Source");
        ASSERT_TRUE(reg_->RegistryReadValue());
        reg_->SetValueName("Target");
        std::string sData;
        EXPECT_TRUE(reg_->RegistryWriteString(sData));
        EXPECT_EQ(sData, row.written);
        const RawValue raw = ReadRaw(Api(), reg::RootKey(reg::CurrentUser), Key(), "Target");
        EXPECT_EQ(raw.type, reg::Sz);
        EXPECT_EQ(raw.bytes, row.written);
    }
    // Nothing read yet: the empty value writes empty text. A 16-bit number writes its decimal.
    reg_->SetRegCurrentValue(RegValue{});
    reg_->SetValueName("FromEmpty");
    EXPECT_TRUE(reg_->RegistryWriteString());
    EXPECT_EQ(ReadRaw(Api(), reg::RootKey(reg::CurrentUser), Key(), "FromEmpty").bytes, "");
    reg_->SetRegCurrentValue(std::int16_t{5});
    EXPECT_TRUE(reg_->RegistryWriteString());
    EXPECT_EQ(ReadRaw(Api(), reg::RootKey(reg::CurrentUser), Key(), "FromEmpty").bytes, "5");
    EXPECT_TRUE(reporter_.reports.empty());
}

TEST_P(RegistryCases, EveryCodeIsWordedFromTheTable) {
    struct Row {
        std::int32_t code;
        const char* description;
    };
    const std::vector<Row> rows = {
        {1, "Bad Or Missing Registry"},
        {2, "Bad Or Missing Registry Key"},
        {3, "Unable To open Registry Key"},
        {4, "Unable To Read Registry Key"},
        {5, "Unable To Write Value To Registry Key"},
        {6, "Out Of Memory"},
        {7, "Invalid Parameter"},
        {8, "Access To Registry Or Registry Key Has Been Denied"},
        {87, "Invalid Parameters"},
        {259, "No More Items"},
        {234, ""},
        {1009, ""},
        {-1, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        reporter_.reports.clear();
        scripted_->hook = [&](RegOp op, int) -> std::optional<std::int32_t> {
            return op == RegOp::Open ? std::optional<std::int32_t>(row.code) : std::nullopt;
        };
        EXPECT_FALSE(reg_->RegistryReadValue());
        ExpectOneRegistryReport(row.description);
    }
}

TEST_P(RegistryCases, FailureAtEachStepIsReportedOnceAndClosesTheKey) {
    StoreValue(Api(), Key(), "Text", reg::Sz, "2");
    StoreValue(Api(), Key(), "Number", reg::Dword, Dword(9));
    struct Row {
        const char* name;
        bool write;
        const char* value;
        RegOp op;
        int callIndex;  // which call of that kind fails
        std::int32_t code;
        RegValue after;
    };
    const RegValue prior("prior"s);
    const std::vector<Row> rows = {
        {"open", false, "Text", RegOp::Open, 0, 3, prior},
        {"size query", false, "Text", RegOp::Query, 0, 4, prior},
        {"text data query", false, "Text", RegOp::Query, 1, 234, RegValue(""s)},
        {"number data query", false, "Number", RegOp::Query, 1, 4, RegValue(std::int16_t{0})},
        {"close after read", false, "Text", RegOp::Close, 0, 6, RegValue("2"s)},
        {"create", true, "New", RegOp::Create, 0, 5, prior},
        {"set", true, "New", RegOp::Set, 0, 5, prior},
        {"close after write", true, "New", RegOp::Close, 0, 6, prior},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        reporter_.reports.clear();
        reg_->SetRegCurrentValue(prior);
        reg_->SetValueName(row.value);
        scripted_->hook = [&](RegOp op, int index) -> std::optional<std::int32_t> {
            return op == row.op && index == row.callIndex ? std::optional<std::int32_t>(row.code)
                                                          : std::nullopt;
        };
        for (int& c : scripted_->calls) {
            c = 0;
        }
        // A failed set or data query fails the whole call: the wallpaper code must be able to tell
        // the user that the desktop value was not changed.
        EXPECT_FALSE(row.write ? reg_->RegistryWriteString("1") : reg_->RegistryReadValue());
        ExpectOneRegistryReport(std::string(RegistryErrorMessage(row.code)));
        EXPECT_EQ(reg_->RegCurrentValue(), row.after);
        EXPECT_EQ(scripted_->openKeys, 0);
    }
}

TEST_P(RegistryCases, UnexpectedFailuresAreReportedUnderTheOperationsOwnLocation) {
    StoreValue(Api(), Key(), "Text", reg::Sz, "2");
    reg_->SetValueName("Text");
    scripted_->hook = [](RegOp op, int) -> std::optional<std::int32_t> {
        if (op == RegOp::Query || op == RegOp::Set) {
            throw std::bad_alloc();
        }
        return std::nullopt;
    };
    EXPECT_FALSE(reg_->RegistryReadValue());
    EXPECT_FALSE(reg_->RegistryWriteString("1"));
    ASSERT_EQ(reporter_.reports.size(), 2U);
    EXPECT_EQ(reporter_.reports[0].location, 63);
    EXPECT_EQ(reporter_.reports[0].number, errnum::OutOfMemory);
    EXPECT_EQ(reporter_.reports[1].location, 62);
    EXPECT_EQ(scripted_->openKeys, 0);
}

TEST_P(RegistryCases, OpensWithTheAccessMaskOfTheReadAndRejectsAMissingRoot) {
    StoreValue(Api(), Key(), "Text", reg::Sz, "2");
    reg_->SetValueName("Text");
    ASSERT_TRUE(reg_->RegistryReadValue());
    EXPECT_EQ(scripted_->lastOpenAccess, 0x3FU);
    // TopHKey never set: no registry has a root 0, and both answer "invalid handle" (6).
    reg_->SetTopHKey(0);
    reporter_.reports.clear();
    EXPECT_FALSE(reg_->RegistryReadValue());
    ExpectOneRegistryReport("Out Of Memory");
}

TEST_P(RegistryCases, KeyAndValueNamesIgnoreCase) {
    StoreValue(Api(), Key() + "\\Control Panel\\Desktop", "WallpaperStyle", reg::Sz, "2\0"s);
    reg_->SetKeyName(Key() + "\\control panel\\DESKTOP");
    reg_->SetValueName("wallpaperstyle");
    ASSERT_TRUE(reg_->RegistryReadValue());
    EXPECT_EQ(reg_->RegCurrentValue(), RegValue("2\0"s));
    EXPECT_TRUE(reg_->RegistryWriteString("0"));
    EXPECT_EQ(ReadRaw(Api(), reg::RootKey(reg::CurrentUser), Key() + "\\Control Panel\\Desktop",
                      "WallpaperStyle")
                  .bytes,
              "0");
}

std::string BackendName(const ::testing::TestParamInfo<RegistryBackendInfo>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Registries, RegistryCases,
                         ::testing::ValuesIn(RegistryBackendsUnderTest()), BackendName);

}  // namespace
}  // namespace tavrino::test
