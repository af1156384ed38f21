// Starting the desktops' tools (missing programs, failures, hangs, the environment they see)
// and reading back what gsettings prints.
#include <gtest/gtest.h>

#include <QFile>
#include <optional>
#include <string>

#include "common/TestSupport.h"
#include "support/errors/Errors.h"
#include "wallpaper/desktop/DesktopCommands.h"
#include "wallpaper/desktop/DesktopProcess.h"
#include "wallpaper/desktop/GSettingsDesktopSetter.h"

namespace tavrino {
namespace {

TEST(DesktopProcess, FailuresAreRefusalsInTheProgramsOwnWords) {
    test::TempFolder bin;
    test::WriteBytes(bin / "tavrino-probe", "#!/bin/sh\necho found-in-private-path\n");
    QFile::setPermissions(QString::fromStdString((bin / "tavrino-probe").string()),
                          QFile::ReadOwner | QFile::ExeOwner);
    const Environment env{{"PATH", bin.Path().string() + ":/usr/bin:/bin"}, {"PROBE", "a 'c'"}};
    const auto sh = [&](const char* script) {
        RunProgramChecked(env, QStringLiteral("sh"), {QStringLiteral("-c"), QLatin1String(script)});
    };
    // clang-format off
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { RunProgram(env, QStringLiteral("tavrino-no-such-tool"), {}); }, "tavrino-no-such-tool\" that sets this desktop's wallpaper is not installed"},
        {[&] { sh("echo partial; echo 'No such schema' >&2; exit 3"); }, "(exit code 3): No such schema"},
        {[&] { sh("echo refused; exit 1"); }, "refused"},
        {[&] { RunProgram(env, QStringLiteral("sleep"), {QStringLiteral("30")}, 300); }, "no answer"},
    };
    // clang-format on
    for (const auto& [run, words] : cases) {
        try {
            run();
            ADD_FAILURE() << "no failure for " << words;
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), errnum::DesktopRefused);
            EXPECT_NE(std::string(error.what()).find(words), std::string::npos) << error.what();
        }
    }
    // Exactly the given environment and arguments, no shell between; found on the given PATH.
    EXPECT_EQ(RunProgramChecked(env, QStringLiteral("sh"),
                                {QStringLiteral("-c"),
                                 QStringLiteral("printf '%s|%s|%s' \"$PROBE\" \"$HOME\" \"$1\""),
                                 QStringLiteral("sh"), QStringLiteral("$(echo no) ; `no`")})
                  .output,
              "a 'c'||$(echo no) ; `no`");
    EXPECT_EQ(RunProgramChecked(env, QStringLiteral("tavrino-probe"), {}).output,
              "found-in-private-path\n");
}

TEST(GSettingsText, StringsAreWrittenAndReadBack) {
    // Written and read back; then texts only gsettings prints, and texts that are no string.
    // clang-format off
    const std::pair<std::string, std::string> both[] = {
        {"file:///a/b.bmp", "'file:///a/b.bmp'"}, {"", "''"}, {"it's", "'it\\'s'"},
        {"back\\slash", "'back\\\\slash'"}, {"tab\there", "'tab\\u0009here'"}, {"\xC3\xA4rger", "'\xC3\xA4rger'"},
    };
    const std::pair<std::string, std::optional<std::string>> read[] = {
        {"\"it's\"\n", "it's"}, {"'a\\u00e4b'", "a\xC3\xA4" "b"}, {"'x\\ny'", "x\ny"},
        {"", {}}, {"'", {}}, {"plain", {}}, {"'open", {}}, {"'a'b'", {}}, {"'bad\\u12'", {}},
        {"'bad\\uzzzz'", {}}, {"'end\\'", {}}, {"@ms nothing", {}}, {"uint32 5", {}},
    };
    // clang-format on
    for (const auto& [value, literal] : both) {
        EXPECT_EQ(GVariantStringLiteral(value), literal);
        EXPECT_EQ(ParseGVariantString(literal + "\n"), value) << literal;
    }
    for (const auto& [printed, value] : read) {
        EXPECT_EQ(ParseGVariantString(printed), value) << printed;
    }
}

}  // namespace
}  // namespace tavrino
