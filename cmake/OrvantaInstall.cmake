# Installation (program, desktop entry, icon) and the Debian package.
include(GNUInstallDirs)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/orvanta.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/orvanta.svg
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)

set(CPACK_PACKAGE_NAME orvanta)
set(CPACK_PACKAGE_VENDOR "Orvanta")
set(CPACK_PACKAGE_CONTACT "Orvanta developers <dev@orvanta.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Monitor for two-channel battery chargers/dischargers")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Shared-library analysis finds Qt's libraries and QCustomPlot. What the
# program loads at run time it cannot see: the Song face, Qt's translations,
# the SQLite driver of the session store (libqt6sql6 only recommends it,
# among other drivers) and the platform plugins (libqt6gui6 only recommends
# qt6-qpa-plugins; Debian 12 ships the X11 plugin in libqt6gui6 itself and
# the VNC one in qt6-qpa-plugins).
# A system installed without recommended packages has only what is named
# here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-arphic-uming, qt6-translations-l10n, libqt6sql6-sqlite, qt6-qpa-plugins")
set(CPACK_STRIP_FILES ON)
include(CPack)
