# Two Debian packages from one build (cpack in the build folder):
#   kaprin-station  kaprin-cli, the three libraries, scanner-sim, the station unit, the udev
#                   rule and the example configuration; needs QtCore but no Qt GUI library
#   kaprin          the window program, its art, fonts and help; depends on kaprin-station
set(KAPRIN_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(KAPRIN_DEFAULT_MAINTAINER "Kaprin developers <kaprin-dev@kaprin.example>")
if(DEFINED ENV{DEBEMAIL})
    set(KAPRIN_DEFAULT_MAINTAINER "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
endif()
set(KAPRIN_MAINTAINER "${KAPRIN_DEFAULT_MAINTAINER}" CACHE STRING
    "The packages' Maintainer field: Name <address> (default: DEBFULLNAME and DEBEMAIL)")

# Manual pages from the programs' own --help, made when the program is built.
set(KAPRIN_MAN_DIR ${CMAKE_BINARY_DIR}/man)
function(kaprin_man_page name component summary source see_also)
    set(out ${KAPRIN_MAN_DIR}/${name}.1.gz)
    if(TARGET ${source})
        set(input -DPROGRAM=$<TARGET_FILE:${source}>)
        set(depends ${source})
    else()
        set(input -DTEXT=${source})
        set(depends ${source})
    endif()
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${KAPRIN_MAN_DIR}
        COMMAND ${CMAKE_COMMAND} -DNAME=${name} "-DSUMMARY=${summary}"
                -DVERSION=${KAPRIN_VERSION_TEXT} -DOUT=${out} ${input} "-DSEE_ALSO=${see_also}"
                -P ${KAPRIN_PACKAGING_DIR}/man_page.cmake
        DEPENDS ${depends} ${KAPRIN_PACKAGING_DIR}/man_page.cmake VERBATIM)
    add_custom_target(man_${name} ALL DEPENDS ${out})
    install(FILES ${out} DESTINATION share/man/man1 COMPONENT ${component})
endfunction()

set(components)
if(TARGET kaprin-cli)
    list(APPEND components station)
    kaprin_man_page(kaprin-cli station "firmware download into barcode scanners, for stations"
                    kaprin-cli "kaprin (1), scanner-sim (1), systemctl (1), journalctl (1)")
endif()
if(TARGET scanner-sim AND TARGET kaprin-cli)
    kaprin_man_page(scanner-sim station "barcode scanner boot loader on a pseudo-terminal"
                    scanner-sim "kaprin-cli (1)")
endif()
if(TARGET Kaprin AND TARGET kaprin-cli)
    list(APPEND components desktop)
    kaprin_man_page(kaprin desktop "firmware download utility for barcode scanners"
                    ${PROJECT_SOURCE_DIR}/kaprin/gui/kaprin.txt "kaprin-cli (1), scanner-sim (1)")
endif()
if(NOT components)
    return()
endif()
# Everything the packages hold: cmake --build build --target packages, then cpack.
add_custom_target(packages)
foreach(target kaprin-cli scanner-sim Kaprin Pellin KALDUN rs232 man_kaprin-cli man_scanner-sim
               man_kaprin)
    if(TARGET ${target})
        add_dependencies(packages ${target})
    endif()
endforeach()

# Copyright and changelog in each package's documentation folder, as Debian asks.
configure_file(${KAPRIN_PACKAGING_DIR}/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
execute_process(COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/packaging/changelog)
foreach(component ${components})
    if(component STREQUAL station)
        set(package kaprin-station)
    else()
        set(package kaprin)
    endif()
    install(FILES ${KAPRIN_PACKAGING_DIR}/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
            DESTINATION share/doc/${package} COMPONENT ${component})
endforeach()
install(FILES ${KAPRIN_PACKAGING_DIR}/station.lintian-overrides DESTINATION
        share/lintian/overrides RENAME kaprin-station COMPONENT station)

# cpack packs what was built (the package targets), not the whole tree with its tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_NAME kaprin)
set(CPACK_PACKAGE_VENDOR "Kaprin developers")
set(CPACK_PACKAGE_CONTACT "${KAPRIN_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${KAPRIN_VERSION_TEXT})
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL ${components})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_STATION_PACKAGE_NAME kaprin-station)
string(CONCAT CPACK_DEBIAN_STATION_DESCRIPTION
    "Firmware download into barcode scanners, for production stations\n"
    "kaprin-cli loads firmware images (PLN, or Intel HEX converted on the fly)\n"
    "into barcode scanners over an RS-232 line, from a terminal, a script or as\n"
    "the systemd service kaprin-station@<device>, which flashes every scanner\n"
    "plugged into its port. Includes the download, converter and serial\n"
    "libraries and scanner-sim, a scanner simulator on a pseudo-terminal.")
# Before the split, the one package kaprin held these files.
set(CPACK_DEBIAN_STATION_PACKAGE_REPLACES "kaprin (<< ${KAPRIN_VERSION_TEXT}.1~)")
set(CPACK_DEBIAN_STATION_PACKAGE_CONTROL_EXTRA
    ${KAPRIN_PACKAGING_DIR}/station/postinst ${KAPRIN_PACKAGING_DIR}/station/prerm
    ${KAPRIN_PACKAGING_DIR}/station/postrm)

set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME kaprin)
string(CONCAT CPACK_DEBIAN_DESKTOP_DESCRIPTION
    "Firmware download utility for barcode scanners (window program)\n"
    "Kaprin loads firmware images (PLN, or Intel HEX converted on the fly) into\n"
    "barcode scanners over an RS-232 line, by hand or in an automatic mode for\n"
    "production lines, from a window. Stations without a display need only\n"
    "kaprin-station.")
# The Chinese captions of the update sets need a CJK font; the help page opens with
# xdg-open; Qt finds its window system through the platform plugins.
set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS
    "kaprin-station (= ${KAPRIN_VERSION_TEXT}), qt6-qpa-plugins, fonts-noto-cjk, xdg-utils")
include(CPack)
