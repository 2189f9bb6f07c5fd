# pupnik_library(NAME FOLDER [QT] [SUBFOLDERS ...] [EXCLUDE ...] LINKS ...): a static library of every
# .cpp in FOLDER (and in its SUBFOLDERS, less the EXCLUDE files), and a test program of every .cpp in
# FOLDER/tests (and SUBFOLDER/tests) registered with CTest. Sources are globbed so that new units
# need no edit here.
function(pupnik_library name folder)
  cmake_parse_arguments(ARG "QT" "" "LINKS;TEST_LINKS;SUBFOLDERS;EXCLUDE" ${ARGN})
  set(patterns ${folder}/*.cpp)
  set(test_patterns ${folder}/tests/*.cpp)
  foreach(sub ${ARG_SUBFOLDERS})
    list(APPEND patterns ${folder}/${sub}/*.cpp)
    list(APPEND test_patterns ${folder}/${sub}/tests/*.cpp)
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${patterns})
  foreach(excluded ${ARG_EXCLUDE})
    list(REMOVE_ITEM sources ${folder}/${excluded})
  endforeach()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LINKS})
  if(ARG_QT)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
  endif()
  set_property(GLOBAL APPEND PROPERTY PUPNIK_LIBRARIES ${name})

  file(GLOB test_sources CONFIGURE_DEPENDS ${test_patterns})
  if(PUPNIK_TESTS AND test_sources)
    add_executable(${name}Tests ${test_sources})
    target_link_libraries(${name}Tests PRIVATE ${name} ${ARG_TEST_LINKS} GTest::gtest GTest::gmock)
    # A test folder may bring its own main (a Qt application for drawing tests); else gtest's.
    if(NOT EXISTS ${folder}/tests/TestMain.cpp)
      target_link_libraries(${name}Tests PRIVATE GTest::gtest_main)
    endif()
    if(ARG_QT)
      set_target_properties(${name}Tests PROPERTIES AUTOMOC ON)
    endif()
    target_compile_definitions(${name}Tests PRIVATE
      PUPNIK_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
      PUPNIK_BUILD_DIR="${CMAKE_BINARY_DIR}"
      PUPNIK_SHARE_DIR="${PUPNIK_SHARE_DIR}"
      PUPNIK_AGENT_PATH="${PUPNIK_LIBEXEC_DIR}/pupnik-agent")
    add_dependencies(${name}Tests pupnik-agent pupnik-resources)
    gtest_discover_tests(${name}Tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()
