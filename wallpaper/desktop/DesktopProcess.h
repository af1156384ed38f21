// Runs the desktops' own command-line tools (gsettings, xfconf-query, swaymsg, pcmanfm-qt)
// with argument lists (never through a shell) and a bounded wait.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
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

// The session's XDG config folder: XDG_CONFIG_HOME when set, else HOME/.config.
QString ConfigHome(const Environment& environment);

// For desktops that take a picture on the command line and store it a moment later: polls
// storedWallpapers() until one of them is wanted, for at most settleMs. Otherwise throws
// DesktopRefused with "<desktop> did not take the wallpaper: <program> keeps ..." and a hint.
void AwaitStoredWallpaper(const QString& wanted,
                          const std::function<QStringList()>& storedWallpapers, int settleMs,
                          const std::string& desktop, const std::string& program);

}  // namespace tavrino
