# `cmake --install` lays out the program's folder (the prefix, /opt/quorvane
# by default): the executables, the encoder library, Dll/, the pictures, the
# help documents, the dealer file and a sample settings file. The program
# finds everything relative to its own folder, and it loads libQuorvane.so
# and the Dll/ libraries by full path, so no run path is needed.
#
# With QV_PACKAGE the same rules build the Debian package (`cpack`): the
# folder's writable parts become links to /etc/opt/quorvane (settings) and
# /var/opt/quorvane (db/, encoder/), which the package's set-up script
# creates for the quorvane group, and the launcher, menu entry, icons and
# AppStream metadata go under /usr.

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX /opt/quorvane CACHE PATH "The program's folder" FORCE)
endif()
option(QV_PACKAGE "Install as the Debian package lays it out, and make `cpack` build it" OFF)
set(QV_SETTINGS_FOLDER /etc/opt/quorvane CACHE PATH "Where the package keeps Mirefold.ini and Information.ini")
set(QV_DATA_FOLDER /var/opt/quorvane CACHE PATH "Where the package keeps db/ and encoder/")
set(QV_PACKAGE_VERSION ${PROJECT_VERSION} CACHE STRING "Version of the Debian package")
set(QV_GROUP quorvane)
set(QV_APP_FOLDER ${CMAKE_INSTALL_PREFIX})
set(QV_APP_ID com.quorvane.Quorvane)

set(QV_PROGRAMS quorvane quorvane-dbinit quorvane-encoder quorvane-notice)
if(TARGET quorvane-langstore)
  list(APPEND QV_PROGRAMS quorvane-langstore)
endif()
# The PMS key interface: its service, the headless encoder station and the
# training PMS sit beside the program, as the README says.
foreach(program quorvane-interface quorvane-station quorvane-pms)
  if(TARGET ${program})
    list(APPEND QV_PROGRAMS ${program})
  endif()
endforeach()
install(TARGETS ${QV_PROGRAMS} RUNTIME DESTINATION .)
install(TARGETS qv_encoder_sim LIBRARY DESTINATION .)
install(TARGETS qv_print LIBRARY DESTINATION Dll)
foreach(language 2052 1033)
  install(TARGETS qv_lockmsg_${language} LIBRARY DESTINATION Dll/${language})
endforeach()
install(DIRECTORY ${CMAKE_SOURCE_DIR}/assets/pic/build DESTINATION pic)
install(FILES ${CMAKE_SOURCE_DIR}/assets/Operating.htm ${CMAKE_SOURCE_DIR}/assets/Manual.htm
              ${CMAKE_SOURCE_DIR}/packaging/Mirefold.ini.sample
        DESTINATION .)
if(EXISTS ${CMAKE_SOURCE_DIR}/assets/language)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/assets/language/ DESTINATION language
          FILES_MATCHING PATTERN "*.tsv")
endif()

if(NOT QV_PACKAGE)
  install(FILES ${CMAKE_SOURCE_DIR}/assets/Information.ini DESTINATION .)
  return()
endif()

# --- The Debian package -------------------------------------------------------

# The dealer file is the dealer's to edit: a configuration file of the package.
install(FILES ${CMAKE_SOURCE_DIR}/assets/Information.ini DESTINATION ${QV_SETTINGS_FOLDER})
foreach(link "Mirefold.ini=${QV_SETTINGS_FOLDER}/Mirefold.ini"
             "Information.ini=${QV_SETTINGS_FOLDER}/Information.ini"
             "db=${QV_DATA_FOLDER}/db" "encoder=${QV_DATA_FOLDER}/encoder")
  string(REPLACE "=" ";" link "${link}")
  list(GET link 0 name)
  list(GET link 1 target)
  install(CODE "file(CREATE_LINK \"${target}\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${name}\" SYMBOLIC)")
endforeach()

set(QV_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)
string(TIMESTAMP QV_RELEASE_DATE "%Y-%m-%d" UTC)
configure_file(${CMAKE_SOURCE_DIR}/packaging/quorvane.in ${QV_PACKAGING_OUT}/quorvane @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/postinst.in ${QV_PACKAGING_OUT}/postinst @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/postrm.in ${QV_PACKAGING_OUT}/postrm @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/${QV_APP_ID}.metainfo.xml.in
               ${QV_PACKAGING_OUT}/${QV_APP_ID}.metainfo.xml @ONLY)
file(WRITE ${QV_PACKAGING_OUT}/conffiles "${QV_SETTINGS_FOLDER}/Information.ini\n")

install(PROGRAMS ${QV_PACKAGING_OUT}/quorvane DESTINATION /usr/bin)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${QV_APP_ID}.desktop DESTINATION /usr/share/applications)
install(FILES ${QV_PACKAGING_OUT}/${QV_APP_ID}.metainfo.xml DESTINATION /usr/share/metainfo)

# The icon: the drawing, and pictures of it at the usual sizes.
set(icon_svg ${CMAKE_SOURCE_DIR}/packaging/${QV_APP_ID}.svg)
find_program(QV_RSVG_CONVERT rsvg-convert REQUIRED)
set(icon_pngs)
foreach(size 16 22 24 32 48 64 128 256)
  set(png ${QV_PACKAGING_OUT}/icons/${size}x${size}/${QV_APP_ID}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${QV_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${icon_svg}
    DEPENDS ${icon_svg} VERBATIM)
  list(APPEND icon_pngs ${png})
  install(FILES ${png} DESTINATION /usr/share/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(qv_icons ALL DEPENDS ${icon_pngs})
install(FILES ${icon_svg} DESTINATION /usr/share/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VERSION ${QV_PACKAGE_VERSION})
set(CPACK_PACKAGE_VENDOR "${QV_COMPANY_NAME}")
set(CPACK_PACKAGE_CONTACT "${QV_COMPANY_NAME} <support@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "hotel key-card door-lock front desk")
set(CPACK_PACKAGE_DESCRIPTION "Quorvane is the front-desk program of a hotel's key-card door-lock
installation: the room board, check-in and check-out with the guests' key
cards, staff cards, card reading and the records they leave. It keeps its
data in an SQLite file or on a PostgreSQL server, and writes cards through
the encoder library libQuorvane.so (an encoder simulator is included).

Desk users must be members of the quorvane group.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
# The menu entry, icons and launcher live outside the program's folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries the programs link come from dpkg-shlibdeps; these are loaded at
# run time (the SQL drivers) or used by name (the Chinese font, Qt's own
# translations, groupadd).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-sqlite, libqt6sql6-psql, fonts-noto-cjk, qt6-translations-l10n, passwd")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${QV_PACKAGING_OUT}/postinst ${QV_PACKAGING_OUT}/postrm ${QV_PACKAGING_OUT}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
