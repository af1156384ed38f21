// Starting the desktops' tools: missing programs, failures, hangs and the environment they see.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>

#include "support/errors/Errors.h"
#include "tests/wallpaper/desktop/test_desktop_support.h"
#include "wallpaper/desktop/DesktopProcess.h"

namespace tavrino {
namespace {

Environment Minimal() {
    return {{"PATH", "/usr/bin:/bin"}, {"TAVRINO_PROBE", "a b 'c'"}};
}

std::string FailureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), errnum::DesktopRefused);
        return error.what();
    }
    ADD_FAILURE() << "no failure reported";
    return {};
}

TEST(DesktopProcess, AMissingProgramIsNamed) {
    const std::string words =
        FailureOf([] { RunProgram(Minimal(), QStringLiteral("tavrino-no-such-tool"), {}); });
    EXPECT_NE(words.find("tavrino-no-such-tool"), std::string::npos) << words;
    EXPECT_NE(words.find("not installed"), std::string::npos) << words;
}

TEST(DesktopProcess, ANonZeroExitCarriesTheProgramsOwnWords) {
    const std::string words = FailureOf([] {
        RunProgramChecked(Minimal(), QStringLiteral("sh"),
                          {QStringLiteral("-c"),
                           QStringLiteral("echo partial; echo 'No such schema' >&2; exit 3")});
    });
    EXPECT_NE(words.find("No such schema"), std::string::npos) << words;
    EXPECT_NE(words.find("exit code 3"), std::string::npos) << words;
    // Standard error wins over standard output when the program says something there.
    const std::string tail = "(exit code 3): No such schema";
    EXPECT_EQ(words.substr(words.size() - std::min(words.size(), tail.size())), tail) << words;
}

TEST(DesktopProcess, WithoutStandardErrorTheOutputIsQuoted) {
    const std::string words = FailureOf([] {
        RunProgramChecked(Minimal(), QStringLiteral("sh"),
                          {QStringLiteral("-c"), QStringLiteral("echo refused; exit 1")});
    });
    EXPECT_NE(words.find("refused"), std::string::npos) << words;
}

TEST(DesktopProcess, AHangingProgramIsStoppedInTime) {
    const std::string words = FailureOf(
        [] { RunProgram(Minimal(), QStringLiteral("sleep"), {QStringLiteral("30")}, 300); });
    EXPECT_NE(words.find("no answer"), std::string::npos) << words;
}

TEST(DesktopProcess, TheProgramSeesExactlyTheGivenEnvironmentAndArguments) {
    const ProgramResult result =
        RunProgramChecked(Minimal(), QStringLiteral("sh"),
                          {QStringLiteral("-c"),
                           QStringLiteral("printf '%s|%s|%s' \"$TAVRINO_PROBE\" \"$HOME\" \"$1\""),
                           QStringLiteral("sh"), QStringLiteral("$(echo no) ; `no`")});
    EXPECT_EQ(result.output, "a b 'c'||$(echo no) ; `no`");
    EXPECT_EQ(result.exitCode, 0);
}

TEST(DesktopProcess, ProgramsAreFoundThroughTheGivenPath) {
    QTemporaryDir bin;
    ASSERT_TRUE(bin.isValid());
    QFile tool(bin.path() + QStringLiteral("/tavrino-probe-tool"));
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
    tool.write("#!/bin/sh\necho found-in-private-path\n");
    tool.close();
    tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Environment environment = Minimal();
    environment["PATH"] = bin.path().toStdString() + ":/usr/bin:/bin";
    EXPECT_EQ(RunProgramChecked(environment, QStringLiteral("tavrino-probe-tool"), {}).output,
              "found-in-private-path\n");
}

}  // namespace
}  // namespace tavrino
