# `cmake --install` lays out what the build tree stages: bin/Pupnik, libexec/pupnik/pupnik-agent,
# share/pupnik/..., share/applications/pupnik.desktop, the icon, the manual pages and the copyright
# notice, under any prefix.
install(TARGETS Pupnik RUNTIME DESTINATION bin)
install(TARGETS pupnik-agent RUNTIME DESTINATION libexec/pupnik)
install(DIRECTORY ${PUPNIK_SHARE_DIR}/ DESTINATION share/pupnik)
install(FILES ${PUPNIK_ICON} DESTINATION share/icons/hicolor/256x256/apps)
install(FILES ${PUPNIK_MAN_PAGES} DESTINATION share/man/man1)
install(FILES ${CMAKE_SOURCE_DIR}/resources/debian/copyright DESTINATION share/doc/pupnik)
# The entry names the installed program, whose prefix is only known when installing.
install(CODE "
  include(\"${CMAKE_SOURCE_DIR}/cmake/PupnikDesktopEntry.cmake\")
  pupnik_write_desktop_entry(\"${CMAKE_SOURCE_DIR}/resources/desktop/pupnik.desktop.in\"
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/share/applications/pupnik.desktop\" \"\${CMAKE_INSTALL_PREFIX}/bin/Pupnik\")
  message(STATUS \"Installing: \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/share/applications/pupnik.desktop\")
")
