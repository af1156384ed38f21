# Tests of putting the wallpaper on the desktop. The integration tests drive the desktops' real
# programs in private homes and buses; a test whose program is missing skips and says why.
tavrino_test(NAME test_desktop_rules SOURCES test_desktop_rules.cpp)
tavrino_test(NAME test_desktop_files SOURCES test_desktop_files.cpp)
tavrino_test(NAME test_desktop_process SOURCES test_desktop_process.cpp QT TIMEOUT 60)
tavrino_test(NAME test_apply_wallpaper SOURCES test_apply_wallpaper.cpp QT TIMEOUT 60)
tavrino_test(NAME test_desktop_gsettings SOURCES test_desktop_gsettings.cpp QT
             LABELS integration TIMEOUT 240)
tavrino_test(NAME test_desktop_xfce SOURCES test_desktop_xfce.cpp QT LABELS integration TIMEOUT 240)
tavrino_test(NAME test_desktop_plasma SOURCES test_desktop_plasma.cpp QT LABELS integration TIMEOUT 120)
tavrino_test(NAME test_desktop_sway SOURCES test_desktop_sway.cpp QT LABELS integration TIMEOUT 240)
if(WIN32)
  tavrino_test(NAME test_desktop_windows SOURCES test_desktop_windows.cpp LABELS integration TIMEOUT 300)
endif()
if(NOT WIN32 AND TARGET X11::X11)
  tavrino_test(NAME test_desktop_x11 SOURCES test_desktop_x11.cpp QT LABELS integration TIMEOUT 240
               LINK X11::X11)
  tavrino_test(NAME test_desktop_pcmanfm SOURCES test_desktop_pcmanfm.cpp QT LABELS integration
               TIMEOUT 180 LINK X11::X11)
endif()
