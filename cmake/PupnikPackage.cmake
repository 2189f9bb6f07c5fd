# `cpack -G DEB` (or `make package`) builds pupnik_<version>_<arch>.deb from the install rules: the
# programs, the share folder, the desktop entry with the URL scheme, the icon, the manual pages and
# the copyright notice under /usr, and what only a Debian package carries (component debian).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pupnik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop dog that shows what your coding agents are doing")
set(CPACK_PACKAGE_DESCRIPTION "Pupnik lives on the desktop and in the tray: it strolls, walks or runs as
command-line coding agents make tool calls, sleeps when they are quiet, offers
allow and deny for their permission requests and brings a waiting agent's
terminal to the front.")
set(CPACK_PACKAGE_CONTACT "Pupnik developers <developers@pupnik.dev>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The desktop entry is written at install time with the prefix it names: the packaged one must name
# /usr/bin/Pupnik, not the staging folder. So cpack installs to /usr under a staging DESTDIR.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# The Debian changelog, compressed as lintian wants it, and the override that says why the agent
# tool is static.
set(PUPNIK_PACKAGE_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
set(PUPNIK_MAINTAINER ${CPACK_PACKAGE_CONTACT})
configure_file(${CMAKE_SOURCE_DIR}/resources/debian/changelog ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
set(debian_changelog ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz)
add_custom_command(OUTPUT ${debian_changelog}
  COMMAND ${PUPNIK_GZIP} -9n -c ${CMAKE_BINARY_DIR}/debian/changelog > ${debian_changelog}
  DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog
  COMMENT "Compressing the Debian changelog")
add_custom_target(pupnik-debian-changelog DEPENDS ${debian_changelog})
add_dependencies(pupnik-resources pupnik-debian-changelog)
install(FILES ${debian_changelog} DESTINATION share/doc/pupnik COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_SOURCE_DIR}/resources/debian/lintian-overrides DESTINATION share/lintian/overrides
  RENAME pupnik COMPONENT debian EXCLUDE_FROM_ALL)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Pupnik;ALL;/;${CMAKE_BINARY_DIR};Pupnik;debian;/")
# Qt's X11 platform plugin is loaded at run time, so no library dependency names it.
set(PUPNIK_PACKAGE_EXTRA_DEPENDS "qt6-qpa-plugins")
# The language menu names every language in its own script: Han, kana and Hangul, Thai and
# Devanagari need fonts a desktop may lack, or those names show as boxes.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, fonts-noto-cjk, fonts-thai-tlwg | fonts-noto-core, fonts-lohit-deva | fonts-noto-core")
# CPack's own dpkg-shlibdeps run takes minutes; the project's config file runs it once on the two
# programs when cpack starts.
set(PUPNIK_PACKAGE_PROGRAMS "$<TARGET_FILE:Pupnik>;$<TARGET_FILE:pupnik-agent>")
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/PupnikPackagePrograms.cmake
  CONTENT "set(PUPNIK_PACKAGE_PROGRAMS \"${PUPNIK_PACKAGE_PROGRAMS}\")\n")
configure_file(${CMAKE_SOURCE_DIR}/cmake/PupnikPackageDepends.cmake.in ${CMAKE_BINARY_DIR}/PupnikPackageDepends.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/PupnikPackageDepends.cmake)
include(CPack)
