# ---- Installation and the Debian package ------------------------------------
# cmake --install puts the two programs in bin, their manual pages, the
# desktop entry and its icon where desktops look for them, and the guides,
# the copyright file and the changelog in the documentation folder. The
# program embeds its own resources; the icon is exported from res/icon128.ico
# at build time because icon themes take PNGs.
include(GNUInstallDirs)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_program(GZIP gzip REQUIRED)
find_program(HELP2MAN help2man)

set(packaging_out ${PROJECT_BINARY_DIR}/packaging)
set(packaging_src ${PROJECT_SOURCE_DIR}/packaging)
set(desktop_icon ${packaging_out}/uploader.png)
add_custom_command(
  OUTPUT ${desktop_icon}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${packaging_out}
  COMMAND Python3::Interpreter ${packaging_src}/icon-to-png.py ${PROJECT_SOURCE_DIR}/res/icon128.ico ${desktop_icon}
  DEPENDS ${packaging_src}/icon-to-png.py ${PROJECT_SOURCE_DIR}/res/icon128.ico
  VERBATIM)

# Debian wants manual pages and changelogs compressed, reproducibly (-n).
set(uploader_man ${packaging_out}/uploader.1.gz)
add_custom_command(
  OUTPUT ${uploader_man}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${packaging_out}
  COMMAND ${GZIP} -9n -c ${packaging_src}/uploader.1 > ${uploader_man}
  DEPENDS ${packaging_src}/uploader.1)
set(packaging_outputs ${desktop_icon} ${uploader_man})

# canbench's page is made from its own --help, so it never falls behind.
if(HELP2MAN)
  set(canbench_man ${packaging_out}/canbench.1.gz)
  add_custom_command(
    OUTPUT ${canbench_man}
    COMMAND ${HELP2MAN} --no-info --no-discard-stderr --version-string=${PROJECT_VERSION}
            --section=1 --source=Alder --include=${packaging_src}/canbench.h2m $<TARGET_FILE:canbench>
            | ${GZIP} -9n > ${canbench_man}
    DEPENDS canbench ${packaging_src}/canbench.h2m)
  list(APPEND packaging_outputs ${canbench_man})
  install(FILES ${canbench_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(STATUS "help2man not found: canbench's manual page is not built (scripts/setup installs it)")
endif()

# The maintainer goes into the package and its changelog; there is no
# default, so that no package ships a made-up address. Debian's own
# DEBFULLNAME and DEBEMAIL serve when the variable is not given.
set(UPLOADER_MAINTAINER "" CACHE STRING "Maintainer of the Debian package, as \"Name <address>\"")
if(NOT UPLOADER_MAINTAINER AND DEFINED ENV{DEBFULLNAME} AND DEFINED ENV{DEBEMAIL})
  set(UPLOADER_MAINTAINER "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
endif()
set(UPLOADER_DEB_VERSION ${PROJECT_VERSION}-1)
if(UPLOADER_MAINTAINER)
  configure_file(${packaging_src}/changelog.in ${packaging_out}/changelog.Debian @ONLY)
  set(changelog ${packaging_out}/changelog.Debian.gz)
  add_custom_command(
    OUTPUT ${changelog}
    COMMAND ${GZIP} -9n -c ${packaging_out}/changelog.Debian > ${changelog}
    DEPENDS ${packaging_out}/changelog.Debian)
  list(APPEND packaging_outputs ${changelog})
  install(FILES ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()
add_custom_target(packaging_files ALL DEPENDS ${packaging_outputs})

install(TARGETS uploader canbench RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${uploader_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/uploader.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${desktop_icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)
install(FILES README.md docs/bench.md packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

if(NOT UPLOADER_MAINTAINER)
  message(STATUS "No UPLOADER_MAINTAINER (nor DEBFULLNAME and DEBEMAIL): no Debian package can be made")
  return()
endif()
set(CPACK_PACKAGE_NAME uploader)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Alder")
set(CPACK_PACKAGE_CONTACT "${UPLOADER_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware uploader for the control units of agricultural implements")
set(CPACK_PACKAGE_DESCRIPTION [[
The full-screen touch program of the in-cab console that reprograms the
electronic control units (nodes) on the implement's CAN bus through the
serial-to-CAN gateway on COM1 at 1500000 baud, from the Intel HEX files on
the removable drive. It programs nodes with the ST10 and with the Atmel
bootloader and recovers ST10 nodes left in their bootloader by a failed
update.
.
Also ships canbench, a simulator of the gateway and the nodes over a
pseudo-terminal, on which the program runs without hardware and a service
technician can rehearse an update.]])
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# The libraries the programs link come from dpkg-shlibdeps, with their minimum
# versions; the font is loaded at run time, so it is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
include(CPack)
