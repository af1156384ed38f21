// Runs the desktops' own command-line tools (gsettings, xfconf-query, swaymsg, pcmanfm-qt)
// with argument lists (never through a shell) and a bounded wait.
#pragma once

#include <QStringList>
#include <string>

#include "wallpaper/desktop/DesktopKind.h"

namespace tavrino {

struct ProgramResult {
    int exitCode = 0;
    std::string output;  // standard output
    std::string errors;  // standard error
};

inline constexpr int kDesktopProgramTimeoutMs = 20000;

// Runs program (looked up in environment's PATH, else the process's) with environment as its
// whole environment. Throws tavrino::Error(errnum::DesktopRefused) when the program is not
// installed, cannot be started, crashes or does not finish within timeoutMs (it is killed).
ProgramResult RunProgram(const Environment& environment, const QString& program,
                         const QStringList& arguments, int timeoutMs = kDesktopProgramTimeoutMs);

// As RunProgram, and a non-zero exit throws DesktopRefused with the program's own words.
ProgramResult RunProgramChecked(const Environment& environment, const QString& program,
                                const QStringList& arguments,
                                int timeoutMs = kDesktopProgramTimeoutMs);

// What a program said about its failure: standard error, else standard output, trimmed.
std::string ProgramWords(const ProgramResult& result);

// "gsettings set a b c" for messages.
std::string CommandLineForMessage(const QString& program, const QStringList& arguments);

}  // namespace tavrino
