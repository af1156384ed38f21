// Sets the desktop background to a bitmap file, the way the running desktop stores it, so
// the choice is shown at once and survives a new login.
#pragma once

#include <memory>
#include <string>

#include "wallpaper/desktop/DesktopKind.h"
#include "wallpaper/desktop/Placement.h"

namespace tavrino {

class DesktopSetter {
public:
    virtual ~DesktopSetter() = default;

    // Short name for messages ("GNOME", "sway", ...).
    [[nodiscard]] virtual std::string Name() const = 0;

    // Sets the background to the bitmap at bitmapPath (absolute) with the given placement.
    // Throws tavrino::Error(errnum::DesktopRefused, the desktop's own words) when the desktop
    // did not take it: program missing, non-zero exit, D-Bus error, value not stored.
    virtual void SetBackground(const std::string& bitmapPath, Placement placement) = 0;

    // True for desktops that keep showing the old picture when given the same name again.
    [[nodiscard]] virtual bool CachesByFileName() const { return false; }

protected:
    DesktopSetter() = default;
    DesktopSetter(const DesktopSetter&) = default;
    DesktopSetter& operator=(const DesktopSetter&) = default;
    DesktopSetter(DesktopSetter&&) = default;
    DesktopSetter& operator=(DesktopSetter&&) = default;
};

// The current process's environment, for the real program.
Environment ProcessEnvironment();

// The setter for a desktop kind. Programs are started with `environment` as their whole
// environment, and D-Bus and X11 connections use its addresses. Setters of desktops that
// cache by file name come wrapped so that every change hands over a fresh name
// (see ChangeFileNames).
std::unique_ptr<DesktopSetter> MakeDesktopSetter(DesktopKind kind, const Environment& environment);

// The setter for the desktop DetectDesktop finds in environment.
std::unique_ptr<DesktopSetter> MakeDesktopSetter(const Environment& environment);

// Single desktops, unwrapped (the factories above add the fresh-name wrapper).
std::unique_ptr<DesktopSetter> MakeGnomeDesktopSetter(const Environment& environment);
std::unique_ptr<DesktopSetter> MakeCinnamonDesktopSetter(const Environment& environment);
std::unique_ptr<DesktopSetter> MakeMateDesktopSetter(const Environment& environment);
std::unique_ptr<DesktopSetter> MakePlasmaDesktopSetter(const Environment& environment);
std::unique_ptr<DesktopSetter> MakeXfceDesktopSetter(const Environment& environment);
std::unique_ptr<DesktopSetter> MakeLxqtDesktopSetter(const Environment& environment);
std::unique_ptr<DesktopSetter> MakeLxdeDesktopSetter(const Environment& environment);
std::unique_ptr<DesktopSetter> MakeSwayDesktopSetter(const Environment& environment);
std::unique_ptr<DesktopSetter> MakeX11RootDesktopSetter(const Environment& environment);
std::unique_ptr<DesktopSetter> MakeWindowsDesktopSetter();

// The setter the platform itself offers for kind: the Windows call on Windows
// (DesktopSetter_win.cpp), the X11 root window elsewhere (DesktopSetter_posix.cpp); null for
// a kind this platform does not have.
std::unique_ptr<DesktopSetter> MakeSystemDesktopSetter(DesktopKind kind,
                                                       const Environment& environment);

// Wraps a setter so each change gets a fresh hard link of the bitmap (see ChangeFileNames).
std::unique_ptr<DesktopSetter> WithFreshFileNames(std::unique_ptr<DesktopSetter> inner);

}  // namespace tavrino
