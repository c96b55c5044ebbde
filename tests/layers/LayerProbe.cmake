# cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DTARGET=probe -DHEADER=dir/File.h -DEXPECT=compiles|refuses
#       -P LayerProbe.cmake
# Builds one probe of tests/layers: "compiles" passes when it builds;
# "refuses" only when the compiler could not find HEADER, which exists in
# the sources (any other failure, or a build, fails the check).
if(NOT EXISTS ${SOURCE_DIR}/src/${HEADER})
  message(FATAL_ERROR "src/${HEADER} does not exist: the probe proves nothing")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${TARGET}
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
string(REPLACE "." "\\." pattern ${HEADER})
if(EXPECT STREQUAL "compiles")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${HEADER} does not compile where it belongs:\n${output}")
  endif()
elseif(status EQUAL 0)
  message(FATAL_ERROR "${HEADER} compiled in ${TARGET}: a layer sees a header it must not")
elseif(NOT output MATCHES "${pattern}: No such file or directory|'${pattern}' file not found")
  message(FATAL_ERROR "${TARGET} failed, but not for want of ${HEADER}:\n${output}")
endif()
