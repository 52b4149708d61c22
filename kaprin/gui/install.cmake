# Installation of the window program (package kaprin): the program and its help page lie in
# <prefix>/lib/kaprin, the program's folder, beside what kaprin-station puts there (the
# libraries, the language files, kaprin-cli); <prefix>/bin/kaprin links to it.
include(GNUInstallDirs)
set(KAPRIN_INSTALL_DIR lib/kaprin)

install(TARGETS Kaprin RUNTIME DESTINATION ${KAPRIN_INSTALL_DIR} COMPONENT desktop)
install(FILES ${PROJECT_SOURCE_DIR}/kaprin/info/Pelhelp.html DESTINATION ${KAPRIN_INSTALL_DIR}
        COMPONENT desktop)

# A relative link, so the tree can be moved as a whole.
install(CODE [[
    set(bin "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin")
    file(MAKE_DIRECTORY "${bin}")
    file(CREATE_LINK ../lib/kaprin/Kaprin "${bin}/kaprin" SYMBOLIC)
]] COMPONENT desktop)

install(FILES ${CMAKE_CURRENT_LIST_DIR}/kaprin.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT desktop)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/art/kaprin.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps COMPONENT desktop)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/art/logo48.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps RENAME kaprin.png
        COMPONENT desktop)
