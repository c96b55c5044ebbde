# Project-wide helpers: warnings per target, and one-line test registration.

function(romwright_target_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(ROMWRIGHT_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# romwright_expose(target PUBLIC|INTERFACE [FILES file...]): the include root
# a library gives to itself and to what links it holds its own folder and
# nothing else. The root is the build tree's include/<target>; in it,
# <folder relative to src> is a link to the source folder (or, with FILES, a
# folder holding links to just those files), so that an include keeps its
# spelling ("flash/UpdateSequence.h") and is found only by what links the
# library. A header of a layer the library does not link is not found: the
# build keeps the layers.
function(romwright_expose target scope)
  cmake_parse_arguments(ARG "" "" "FILES" ${ARGN})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  set(root ${PROJECT_BINARY_DIR}/include/${target})
  if(ARG_FILES)
    foreach(header ${ARG_FILES})
      romwright_link(${CMAKE_CURRENT_SOURCE_DIR}/${header} ${root}/${folder}/${header})
    endforeach()
  else()
    romwright_link(${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder})
  endif()
  target_include_directories(${target} ${scope} ${root})
endfunction()

# A symbolic link at link to source, made once (the Windows build is
# configured on a Linux host, where its links are made too).
function(romwright_link source link)
  if(IS_SYMLINK ${link})
    file(READ_SYMLINK ${link} current)
    if(current STREQUAL source)
      return()
    endif()
  endif()
  get_filename_component(parent ${link} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${source} ${link} SYMBOLIC)
endfunction()

# romwright_add_library(name SOURCES ... LIBS ...): a static library of one
# layer. It sees its own folder and the folders of the libraries it links.
function(romwright_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  romwright_expose(${name} PUBLIC)
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  romwright_target_options(${name})
endfunction()

# romwright_add_test(name SOURCES ... LIBS ... [LABELS ...] [TIMEOUT s] [SERIAL])
# One GoogleTest executable registered as one CTest test. Tests run without a
# display (offscreen), find the program folder in ROMWRIGHT_PROGRAM_DIR and
# the samples in the user's data folder, XDG_DATA_HOME/romwright; the
# machine's data folders (XDG_DATA_DIRS) are an empty one of the build's, so
# files installed on the machine change no result.
function(romwright_add_test name)
  cmake_parse_arguments(ARG "SERIAL" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} romwright_testsupport GTest::gtest GTest::gmock)
  romwright_target_options(${name})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    LABELS "${ARG_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ROMWRIGHT_PROGRAM_DIR=${ROMWRIGHT_PROGRAM_DIR};ROMWRIGHT_SOURCE_DIR=${PROJECT_SOURCE_DIR};XDG_DATA_HOME=${ROMWRIGHT_TEST_DATA_DIR};XDG_DATA_DIRS=${ROMWRIGHT_TEST_DATA_DIR}/system;XDG_STATE_HOME=${CMAKE_BINARY_DIR}/test-state/${name};ASAN_OPTIONS=detect_leaks=0")
  if(ARG_SERIAL)
    set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()

# A fuzz target through the plain driver of tests/support/FuzzDriver.h (any
# compiler): test NAME runs DRIVER over the SEEDS and MUTATIONS seeded
# mutations of them, SANITIZED under the sanitizers, whose runs are slower.
function(romwright_add_fuzz_driver name)
  cmake_parse_arguments(ARG "" "DRIVER;MUTATIONS;SANITIZED" "SOURCES;LIBS;SEEDS" ${ARGN})
  add_executable(${ARG_DRIVER} ${ARG_SOURCES})
  set_target_properties(${ARG_DRIVER} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_include_directories(${ARG_DRIVER} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${ARG_DRIVER} PRIVATE ${ARG_LIBS} Qt6::Core)
  romwright_target_options(${ARG_DRIVER})
  set(mutations ${ARG_MUTATIONS})
  if(ROMWRIGHT_SANITIZE)
    set(mutations ${ARG_SANITIZED})
  endif()
  add_test(NAME ${name} COMMAND ${ARG_DRIVER} ${mutations} ${ARG_SEEDS})
  set_tests_properties(${name} PROPERTIES TIMEOUT 120 LABELS fuzz)
endfunction()
