// Starting the desktops' tools (missing programs, failures, hangs, the environment they see)
// and reading back what gsettings prints.
#include <gtest/gtest.h>

#include <QFile>

#include "common/TestSupport.h"
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
        RunProgramChecked(env, "sh", {"-c", QLatin1String(script)});
    };
    // clang-format off
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { RunProgram(env, "tavrino-no-such-tool", {}); }, "tavrino-no-such-tool\" that sets this desktop's wallpaper is not installed"},
        {[&] { sh("echo partial; echo 'No such schema' >&2; exit 3"); }, "(exit code 3): No such schema"},
        {[&] { sh("echo refused; exit 1"); }, "refused"},
        {[&] { RunProgram(env, "sleep", {"30"}, 300); }, "no answer"},
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
    EXPECT_EQ(RunProgramChecked(env, "sh",
                                {"-c", "printf '%s|%s|%s' \"$PROBE\" \"$HOME\" \"$1\"", "sh",
                                 "$(echo no) ; `no`"})
                  .output,
              "a 'c'||$(echo no) ; `no`");
    EXPECT_EQ(RunProgramChecked(env, "tavrino-probe", {}).output, "found-in-private-path\n");
}

TEST(GSettingsText, WhatGsettingsPrintsIsReadAsAStringOrNothing) {
    // clang-format off
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"'it\\'s'\n", "it's"}, {"\"it's\"\n", "it's"}, {"'a\\u00e4b'", "a\xC3\xA4" "b"}, {"'tab\\u0009'", "tab\t"},
        {"", {}}, {"'open", {}}, {"'a'b'", {}}, {"@ms nothing", {}}, {"uint32 5", {}},
    };
    // clang-format on
    for (const auto& [printed, value] : cases) {
        EXPECT_EQ(ParseGVariantString(printed), value) << printed;
    }
}

}  // namespace
}  // namespace tavrino
