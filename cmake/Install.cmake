# Installed like a desktop program: executable, manual page, launcher, AppStream metadata,
# log-on entry, icons, help pages, copyright and changelog, and a Debian package through CPack.
include(GNUInstallDirs)

set(TAVRINO_PACKAGE tavrino-wallpaper-manager)

install(TARGETS tavrino-wallpaper-manager RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/startup/example.tavrino.WallpaperManager.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/startup/example.tavrino.WallpaperManager.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The log-on entry lies outside the program: it launches it with /startup. A system-wide
# install (prefix /usr, as the Debian package has it) puts it in /etc/xdg/autostart, any other
# prefix in its own etc. Decided at install time, so every build tree packages it alike.
install(CODE "set(tavrino_autostart_entry \"${PROJECT_SOURCE_DIR}/startup/tavrino-wallpaper-manager-autostart.desktop\")")
install(CODE [[
  if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(tavrino_autostart_dir /etc/xdg/autostart)
  else()
    set(tavrino_autostart_dir "${CMAKE_INSTALL_PREFIX}/etc/xdg/autostart")
  endif()
  file(INSTALL DESTINATION "${tavrino_autostart_dir}" TYPE FILE
       RENAME tavrino-wallpaper-manager.desktop FILES "${tavrino_autostart_entry}")
]])

foreach(size 16 32 48 256)
  install(FILES ${PROJECT_SOURCE_DIR}/layouts/art/icon-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${TAVRINO_PACKAGE}.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/layouts/art/icon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${TAVRINO_PACKAGE}.svg)

# The manual page and the changelog ship compressed, without name or time stamp (gzip -n), so
# the package comes out the same on every build.
set(tavrino_gzipped)
foreach(pair "startup/${TAVRINO_PACKAGE}.1;${TAVRINO_PACKAGE}.1"
             "packaging/changelog;changelog")
  list(GET pair 0 source)
  list(GET pair 1 name)
  set(out ${PROJECT_BINARY_DIR}/packaging/${name})
  add_custom_command(OUTPUT ${out}.gz
      COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/${source} ${out}
      COMMAND gzip -9nf ${out}
      DEPENDS ${PROJECT_SOURCE_DIR}/${source}
      VERBATIM)
  list(APPEND tavrino_gzipped ${out}.gz)
endforeach()
add_custom_target(tavrino_gzipped_docs ALL DEPENDS ${tavrino_gzipped})
install(FILES ${PROJECT_BINARY_DIR}/packaging/${TAVRINO_PACKAGE}.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
set(TAVRINO_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${TAVRINO_PACKAGE})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${TAVRINO_DOC_DIR})

set(CPACK_PACKAGE_NAME ${TAVRINO_PACKAGE})
set(CPACK_PACKAGE_VENDOR "Tavrino")
set(CPACK_PACKAGE_CONTACT "Tavrino Support <support@tavrino.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Rotates the desktop wallpaper through your own pictures")
# The extended description under the summary; CPack indents it and marks the empty line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tavrino Wallpaper Manager keeps a display list of up to 50 000 pictures
(JPEG, GIF and BMP), fits the chosen one to the screen, writes it as one
bitmap and makes it the desktop wallpaper. Every few minutes it moves on to
the next picture, down the list or at random. It lives in the notification
area.

It hands the wallpaper to GNOME, Cinnamon, MATE, KDE Plasma, Xfce, LXQt,
LXDE, sway and any other X11 session the way each desktop keeps it.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.tavrino.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# dpkg keeps an administrator's change to the log-on entry across upgrades.
file(WRITE ${PROJECT_BINARY_DIR}/packaging/conffiles
     "/etc/xdg/autostart/tavrino-wallpaper-manager.desktop\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/packaging/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
