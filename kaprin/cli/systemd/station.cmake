# The station service: the template unit runs the installed kaprin-cli. The unit goes to
# /lib/systemd/system for the prefix /usr (the package), else to <prefix>/lib/systemd/system
# (systemd reads /usr/local/lib/systemd/system too), or to KAPRIN_SYSTEMD_UNIT_DIR when set.
# The example configuration and the disabled udev rule go to <prefix>/share/kaprin.
set(KAPRIN_SYSTEMD_UNIT_DIR "" CACHE STRING "Where cmake --install puts kaprin-station@.service")
set(KAPRIN_STATION_DIR ${CMAKE_CURRENT_LIST_DIR})

# For the tests and systemd-analyze: the unit with this build's kaprin-cli.
set(KAPRIN_CLI $<TARGET_FILE:kaprin-cli>)
file(READ ${KAPRIN_STATION_DIR}/kaprin-station@.service.in KAPRIN_UNIT_TEXT)
string(CONFIGURE "${KAPRIN_UNIT_TEXT}" KAPRIN_UNIT_TEXT @ONLY)
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/systemd/kaprin-station@.service
     CONTENT "${KAPRIN_UNIT_TEXT}")

# Made at install time, when the prefix is known (cpack installs into /usr).
install(CODE "
    set(unit_dir \"${KAPRIN_SYSTEMD_UNIT_DIR}\")
    if(NOT unit_dir AND CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
        set(unit_dir /lib/systemd/system)
    elseif(NOT unit_dir)
        set(unit_dir \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/system\")
    endif()
    set(KAPRIN_CLI \"\${CMAKE_INSTALL_PREFIX}/lib/kaprin/kaprin-cli\")
    set(unit \"\$ENV{DESTDIR}\${unit_dir}/kaprin-station@.service\")
    message(STATUS \"Installing: \${unit}\")
    configure_file(\"${KAPRIN_STATION_DIR}/kaprin-station@.service.in\" \"\${unit}\" @ONLY)
" COMPONENT station)
install(FILES ${KAPRIN_STATION_DIR}/station.conf DESTINATION share/kaprin COMPONENT station)
install(FILES ${KAPRIN_STATION_DIR}/70-kaprin-station.rules DESTINATION share/kaprin/udev COMPONENT station)
