# Installation: the program, its libraries, the language files and the help page lie
# together in <prefix>/lib/kaprin, which is the program's folder; <prefix>/bin/kaprin
# links to it. CPack makes a Debian package of the same tree.
include(GNUInstallDirs)
set(KAPRIN_INSTALL_DIR lib/kaprin)

install(TARGETS Kaprin RUNTIME DESTINATION ${KAPRIN_INSTALL_DIR})
# The libraries come from their own folders; each is installed when it is built.
foreach(library Pellin KALDUN rs232)
    if(TARGET ${library})
        install(TARGETS ${library} LIBRARY DESTINATION ${KAPRIN_INSTALL_DIR})
    endif()
endforeach()
if(TARGET scanner-sim)
    install(TARGETS scanner-sim RUNTIME DESTINATION ${KAPRIN_INSTALL_DIR})
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/Language/ DESTINATION ${KAPRIN_INSTALL_DIR}/Language
        FILES_MATCHING PATTERN "*.ini" PATTERN "*.INI")
install(FILES ${PROJECT_SOURCE_DIR}/kaprin/info/Pelhelp.html DESTINATION ${KAPRIN_INSTALL_DIR})

# bin/kaprin and bin/scanner-sim: relative links, so the tree can be moved as a whole.
install(CODE [[
    set(bin "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin")
    file(MAKE_DIRECTORY "${bin}")
    file(CREATE_LINK ../lib/kaprin/Kaprin "${bin}/kaprin" SYMBOLIC)
    if(EXISTS "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/lib/kaprin/scanner-sim")
        file(CREATE_LINK ../lib/kaprin/scanner-sim "${bin}/scanner-sim" SYMBOLIC)
    endif()
]])

install(FILES ${CMAKE_CURRENT_LIST_DIR}/kaprin.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/art/kaprin.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/art/logo48.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps RENAME kaprin.png)

set(CPACK_PACKAGE_NAME kaprin)
set(CPACK_PACKAGE_VENDOR "Kaprin developers")
set(CPACK_PACKAGE_CONTACT "Kaprin developers <kaprin@localhost>")
set(CPACK_PACKAGE_VERSION ${KAPRIN_VERSION_TEXT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Firmware download utility for barcode scanners")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Kaprin loads firmware images (PLN, or Intel HEX converted on the fly) into barcode "
    "scanners over an RS-232 line, by hand or in an automatic mode for production lines. "
    "Includes scanner-sim, a scanner simulator on a pseudo-terminal.")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# The Chinese captions of the update sets need a CJK font; the help page opens with
# xdg-open. The Qt libraries are named as Debian 12 ships them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6 (>= 2.34), libstdc++6 (>= 12), libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), qt6-qpa-plugins, fonts-noto-cjk, xdg-utils, libsystemd0, libssl3")
# A line's collector and metrics (see the README).
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "systemd-journal-remote, prometheus-node-exporter")
include(CPack)
