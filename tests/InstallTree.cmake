# cmake -DBUILD_DIR=... -DTREE=... -P InstallTree.cmake: installs the build
# into TREE (as DESTDIR) and fails when any firmware or loader file is in it.
file(REMOVE_RECURSE ${TREE})
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${TREE} ${CMAKE_COMMAND} --install ${BUILD_DIR}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
if(NOT EXISTS ${TREE}/opt/romwright/romwright)
  message(FATAL_ERROR "the install tree has no program: ${TREE}/opt/romwright/romwright")
endif()
file(GLOB_RECURSE installed LIST_DIRECTORIES false ${TREE}/*)
set(samples ${installed})
list(FILTER samples INCLUDE REGEX "\\.([sS]19|[sS]20|[sS][sS][sS])$")
if(samples)
  message(FATAL_ERROR "sample files in the install tree: ${samples}")
endif()
file(REMOVE_RECURSE ${TREE})
