# Putting the wallpaper on the desktop: the detection and quoting rules (Qt-free), the
# application of the desktop style values, and one setter per desktop.
tavrino_core_sources(
    desktop/DesktopKind.cpp
    desktop/Placement.cpp
    desktop/DesktopCommands.cpp
    desktop/ChangeFileNames.cpp)
tavrino_app_sources(
    desktop/ApplyWallpaper.cpp
    desktop/DesktopSetter.cpp
    desktop/DesktopProcess.cpp
    desktop/GSettingsDesktopSetter.cpp
    desktop/GnomeDesktopSetter.cpp
    desktop/CinnamonDesktopSetter.cpp
    desktop/MateDesktopSetter.cpp
    desktop/PlasmaDesktopSetter.cpp
    desktop/XfceDesktopSetter.cpp
    desktop/LxqtDesktopSetter.cpp
    desktop/LxdeDesktopSetter.cpp
    desktop/SwayDesktopSetter.cpp)
if(TARGET tavrino_app)
  # gsettings prints GVariant text; GLib's own parser reads it back.
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(GLIB REQUIRED IMPORTED_TARGET GLOBAL glib-2.0)
  target_link_libraries(tavrino_app PRIVATE PkgConfig::GLIB)
endif()
if(WIN32)
  # Qt-free, so the Windows core build and its tests under Wine check the system call too.
  tavrino_core_sources(desktop/WindowsDesktopSetter.cpp desktop/DesktopKind_win.cpp)
  tavrino_app_sources(desktop/DesktopSetter_win.cpp)
  target_link_libraries(tavrino_core PUBLIC user32)
else()
  tavrino_core_sources(desktop/DesktopKind_posix.cpp)
  if(TARGET tavrino_app)
    # The root-window setter draws with Xlib on a connection of its own and reads the monitors
    # through RandR.
    find_package(X11 REQUIRED COMPONENTS Xrandr)
    # Visible to the top-level tavrino_app and to the tests, not only to this folder.
    set_target_properties(X11::X11 X11::Xrandr PROPERTIES IMPORTED_GLOBAL TRUE)
    tavrino_app_sources(desktop/X11RootDesktopSetter.cpp desktop/DesktopSetter_posix.cpp)
    target_link_libraries(tavrino_app PRIVATE X11::X11 X11::Xrandr)
  endif()
endif()
