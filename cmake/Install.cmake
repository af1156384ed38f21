# Installed like a desktop program: executable, launcher, log-on entry, icons, help pages,
# and a Debian package through CPack.
include(GNUInstallDirs)

install(TARGETS tavrino-wallpaper-manager RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/startup/tavrino-wallpaper-manager.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The log-on entry lies outside the program: it launches it with /startup.
# A system-wide install (prefix /usr, the Debian package) puts it in /etc/xdg/autostart.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(TAVRINO_AUTOSTART_DIR /etc/xdg/autostart)
else()
  set(TAVRINO_AUTOSTART_DIR ${CMAKE_INSTALL_FULL_SYSCONFDIR}/xdg/autostart)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/startup/tavrino-wallpaper-manager-autostart.desktop
        DESTINATION ${TAVRINO_AUTOSTART_DIR}
        RENAME tavrino-wallpaper-manager.desktop)
foreach(size 16 32 48 256)
  install(FILES ${PROJECT_SOURCE_DIR}/layouts/art/icon-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME tavrino-wallpaper-manager.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/layouts/art/icon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME tavrino-wallpaper-manager.svg)

set(CPACK_PACKAGE_NAME tavrino-wallpaper-manager)
set(CPACK_PACKAGE_VENDOR "Tavrino")
set(CPACK_PACKAGE_CONTACT "Tavrino Support <support@tavrino.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Rotates the desktop wallpaper through your own pictures")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
