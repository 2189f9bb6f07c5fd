# pupnik_desktop_test(NAME COMMAND ...): a test that runs COMMAND on a private X desktop with a window
# manager and a tray (scripts/with-desktop.sh), labelled "desktop". On a real display Qt talks to the
# session bus, whose library keeps allocations for the life of the process: the leak checker of a
# sanitizer build passes over those. The timeout leaves room for a loaded two-core machine running
# the sanitizer build, where a desktop check was seen to take up to 161 s.
function(pupnik_desktop_test name)
  if(NOT PUPNIK_TESTS)
    return()
  endif()
  add_test(NAME ${name} COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/with-desktop.sh ${ARGN})
  set_tests_properties(${name} PROPERTIES TIMEOUT 480 LABELS desktop
    ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/scripts/desktop-leaks.supp")
endfunction()
