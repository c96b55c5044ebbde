# cmake -DBUILD_DIR=... -DTREE=... -DCPACK=... -DLINTIAN=ON|OFF -P InstallTree.cmake
# Installs the build under /usr into TREE (as DESTDIR) and checks what a
# Linux system expects there: the program, the help file, the manual page,
# the completion, the udev rule, the menu entry and its AppStream metadata
# (each valid), the copyright and changelog, and no firmware or loader file.
# Then builds the .deb from the same tree and has lintian judge it: no error,
# no warning.
file(REMOVE_RECURSE ${TREE})
set(root ${TREE}/root)
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${root} ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

set(expected
    usr/bin/romwright
    usr/share/romwright/Romwright.CHM
    usr/share/man/man1/romwright.1.gz
    usr/share/bash-completion/completions/romwright
    usr/lib/udev/rules.d/60-romwright.rules
    usr/share/applications/romwright.desktop
    usr/share/metainfo/romwright.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/romwright.svg
    usr/share/icons/hicolor/48x48/apps/romwright.png
    usr/share/doc/romwright/copyright
    usr/share/doc/romwright/changelog.gz)
file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE ${root} ${root}/*)
list(SORT installed)
list(SORT expected)
if(NOT installed STREQUAL expected)
  list(JOIN installed "\n  " got)
  list(JOIN expected "\n  " want)
  message(FATAL_ERROR "the install tree holds\n  ${got}\nbut should hold\n  ${want}")
endif()
# No sample firmware or loader file, under any name.
foreach(file ${installed})
  if(file MATCHES "\\.([sS]19|[sS]20|[sS][sS][sS])$")
    message(FATAL_ERROR "sample file in the install tree: ${file}")
  endif()
endforeach()

function(check what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${status}):\n${out}")
  endif()
  message(STATUS "${what}: ${out}")
endfunction()

find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
if(DESKTOP_FILE_VALIDATE)
  check("desktop-file-validate" ${DESKTOP_FILE_VALIDATE} ${root}/usr/share/applications/romwright.desktop)
endif()
find_program(APPSTREAMCLI appstreamcli)
if(APPSTREAMCLI)
  check("appstreamcli validate" ${APPSTREAMCLI} validate --no-net --pedantic
        ${root}/usr/share/metainfo/romwright.metainfo.xml)
endif()

if(NOT LINTIAN)
  message(STATUS "a sanitized build makes no package: lintian not run")
  return()
endif()
find_program(LINTIAN_PROGRAM lintian)
find_program(DPKG_DEB dpkg-deb)
if(NOT LINTIAN_PROGRAM OR NOT DPKG_DEB)
  message(STATUS "lintian or dpkg-deb missing (scripts/setup installs them): the package is not judged")
  return()
endif()
check("cpack" ${CPACK} --config ${BUILD_DIR}/CPackConfig.cmake -G DEB -B ${TREE}/deb)
file(GLOB deb ${TREE}/deb/romwright_*.deb)
# A test build lacks the flags of dpkg-buildflags (scripts/package adds
# them); lintian reports that as information only, below the bar.
check("lintian" ${LINTIAN_PROGRAM} --info --fail-on error,warning ${deb})
file(REMOVE_RECURSE ${TREE})
