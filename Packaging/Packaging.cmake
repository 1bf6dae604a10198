# Debian packages by CPack (make deb): `soundboard`, the program with its bundle, menu entry and
# icons; and `soundboard-engine-dev`, the engine's static libraries, headers, CMake package,
# pkg-config file, the example and the guide. The version is the project's; each package's
# shared-library dependencies are computed by dpkg-shlibdeps.
set(PACKAGE_REVISION 1)  # of the packaging, for one version of the project
set(PACKAGE_MAINTAINER "Soundboard developers <maintainers@users.noreply.c-seed-a7976002.example>")
string(TIMESTAMP PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)  # SOURCE_DATE_EPOCH if set

# What every Debian package must carry in its doc folder: the copyright and a compressed
# changelog, made here for each.
foreach(component app dev)
  if(component STREQUAL "app")
    set(PACKAGE_NAME soundboard)
  else()
    set(PACKAGE_NAME soundboard-engine-dev)
  endif()
  set(docs ${CMAKE_BINARY_DIR}/package-docs/${PACKAGE_NAME})
  configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${docs}/changelog.Debian @ONLY)
  add_custom_command(OUTPUT ${docs}/changelog.Debian.gz
    COMMAND gzip -9nf -k changelog.Debian
    WORKING_DIRECTORY ${docs} DEPENDS ${docs}/changelog.Debian)
  add_custom_target(changelog-${component} ALL DEPENDS ${docs}/changelog.Debian.gz)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${docs}/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${PACKAGE_NAME} COMPONENT ${component})
endforeach()

# The example and the guide, beside the dev package's copyright.
install(FILES ${PROJECT_SOURCE_DIR}/Examples/Hello.cpp ${PROJECT_SOURCE_DIR}/Examples/HelloTest.cpp
  ${PROJECT_SOURCE_DIR}/Examples/CMakeLists.txt
  ${PROJECT_SOURCE_DIR}/Examples/Hello.files
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/soundboard-engine-dev/examples COMPONENT dev)
install(FILES ${PROJECT_SOURCE_DIR}/Docs/Engine.md
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/soundboard-engine-dev COMPONENT dev)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME soundboard)
set(CPACK_PACKAGE_VENDOR "Soundboard developers")
set(CPACK_PACKAGE_CONTACT "${PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${PACKAGE_REVISION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL app dev)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

set(CPACK_DEBIAN_APP_PACKAGE_NAME soundboard)
set(CPACK_COMPONENT_APP_DESCRIPTION "touch-screen soundboard with nine picture buttons
A background, a sprite that moves 30 times a second, a title, a disclaimer
and nine picture buttons that each play a clip, in a desktop window,
pressed with the mouse or a touchscreen. Every picture and sound is the
project's own.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME soundboard-engine-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# Static libraries: a program linking them needs these; the example uses the program's pictures.
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS
  "soundboard (= ${PROJECT_VERSION}-${PACKAGE_REVISION}), libsdl2-dev, libspng-dev, libsndfile1-dev, libsamplerate0-dev, pkg-config")
set(CPACK_COMPONENT_DEV_DESCRIPTION "soundboard's 2D engine: static libraries and headers
The small engine the soundboard is built on: fixed tables of pictures,
views, touch regions, push buttons and sounds with integer handles, a
30 Hz frame clock and one touch stream, over SDL. With a CMake package,
a pkg-config file, an example program and a guide.")

include(CPack)
