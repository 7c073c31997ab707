# `cmake --install` and the .deb: the program, the replacement program, the
# workbook tool, the menu entry with its icons and the AppStream metadata, in
# the standard places of a Linux desktop.
include(GNUInstallDirs)

set(TALLYBROOK_APP_ID example.tallybrook.tallybrook)

install(TARGETS tallybrook tallybrook-xls RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Started only by the upgrade, never by the seller: off the PATH.
install(TARGETS tallybrook-replacer RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/tallybrook)

set(_desktop ${CMAKE_SOURCE_DIR}/resources/desktop)
install(FILES ${_desktop}/${TALLYBROOK_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_desktop}/${TALLYBROOK_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/resources/tallybrook.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${TALLYBROOK_APP_ID}.svg)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/${size}x${size}/tallybrook.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${TALLYBROOK_APP_ID}.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tallybrook)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Tallybrook)
set(CPACK_PACKAGE_CONTACT "Tallybrook <maker@tallybrook.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Bookkeeping of goods, sales and stock for a small online shop")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.tallybrook.example/)
# The libraries the programs link come from dpkg-shlibdeps; it cannot see the
# window system's Qt plugin, a font with Chinese characters, nor the two
# libraries the program opens on first use (workbook zip files, HTTPS checks).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-wqy-microhei | fonts-noto-cjk, libzip4, libssl3")
include(CPack)
